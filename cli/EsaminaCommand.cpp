// quorvin-cli esamina: how a receipt PDF is read and recognised ("why was my receipt not
// recognised?").
#include "archive/DorvaneFiles.h"
#include "catalogue/ReceiptTypes.h"
#include "cli/Commands.h"
#include "engine/bvTel.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>

namespace quorvin::cli {

namespace {

constexpr const char* kHelp =
    "Uso: quorvin-cli esamina [--json] [--testo] FILE...\n"
    "\n"
    "Legge ogni pagina delle ricevute PDF indicate e mostra come vengono riconosciute:\n"
    "numero di pagine, tipo di ricevuta (DocType) e nome del tipo, tipo documento di\n"
    "archivio (ArchTipoDoc), pagina dell'elenco documenti (ListPage) e gli indicatori\n"
    "Is730Alt, Year730, IntentVariant, OutcomeRegular.\n"
    "\n"
    "Opzioni:\n"
    "  --json    un oggetto JSON per file, una riga ciascuno (con il testo delle pagine)\n"
    "  --testo   mostra anche il testo letto da ogni pagina\n"
    "  --help    mostra questo aiuto\n"
    "\n"
    "I file illeggibili vengono segnalati e l'esame prosegue con i successivi.\n"
    "\n"
    "Stato di uscita: 0 se ogni file è stato letto, 1 se almeno un file è illeggibile,\n"
    "2 per un errore nei parametri.\n";

const char* YesNo(bool value) {
    return value ? "sì" : "no";
}

nlohmann::json AsJson(const std::string& path, const bvTel& tel) {
    nlohmann::json pages = nlohmann::json::array();
    for (const auto& text : tel.PageText()) {
        pages.push_back(text);
    }
    return nlohmann::json{{"file", path},
                          {"pages", tel.PageCount()},
                          {"DocType", tel.DocType()},
                          {"ArchTipoDoc", tel.ArchTipoDoc()},
                          {"name", catalogue::ReceiptTypeName(tel.DocType())},
                          {"ListPage", tel.ListPage()},
                          {"Is730Alt", tel.Is730Alt()},
                          {"Year730", tel.Year730()},
                          {"IntentVariant", tel.IntentVariant()},
                          {"OutcomeRegular", tel.OutcomeRegular()},
                          {"PageText", pages}};
}

void PrintText(const std::string& path, const bvTel& tel, bool withText) {
    std::printf("%s\n", path.c_str());
    if (!tel.IsOpen()) {
        std::printf("  Impossibile aprire il file (PDF danneggiato, protetto o non valido)\n\n");
        return;
    }
    std::printf("  Pagine:          %ld\n", tel.PageCount());
    if (tel.DocType() < 0) {
        std::printf("  Tipo ricevuta:   non riconosciuto (nessuna frase di classificazione "
                    "trovata nella prima pagina)\n");
    } else {
        std::printf("  Tipo ricevuta:   %ld - %s (regola %d)\n", tel.DocType(),
                    catalogue::ReceiptTypeName(tel.DocType()).c_str(), tel.ClassifiedRow());
    }
    std::printf("  ArchTipoDoc:     %ld\n", tel.ArchTipoDoc());
    std::printf("  ListPage:        %ld\n", tel.ListPage());
    std::printf("  Is730Alt:        %s\n", YesNo(tel.Is730Alt()));
    std::printf("  Year730:         %ld\n", tel.Year730());
    std::printf("  IntentVariant:   %ld\n", tel.IntentVariant());
    std::printf("  OutcomeRegular:  %s\n", YesNo(tel.OutcomeRegular()));
    if (withText) {
        for (size_t i = 0; i < tel.PageText().size(); ++i) {
            std::printf("  --- Pagina %zu ---\n", i + 1);
            std::string text = tel.PageText()[i];
            std::string shown;
            for (char c : text) {
                if (c != '\r') {
                    shown.push_back(c);
                }
            }
            std::printf("%s", shown.c_str());
        }
    }
    std::printf("\n");
}

} // namespace

int RunEsamina(const std::vector<std::string>& args) {
    bool json = false;
    bool withText = false;
    std::vector<std::string> files;
    for (const auto& arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (arg == "--testo") {
            withText = true;
        } else if (arg == "--help" || arg == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "Opzione sconosciuta: %s\n\n%s", arg.c_str(), kHelp);
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "Indicare almeno un file PDF.\n\n%s", kHelp);
        return 2;
    }
    bvTel tel;
    int status = 0;
    for (const auto& path : files) {
        tel.File(path);
        tel.FileNameOrig(DorvaneFiles::FileName(path, true, "/"));
        if (!tel.IsOpen()) {
            status = 1; // a script must not take an unreadable receipt for an examined one
        }
        if (json) {
            if (!tel.IsOpen()) {
                std::fprintf(stderr, "%s: Impossibile aprire il file\n", path.c_str());
            }
            std::cout << AsJson(path, tel).dump(-1, ' ', false,
                                                nlohmann::json::error_handler_t::replace)
                      << "\n";
        } else {
            PrintText(path, tel, withText);
        }
        tel.PDFClose();
    }
    std::cout.flush();
    return status;
}

} // namespace quorvin::cli
