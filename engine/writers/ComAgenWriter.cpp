// The outcome of a communication of the fingerprint of electronic documents: accepted
// (82) or rejected with its reason (83).
#include "archive/Utf8.h"
#include "engine/writers/WriterSupport.h"

#include <string>
#include <vector>

namespace quorvin {

namespace writers {

namespace {

constexpr std::string_view kHolder = "Dati del titolare della contabilita'";

// The closing date ends its line as a blank would.
// clang-format off
const std::vector<Step> kComAgenReads = {
    {&TelInfo::DocDate, {{"Li, ", kWS, kDate}}},
    {&TelInfo::TaxCode, {{"Codice fiscale : ", kEOL, kTaxCode, kHolder}}},
    {&TelInfo::Company, {{kHolder, kEOL}}, kTrimmed},
};
const std::vector<Step> kRejectedReads = {
    {&TelInfo::Outcome, {{"Il file e' stato ", Set(" ")}}},
};
const std::vector<Step> kAcceptedReads = {
    {&TelInfo::Outcome,     {{"Il file e' stato ", kEOL}}},
    {&TelInfo::SentFile,    {{"il file ", kEOL}}},
    {&TelInfo::ReceiptTime, {{"alle ore ", Lit(" il sistema informativo")}}},
    {&TelInfo::Protocol,    {{"ha acquisito con protocollo ", kEOL}}},
};
const std::vector<Field> kComAgenFields = {
    {"Cod_Fiscale",           From(&TelInfo::TaxCode)},
    {"Cod_Tipo_doc_F",        kArchTipoDocCode},
    {"Data_Ricevimento",      From(&TelInfo::ReceiptDate)},
    {"Data_Ricezione",        From(&TelInfo::ReceiptDate)},
    {"Data_doc",              From(&TelInfo::DocDate)},
    {"Anno",                  YearOf(&TelInfo::DocDate)},
    {"Ditta",                 From(&TelInfo::Company)},
    {"Esito",                 From(&TelInfo::Outcome)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Protocollo_attribuito", From(&TelInfo::Protocol)},
    {"Descrizione",           From(&Work::description)},
};
// clang-format on

} // namespace

} // namespace writers

using namespace writers;

bool bvTel::WriteFieldsComAgenSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsComAgenSing", [&] {
        FieldWriter w(*this, text);
        w.Run(kComAgenReads);
        w.Run(ArchTipoDoc() == 82 ? kAcceptedReads : kRejectedReads);
        w.ReadInto({Summary("TIPO DI DOCUMENTO : ", kEOL)}, w.work.description);
        return w.Write(kComAgenFields);
    });
}

} // namespace quorvin
