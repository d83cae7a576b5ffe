// quorvin-cli esamina: how a receipt PDF is read and recognised ("why was my receipt not
// recognised?").
#include "archive/DorvaneFiles.h"
#include "catalogue/ReceiptTypes.h"
#include "catalogue/StandardCatalogue.h"
#include "cli/Commands.h"
#include "engine/FileTable.h"
#include "engine/archive/FirstPageRules.h"
#include "engine/bvTel.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <iostream>
#include <optional>
#include <utility>

namespace quorvin::cli {

namespace {

constexpr const char* kHelp =
    "Uso: quorvin-cli esamina [--json] [--testo] FILE...\n"
    "\n"
    "Legge ogni pagina delle ricevute PDF indicate e mostra come vengono riconosciute:\n"
    "numero di pagine, tipo di ricevuta (DocType) e nome del tipo, tipo documento di\n"
    "archivio (ArchTipoDoc), pagina dell'elenco documenti (ListPage) e gli indicatori\n"
    "Is730Alt, Year730, IntentVariant, OutcomeRegular. Una comunicazione polivalente (386)\n"
    "che l'archiviazione registra con il tipo dato dal periodo delle pagine seguenti\n"
    "(316 o 318) lo mostra come \"Archiviato come\" (in JSON, la chiave \"archiviatoCome\").\n"
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

// The name of a code a receipt is archived under: 316 and 318 are no receipt type of
// their own, the standard catalogue names them.
std::string ArchivedTypeName(long code) {
    for (const auto& type : catalogue::StandardDocTypes()) {
        if (type.code == code) {
            return type.name;
        }
    }
    return catalogue::ReceiptTypeName(code);
}

// What the engine recognised in a file or in one part of it.
struct Recognised {
    long firstPage = 1; // 1-based, in the file examined
    long pages = 0;
    long docType = -1;
    long archTipoDoc = -1;
    int row = 0;
    long listPage = -1;
    bool is730Alt = false;
    long year730 = -1;
    long intentVariant = 0;
    bool outcomeRegular = false;
    // A multi-purpose communication is archived under the codes its period gives.
    std::optional<std::pair<long, long>> archivedAs;

    long LastPage() const { return firstPage + pages - 1; }
};

Recognised Recognise(const bvTel& tel, long firstPage = 1) {
    Recognised r{firstPage,           tel.PageCount(),      tel.DocType(),  tel.ArchTipoDoc(),
                 tel.ClassifiedRow(), tel.ListPage(),       tel.Is730Alt(), tel.Year730(),
                 tel.IntentVariant(), tel.OutcomeRegular(), std::nullopt};
    if (r.docType == 386) {
        r.archivedAs = firstpage::PeriodCodes386(tel.PageText());
    }
    return r;
}

// The parts the archiving run would cut the file into; empty when it keeps it whole.
std::vector<Recognised> SplitParts(bvTel& tel, const std::string& path) {
    FileTable table{FileRow{path, DorvaneFiles::FileName(path, true, "/"), true}};
    std::vector<Recognised> parts;
    if (tel.FileSplit(table, 0) == 0) {
        return parts;
    }
    long next = 1;
    for (const auto& piece : table) {
        tel.File(piece.path);
        tel.FileNameOrig(piece.name);
        parts.push_back(Recognise(tel, next));
        next = parts.back().LastPage() + 1;
        tel.PDFClose();
        // The pieces are the run's scratch copies, never the user's file.
        DorvaneFiles::DeleteFile(piece.path, true);
    }
    return parts;
}

nlohmann::json Fields(const Recognised& r) {
    nlohmann::json fields = {{"DocType", r.docType},
                             {"ArchTipoDoc", r.archTipoDoc},
                             {"name", catalogue::ReceiptTypeName(r.docType)},
                             {"ListPage", r.listPage},
                             {"Is730Alt", r.is730Alt},
                             {"Year730", r.year730},
                             {"IntentVariant", r.intentVariant},
                             {"OutcomeRegular", r.outcomeRegular}};
    if (r.archivedAs) {
        fields["archiviatoCome"] = {{"DocType", r.archivedAs->first},
                                    {"ArchTipoDoc", r.archivedAs->second},
                                    {"name", ArchivedTypeName(r.archivedAs->first)}};
    }
    return fields;
}

nlohmann::json AsJson(const std::string& path, const bvTel& tel,
                      const std::vector<Recognised>& parts) {
    nlohmann::json out = Fields(Recognise(tel));
    out["file"] = path;
    out["pages"] = tel.PageCount();
    out["PageText"] = tel.PageText();
    if (!parts.empty()) {
        nlohmann::json list = nlohmann::json::array();
        for (const auto& part : parts) {
            nlohmann::json fields = Fields(part);
            fields["firstPage"] = part.firstPage;
            fields["lastPage"] = part.LastPage();
            list.push_back(std::move(fields));
        }
        out["parti"] = std::move(list);
    }
    return out;
}

void PrintFields(const Recognised& r, const char* indent) {
    if (r.docType < 0) {
        std::printf("%sTipo ricevuta:   non riconosciuto (nessuna frase di classificazione "
                    "trovata nella prima pagina)\n",
                    indent);
    } else {
        std::printf("%sTipo ricevuta:   %ld - %s (regola %d)\n", indent, r.docType,
                    catalogue::ReceiptTypeName(r.docType).c_str(), r.row);
    }
    std::printf("%sArchTipoDoc:     %ld\n", indent, r.archTipoDoc);
    if (r.archivedAs) {
        std::printf("%sArchiviato come: %ld - %s, ArchTipoDoc %ld (dal periodo indicato nelle "
                    "pagine seguenti)\n",
                    indent, r.archivedAs->first, ArchivedTypeName(r.archivedAs->first).c_str(),
                    r.archivedAs->second);
    }
    std::printf("%sListPage:        %ld\n", indent, r.listPage);
    std::printf("%sIs730Alt:        %s\n", indent, YesNo(r.is730Alt));
    std::printf("%sYear730:         %ld\n", indent, r.year730);
    std::printf("%sIntentVariant:   %ld\n", indent, r.intentVariant);
    std::printf("%sOutcomeRegular:  %s\n", indent, YesNo(r.outcomeRegular));
}

void PrintText(const std::string& path, const bvTel& tel, const std::vector<Recognised>& parts,
               bool withText) {
    std::printf("%s\n", path.c_str());
    if (!tel.IsOpen()) {
        std::printf("  Impossibile aprire il file (PDF danneggiato, protetto o non valido)\n\n");
        return;
    }
    std::printf("  Pagine:          %ld\n", tel.PageCount());
    PrintFields(Recognise(tel), "  ");
    if (!parts.empty()) {
        std::printf("  Suddivisione:    l'archiviazione lo divide in %zu parti\n", parts.size());
    }
    for (size_t i = 0; i < parts.size(); ++i) {
        std::printf("  Parte %zu, pagine %ld-%ld:\n", i + 1, parts[i].firstPage,
                    parts[i].LastPage());
        PrintFields(parts[i], "    ");
    }
    if (withText) {
        for (size_t i = 0; i < tel.PageText().size(); ++i) {
            std::printf("  --- Pagina %zu ---\n", i + 1);
            std::string shown;
            for (char c : tel.PageText()[i]) {
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
        const std::vector<Recognised> parts =
            tel.IsOpen() ? SplitParts(cutter, path) : std::vector<Recognised>();
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
