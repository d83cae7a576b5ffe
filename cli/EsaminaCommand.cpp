// quorvin-cli esamina: how a receipt PDF is read and recognised ("why was my receipt not
// recognised?").
#include "archive/DorvaneFiles.h"
#include "catalogue/ReceiptTypes.h"
#include "cli/Commands.h"
#include "engine/FileTable.h"
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
    "Un file con un elenco di documenti seguito da un'altra ricevuta viene anche mostrato\n"
    "come l'archiviazione lo suddivide: pagine, tipo e indicatori di ogni parte (in JSON,\n"
    "la chiave \"parti\").\n"
    "\n"
    "I file illeggibili vengono segnalati e l'esame prosegue con i successivi.\n"
    "\n"
    "Stato di uscita: 0 se ogni file è stato letto, 1 se almeno un file è illeggibile,\n"
    "2 per un errore nei parametri.\n";

const char* YesNo(bool value) {
    return value ? "sì" : "no";
}

// One part of a file the archiving run cuts in two, as the engine recognises it.
struct Part {
    long firstPage = 0; // 1-based
    long lastPage = 0;
    long pages = 0;
    long docType = -1;
    long archTipoDoc = -1;
    int row = 0;
    long listPage = -1;
    bool is730Alt = false;
    long year730 = -1;
    long intentVariant = 0;
    bool outcomeRegular = false;
};

// The parts the archiving run would cut the file into; empty when it keeps it whole.
std::vector<Part> SplitParts(bvTel& tel, const std::string& path) {
    FileTable table{FileRow{path, DorvaneFiles::FileName(path, true, "/"), true}};
    std::vector<Part> parts;
    if (tel.FileSplit(table, 0) == 0) {
        return parts;
    }
    long next = 1;
    for (const auto& piece : table) {
        tel.File(piece.path);
        tel.FileNameOrig(piece.name);
        Part part;
        part.firstPage = next;
        part.pages = tel.PageCount();
        part.lastPage = next + part.pages - 1;
        part.docType = tel.DocType();
        part.archTipoDoc = tel.ArchTipoDoc();
        part.row = tel.ClassifiedRow();
        part.listPage = tel.ListPage();
        part.is730Alt = tel.Is730Alt();
        part.year730 = tel.Year730();
        part.intentVariant = tel.IntentVariant();
        part.outcomeRegular = tel.OutcomeRegular();
        next = part.lastPage + 1;
        tel.PDFClose();
        parts.push_back(part);
        // The pieces are the run's scratch copies, never the user's file.
        DorvaneFiles::DeleteFile(piece.path, true);
    }
    return parts;
}

nlohmann::json AsJson(const std::string& path, const bvTel& tel, const std::vector<Part>& parts) {
    nlohmann::json pages = nlohmann::json::array();
    for (const auto& text : tel.PageText()) {
        pages.push_back(text);
    }
    nlohmann::json out{{"file", path},
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
    if (!parts.empty()) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& part : parts) {
            list.push_back({{"firstPage", part.firstPage},
                            {"lastPage", part.lastPage},
                            {"DocType", part.docType},
                            {"ArchTipoDoc", part.archTipoDoc},
                            {"name", catalogue::ReceiptTypeName(part.docType)},
                            {"ListPage", part.listPage},
                            {"Is730Alt", part.is730Alt},
                            {"Year730", part.year730},
                            {"IntentVariant", part.intentVariant},
                            {"OutcomeRegular", part.outcomeRegular}});
        }
        out["parti"] = std::move(list);
    }
    return out;
}

void PrintParts(const std::vector<Part>& parts) {
    if (parts.empty()) {
        return;
    }
    std::printf("  Suddivisione:    l'archiviazione lo divide in %zu parti\n", parts.size());
    for (size_t i = 0; i < parts.size(); ++i) {
        const Part& part = parts[i];
        std::printf("  Parte %zu, pagine %ld-%ld:\n", i + 1, part.firstPage, part.lastPage);
        if (part.docType < 0) {
            std::printf("    Tipo ricevuta:   non riconosciuto\n");
        } else {
            std::printf("    Tipo ricevuta:   %ld - %s (regola %d)\n", part.docType,
                        catalogue::ReceiptTypeName(part.docType).c_str(), part.row);
        }
        std::printf("    ArchTipoDoc:     %ld\n", part.archTipoDoc);
        std::printf("    ListPage:        %ld\n", part.listPage);
        std::printf("    Is730Alt:        %s\n", YesNo(part.is730Alt));
        std::printf("    Year730:         %ld\n", part.year730);
        std::printf("    IntentVariant:   %ld\n", part.intentVariant);
        std::printf("    OutcomeRegular:  %s\n", YesNo(part.outcomeRegular));
    }
}

void PrintText(const std::string& path, const bvTel& tel, const std::vector<Part>& parts,
               bool withText) {
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
    PrintParts(parts);
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
    bvTel cutter; // cuts as the run does, beside the whole file's reading
    int status = 0;
    for (const auto& path : files) {
        tel.File(path);
        tel.FileNameOrig(DorvaneFiles::FileName(path, true, "/"));
        if (!tel.IsOpen()) {
            status = 1; // a script must not take an unreadable receipt for an examined one
        }
        // The whole file is shown first; the parts are read after it, so that the pages
        // are still the whole file's when it is printed.
        const std::vector<Part> parts =
            tel.IsOpen() ? SplitParts(cutter, path) : std::vector<Part>();
        if (json) {
            if (!tel.IsOpen()) {
                std::fprintf(stderr, "%s: Impossibile aprire il file\n", path.c_str());
            }
            std::cout << AsJson(path, tel, parts)
                             .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                      << "\n";
        } else {
            PrintText(path, tel, parts, withText);
        }
        tel.PDFClose();
    }
    std::cout.flush();
    return status;
}

} // namespace quorvin::cli
