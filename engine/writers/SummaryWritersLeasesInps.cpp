// Summary writers of lease registrations and payments, and of the social-security
// receipts (INPS E-MENS and ENPALS returns, INAIL wages declaration).
#include "engine/writers/SummaryWriters.h"

namespace quorvin::writers {

namespace {

// clang-format off
const std::vector<Step> kLocazioneContrReads = {
    {&TelInfo::ReceiptTime, {{"alle ore ", Chars(5)}}},
    {&TelInfo::Protocol,    {{"protocollo n.", kWS}}},
    {&TelInfo::SentFile,    {{"Nome del file: ", kWS}, {"IL FILE: ", kWS}}},
    {&Work::total,          {{"il seguente file contenente ", kWS}, {"CONTENENTE ", kWS}}},
    {&Work::acquired,       {Summary("DOCUMENTI ACQUISITI : ", kEOL)}},
    {&Work::rejected,       {Summary("DOCUMENTI SCARTATI : ", kEOL)}},
};
const std::vector<Field> kLocazioneContrFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Trasmesso_Cod",         From(&TelInfo::SenderTaxCode)},
    {"Ora_doc",               From(&TelInfo::ReceiptTime)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Tipo_doc_F",        kDocTypeCode},
    {"Num_Trasmissioni",      From(&Work::total)},
    {"Num_accolte",           From(&Work::acquired)},
    {"Num_scartate",          From(&Work::rejected)},
};

const std::vector<Step> kLocazioneEsitoReads = {
    {&TelInfo::ReceiptTime, {{"alle ore ", Chars(5)}}},
    {&TelInfo::Protocol,    {{"con protocollo ", kWS}}},
    {&TelInfo::SentFile,    {{"al file ", kWS}}},
    {&TelInfo::BankAccount, {{"c/c n. ", kWS, kAnyText, "Coordinate bancarie indicate:"}}},
    {&Work::total,          {{"e contiene ", kWS}}},
};
const std::vector<Field> kLocazioneEsitoFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Trasmesso_Cod",         From(&TelInfo::SenderTaxCode)},
    {"Ora_doc",               From(&TelInfo::ReceiptTime)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Tipo_doc_F",        kDocTypeCode},
    {"Num_Trasmissioni",      From(&Work::total)},
};

const std::vector<Form> kEmensPeriod = {{"PERIODO : ", Set(" ")}, {"PERIODO: ", Set(" ")}};
const std::vector<Field> kEmensFields = {
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"Cod_Tipo_doc_F",        kDocTypeCode},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Dal",                   From(&TelInfo::ReceiptDate)},
};

const std::vector<Field> kEnpalsFields = {
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"Cod_Tipo_doc_F",        kDocTypeCode},
    {"Data_Ricezione",        From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Num_trasmissioni",      kDocumentCount},
    {"Trasmesso_Cod",         From(&TelInfo::SenderTaxCode)},
};

const std::vector<Step> kInailReads = {
    {&TelInfo::ReceiptTime, {{"Ore: ", Lit(" Codice")}, {"Ora Comunicazione : ", kEOL}}},
    {&Work::total,          {{"contiene n° ", Lit(" fogli salari"), kNumeric}}},
    {&Work::acquired,       {{"- N° ", Lit(" fogli salari"), kNumeric}}},
    {&Work::rejected,       {{"- N° ", Lit(" fogli salari"), kNumeric, "regolarmente trasmessi"}}},
};
const std::vector<Field> kInailFields = {
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"Cod_Tipo_doc_F",        kDocTypeCode},
    {"Data_Ricezione",        From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Num_trasmissioni",      From(&Work::total),    kIfNonEmpty},
    {"Num_accolte",           From(&Work::acquired), kIfNonEmpty},
    {"Num_scartate",          From(&Work::rejected), kIfNonEmpty},
    {"Trasmesso_Cod",         From(&TelInfo::SenderTaxCode)},
};
// clang-format on

// The lease receipts write a single file as "un" (one) file.
void LeaseTotal(FieldWriter& w) {
    const auto total = Count(w.work.total, true);
    if (total) {
        w.work.total = std::to_string(*total);
    }
    w.Tel().DocumentCount(total.value_or(0));
}

} // namespace

bool LocazioneContrRiep(FieldWriter& w) {
    w.Run(kLocazioneContrReads);
    LeaseTotal(w);
    return w.Write(kLocazioneContrFields);
}

bool LocazioneEsitoRiep(FieldWriter& w) {
    w.Run(kLocazioneEsitoReads);
    LeaseTotal(w);
    return w.Write(kLocazioneEsitoFields);
}

bool EMENSRiep(FieldWriter& w) {
    TelInfo& info = w.Info();
    const std::string month = w.Read(kEmensPeriod);
    if (!month.empty()) {
        // The year follows the month word: "PERIODO : MARZO 2010".
        const std::string label = ": " + month + " ";
        const std::string year = w.Read(Form{label, Set(" "), kNumeric, "PERIODO"});
        info.Period = year.empty() ? month : month + " " + year;
    }
    w.Tel().DocumentCount(w.Tel().PageCount());
    bool ok = w.Write(kEmensFields);
    ok = w.Set("Al", LastDayOfMonthOf(info.ReceiptDate)) && ok;
    return w.Write({"Num_trasmissioni", kDocumentCount}) && ok;
}

bool ENPALSRiep(FieldWriter& w) {
    w.Tel().DocumentCount(w.Tel().PageCount() - 1);
    return w.Write(kEnpalsFields);
}

bool INAILAutoliqRiep(FieldWriter& w) {
    w.Run(kInailReads);
    const auto acquired = Count(w.work.acquired);
    w.Tel().DocumentCount(acquired ? *acquired : w.Tel().PageCount() - 1);
    return w.Write(kInailFields);
}

} // namespace quorvin::writers
