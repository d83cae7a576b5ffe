#include "cli/Commands.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct CommandEntry {
    const char* name;
    const char* summary;
    int (*run)(const std::vector<std::string>&);
};

const CommandEntry kCommands[] = {
    {"esamina", "mostra come viene riconosciuta una ricevuta PDF", quorvin::cli::RunEsamina},
    {"archivio",
     "amministra e consulta l'archivio (init, utenti, archivi, permessi, esporta, importa, cerca, "
     "mostra, pdf)",
     quorvin::cli::RunArchivio},
    {"archivia", "archivia le ricevute della cartella (come il comando Archivia)",
     quorvin::cli::RunArchivia},
    {"mostra-log", "mostra un log di elaborazione salvato", quorvin::cli::RunMostraLog},
};

void PrintHelp() {
    std::printf("Uso: quorvin-cli COMANDO [opzioni]\n\nComandi:\n");
    for (const auto& c : kCommands) {
        std::printf("  %-10s %s\n", c.name, c.summary);
    }
    std::printf("\n'quorvin-cli COMANDO --help' mostra le opzioni di un comando.\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        PrintHelp();
        return argc < 2 ? 2 : 0;
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const auto& c : kCommands) {
        if (std::strcmp(argv[1], c.name) == 0) {
            return c.run(args);
        }
    }
    std::fprintf(stderr, "Comando sconosciuto: %s\n\n", argv[1]);
    PrintHelp();
    return 2;
}
