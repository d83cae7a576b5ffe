// Label-value reading and classification on realistic first pages.
#include "archive/Utf8.h"
#include "engine/LabelValue.h"
#include "engine/bvTel.h"
#include "engine/pdf/PdfReader.h"

#include <benchmark/benchmark.h>

namespace {

using quorvin::kAnyText;
using quorvin::kDate;
using quorvin::kNumeric;
using quorvin::kTaxCode;

// A transmission receipt's first page as the page reader produces it.
std::string F24FirstPage() {
    std::string page =
        "AGENZIA DELLE ENTRATE - SERVIZIO TELEMATICO ENTRATEL\r\n"
        "ATTESTAZIONE DI AVVENUTA TRASMISSIONE\r\n"
        "In data 12/03/2010 alle ore 09:35 il sistema informativo ha acquisito il file\r\n"
        "file: F24_20100312.ccf con numero di protocollo 10031209351234567\r\n"
        "Invio effettuato da : STUDIO BIANCHI codice fiscale : BNCLRA70B41F205X\r\n"
        "Coordinate bancarie: abi 03069 cab 01600 c/c n. 000012345678\r\n"
        "richiesta di n. 24 versamenti\r\n"
        "addebito effettuato dalla banca: 20\r\n"
        "esito dell’elaborazione: 3\r\n"
        "Pagamenti SCARTATI: 1\r\n";
    for (int i = 0; i < 40; ++i) {
        page += "Riga di testo descrittivo della ricevuta numero " + std::to_string(i) +
                " senza dati rilevanti\r\n";
    }
    return page;
}

void BM_GetLabelValueTypicalCalls(benchmark::State& state) {
    const std::string page = F24FirstPage();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            quorvin::GetLabelValue(page, "In data ", 10, "", kDate, false, false));
        benchmark::DoNotOptimize(quorvin::GetLabelValue(
            page, "codice fiscale : ", " \r\n", "Invio effettuato da :", kTaxCode, false, false));
        benchmark::DoNotOptimize(quorvin::GetLabelValue(page, "numero di protocollo ", " \r\n", "",
                                                        kAnyText, false, false));
        benchmark::DoNotOptimize(quorvin::GetLabelValue(page, "Pagamenti SCARTATI: ", " \r\n", "",
                                                        kNumeric, false, false));
        benchmark::DoNotOptimize(
            quorvin::GetLabelValue(page, "assente: ", "\r\n", "", kAnyText, false, false));
    }
    state.SetItemsProcessed(state.iterations() * 5);
}
BENCHMARK(BM_GetLabelValueTypicalCalls);

void BM_GetLabelValuePreparedText(benchmark::State& state) {
    const std::u32string page = quorvin::ToU32(F24FirstPage());
    const std::u32string lower = quorvin::Lower(page);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            quorvin::GetLabelValue(page, lower, "In data ", 10, "", kDate, false, false));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetLabelValuePreparedText);

class NoReader : public quorvin::pdf::PageReader {
public:
    std::optional<quorvin::pdf::Document> Read(const std::string&) override { return std::nullopt; }
};

void BM_ClassifyDoc(benchmark::State& state) {
    NoReader reader;
    quorvin::bvTel tel(reader);
    // First row, and a page no row matches (the whole chain runs).
    const std::string first = quorvin::Upper(F24FirstPage());
    const std::string none = quorvin::Upper("Fattura n. 12\r\n" + F24FirstPage().substr(60));
    for (auto _ : state) {
        benchmark::DoNotOptimize(tel.ClassifyDoc(state.range(0) == 0 ? first : none));
    }
}
BENCHMARK(BM_ClassifyDoc)->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
