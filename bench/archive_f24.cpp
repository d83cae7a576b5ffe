// Archiving an F24 transmission of many payments into a fresh embedded archive: pages per
// second, time per page at two sizes (it must grow linearly), and the ratio to pdftotext.
#include "archive/ArchiveAdmin.h"
#include "archive/DorvaneEnv.h"
#include "archive/StandardCatalogueSpecs.h"
#include "engine/bvTel.h"
#include "tools/fixture/FixtureWriter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

using Pages = std::vector<std::vector<std::string>>;

std::string Padded(long n, int width) {
    std::string s = std::to_string(n);
    return std::string(static_cast<size_t>(width) - s.size(), '0') + s;
}

std::string TaxCode(long n) { return "0" + Padded(1000000000L + n * 7919, 10); }

// A transmission receipt: summary page, one page per payment, list pages of 45 rows.
Pages Transmission(long payments) {
    const std::string protocol = "10061610424512345";
    Pages pages;
    pages.push_back({"AGENZIA DELLE ENTRATE - SERVIZIO TELEMATICO ENTRATEL", "",
                     "                             ATTESTAZIONE DI AVVENUTA TRASMISSIONE",
                     "In data 16/06/2010 alle ore 10:42 e' stato trasmesso il file: F24.rel",
                     "al quale e' stato attribuito il numero di protocollo " + protocol + " .",
                     "Il file e' stato trasmesso da: BNCLCU70B15F205E",
                     "Coordinate bancarie: abi 03069 cab 01600 c/c n. 000012345678",
                     "Il file contiene la richiesta di n. " + std::to_string(payments) +
                         " pagamenti, di cui:",
                     "  - con addebito effettuato dalla banca: " + std::to_string(payments),
                     "Li, 16/06/2010"});
    for (long i = 1; i <= payments; ++i) {
        pages.push_back({"AGENZIA DELLE ENTRATE - SERVIZIO TELEMATICO ENTRATEL",
                         "                             ATTESTAZIONE DI AVVENUTA TRASMISSIONE",
                         "                              DEL SINGOLO PAGAMENTO - MODELLO F24", "",
                         "Protocollo del pagamento : " + protocol + "/" + Padded(i, 6),
                         "Codice fiscale : " + TaxCode(i) + " - DITTA NUMERO " +
                             std::to_string(i) + " S.R.L.",
                         "Data versamento : 16/06/2010",
                         "Importo versamento : E. " + std::to_string(100 + i) + ",00",
                         "Addebito su:    abi 03069    cab 01600    c/c n. 000012345678",
                         "Esito elaborazione : ACQUISITO", "", "Li, 16/06/2010"});
    }
    for (long first = 1; first <= payments; first += 45) {
        std::vector<std::string> list = {
            "                          ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI", "",
            "PROTOCOLLO DI RICEZIONE : " + protocol, "NOME DEL FILE : F24.rel",
            "TIPO DI DOCUMENTO : F24 - RICHIESTE DI PAGAMENTO TELEMATICO",
            "DOCUMENTI ACQUISITI : " + std::to_string(payments), "DOCUMENTI SCARTATI : 0", "",
            "Esito       Protocollo    Codice fiscale     Denominazione",
            "            documenti"};
        for (long i = first; i < first + 45 && i <= payments; ++i) {
            list.push_back("ACQUISITO   " + Padded(i, 6) + "        " + TaxCode(i) +
                           "           DITTA NUMERO " + std::to_string(i) + " S.R.L.");
        }
        pages.push_back(list);
    }
    return pages;
}

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

double PdftotextSeconds(const std::string& pdf) {
    double best = 1e9;
    for (int run = 0; run < 3; ++run) {
        const auto start = Clock::now();
        if (std::system(("pdftotext '" + pdf + "' /dev/null 2>/dev/null").c_str()) != 0) {
            return -1;
        }
        best = std::min(best, Seconds(start));
    }
    return best;
}

struct Result {
    long pages = 0;
    double read = 0;
    double total = 0;
    bool archived = false;
    double pdftotext = 0;
};

Result Run(long payments, const fs::path& dir) {
    Result result;
    const fs::path pdf = dir / ("f24_" + std::to_string(payments) + ".pdf");
    std::string error;
    if (!quorvin::fixture::WritePdf(Transmission(payments), pdf.string(), &error)) {
        std::fprintf(stderr, "PDF non scritto: %s\n", error.c_str());
        return result;
    }
    const fs::path archive = dir / ("archivio_" + std::to_string(payments) + ".sqlite");
    quorvin::DorvaneEnv env;
    if (!env.Connect(archive.string()) || !env.Login() ||
        !quorvin::admin::AddCatalogue(*env.Connection(), quorvin::StandardDocTypeSpecs(),
                                      quorvin::StandardArchiveSpecs((dir / "doc").string()),
                                      error)) {
        std::fprintf(stderr, "Archivio non preparato: %s %s\n", env.LastError().c_str(),
                     error.c_str());
        return result;
    }
    quorvin::bvTel tel(env);
    const auto start = Clock::now();
    tel.File(pdf.string());
    result.read = Seconds(start);
    tel.FileNameOrig(pdf.filename().string());
    result.archived = tel.Process();
    result.total = Seconds(start);
    result.pages = tel.PageCount();
    result.pdftotext = PdftotextSeconds(pdf.string());
    return result;
}

} // namespace

int main(int argc, char** argv) {
    const fs::path dir = fs::temp_directory_path() / ("quorvin-bench-f24-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::vector<long> sizes = {50, 500};
    if (argc > 1) {
        sizes = {std::atol(argv[1])};
    }
    std::printf("%9s %6s %10s %10s %10s %12s %10s\n", "pagamenti", "pagine", "lettura s",
                "totale s", "pagine/s", "ms/pagina", "x pdftotext");
    for (long payments : sizes) {
        const Result r = Run(payments, dir);
        if (!r.archived) {
            std::printf("%9ld: archiviazione non riuscita\n", payments);
            continue;
        }
        std::printf("%9ld %6ld %10.3f %10.3f %10.1f %12.3f %10.1f\n", payments, r.pages, r.read,
                    r.total, static_cast<double>(r.pages) / r.total,
                    1000.0 * r.total / static_cast<double>(r.pages),
                    r.pdftotext > 0 ? r.total / r.pdftotext : 0.0);
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
