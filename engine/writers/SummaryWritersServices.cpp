// Summary writers of the other Entratel services: intermediaries' invoices and registry
// communications, VAT activity, customers and suppliers lists, cancellations, quarterly
// VAT credit, tax-credit acceptance.
#include "engine/writers/SummaryWriters.h"

#include "archive/Convert.h"
#include "archive/Utf8.h"

namespace quorvin::writers {

namespace {

const Step kAcquired = {&Work::acquired, {Summary("DOCUMENTI ACQUISITI : ", kEOL)}};
const Step kRejected = {&Work::rejected, {Summary("DOCUMENTI SCARTATI : ", kEOL)}};
const Step kDescription = {&Work::description, {Summary("TIPO DI DOCUMENTO : ", kEOL)}};

// clang-format off
const std::vector<Step> kCompensiReads = {
    {&TelInfo::ReceiptTime, {{"alle ore ", Chars(5)}}},
    {&TelInfo::Protocol,    {{"ha acquisito con protocollo ", Set(".")},
                             {"ha acquisito con protocollo\r\n", Lit(" il file")}}},
    {&TelInfo::SentFile,    {{"Il file ", kWS}}},
};
// Registry communications (190) and utility contracts (120) are sent for someone else.
const std::vector<Step> kOnBehalfReads = {
    {&TelInfo::SenderName,         {{"Cognome e Nome : ", kEOL, kAnyText, "trasmesso da:"}}},
    {&TelInfo::ResponsibleTaxCode, {{"codice fiscale : ", kWS, kTaxCode, "per conto di:"}}},
    {&TelInfo::ResponsibleName,    {{"Denominazione : ", kEOL, kAnyText, "per conto di:"}}},
};
const std::vector<Step> kOwnReads = {
    {&TelInfo::SenderName, {{"Denominazione : ", kEOL, kAnyText, "trasmesso da:"}}},
};
const std::vector<Step> kCompensiTail = {
    {&TelInfo::SenderCode, {{"codice fiscale : ", kWS, kTaxCode, "trasmesso da:"}}},
    {&TelInfo::DocDate,    {{"Li, ", kWS, kDate}}},
    kAcquired,
    kRejected,
    kDescription,
    {&Work::total,         {{"contiene ", kWS, kNumeric}, {"contenente ", kWS, kNumeric}}},
};
const std::vector<Field> kCompensiCounters = {
    {"Num_accolte",     From(&Work::acquired),               kAsLong},
    {"Num_scartate",    From(&Work::rejected),               kAsLong},
    {"Trasmesso_Cod",   From(&TelInfo::SenderCode),          kIfNonEmpty},
    {"Trasmesso_Nome",  From(&TelInfo::SenderName),          kIfNonEmpty},
    {"Resp_trasm_Cod",  From(&TelInfo::ResponsibleTaxCode),  kIfNonEmpty},
    {"Resp_trasm_Nome", From(&TelInfo::ResponsibleName),     kIfNonEmpty},
};

const std::vector<Step> kIvaAttivitaReads = {
    {&TelInfo::ReceiptTime, {{" alle ore ", Chars(5)}}},
    {&TelInfo::Protocol,    {{"ha acquisito con protocollo\r\n", Set(" ")}}},
    {&TelInfo::SentFile,    {{"il file ", kEOL}}},
    {&TelInfo::SenderCode,  {{"codice fiscale : ", kEOL, kTaxCode}}},
    {&TelInfo::DocDate,     {{"Li, ", kWS, kDate}}},
    kDescription,
};
const std::vector<Step> kIvaAttivitaCounters = {
    {&Work::total,    {{"contenente ", Set(" ")}}},
    {&Work::acquired, {{"- ", kWS, kNumeric, "Delle richieste elaborate:"}}},
    {&Work::rejected, {{"- ", kWS, kNumeric, "sono state accolte"}}},
};
const std::vector<Field> kIvaAttivitaFields = {
    {"Data_doc",              From(&TelInfo::DocDate)},
    {"Ora_doc",               From(&TelInfo::ReceiptTime)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Tipo_doc_F",        kDocTypeCode},
    {"Data_ricezione",        From(&TelInfo::ReceiptDate)},
    {"Descrizione",           From(&Work::description)},
    {"Num_trasmissioni",      From(&Work::total),        kIfNonEmpty},
    {"Num_accolte",           From(&Work::acquired),     kIfNonEmpty},
    {"Num_scartate",          From(&Work::rejected),     kIfNonEmpty},
    {"Trasmesso_Cod",         From(&TelInfo::SenderCode), kIfNonEmpty},
    {"Trasmesso_Nome",        From(&TelInfo::SenderName), kIfNonEmpty},
};

const std::vector<Step> kElencoCFReads = {
    {&TelInfo::ReceiptTime, {{"alle ore ", Chars(5)}}},
    {&TelInfo::Protocol,    {{"ha acquisito con protocollo ", kEOL, kNumeric}}},
    {&TelInfo::SentFile,    {{"il file ", kWS}}},
    {&TelInfo::SenderCode,  {{"Codice fiscale : ", kWS, kTaxCode}}},
    {&TelInfo::DocDate,     {{"Li, ", kWS, kDate}}},
    {&Work::total,          {{"La fornitura contiene ", kWS, kNumeric}}},
    {&Work::acquired,       {{"- ", kWS, kNumeric, "clienti e fornitori, di cui"}}},
    {&Work::rejected,       {{"- ", kWS, kNumeric, "corrett"}}},
};
const std::vector<Field> kElencoCFFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Ora_doc",               From(&TelInfo::ReceiptTime)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Tipo_doc_F",        Const(170)},
    {"Data_ricezione",        From(&TelInfo::DocDate)},
    {"Num_trasmissioni",      From(&Work::total)},
    {"Num_accolte",           From(&Work::acquired)},
    {"Num_scartate",          From(&Work::rejected),      kIfNonEmpty},
    {"Trasmesso_Cod",         From(&TelInfo::SenderCode), kIfNonEmpty},
};

const std::vector<Step> kAnnullamentoReads = {
    {&TelInfo::ReceiptTime, {{" alle ore ", Chars(5)}}},
    {&TelInfo::Protocol,    {{"ha acquisito con protocollo ", kEOL}}},
    {&TelInfo::SentFile,    {{"il file ", kWS}}},
    {&TelInfo::SenderName,  {{"cognome e nome : ", kEOL, kAnyText, "trasmesso da:"}}},
    {&TelInfo::SenderCode,  {{"codice fiscale : ", kWS, kTaxCode, "trasmesso da:"}}},
    {&TelInfo::DocDate,     {{"Li, ", kWS, kDate}}},
    {&Work::total,          {{"contenente ", kWS, kNumeric}}},
    {&Work::acquired,       {{"accolte ", kWS}}},
    {&Work::rejected,       {{"SCARTATE ", kWS}}},
    kDescription,
};
const std::vector<Form> kAcquiredInList = {Summary("DOCUMENTI ACQUISITI : ", kEOL)};
const std::vector<Form> kRejectedInList = {Summary("DOCUMENTI SCARTATI : ", kEOL)};
const std::vector<Field> kAnnullamentoFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Ora_doc",               From(&TelInfo::ReceiptTime)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Tipo_doc_F",        kDocTypeCode},
    {"Data_ricezione",        From(&TelInfo::DocDate)},
    {"Num_trasmissioni",      From(&Work::total)},
    {"Num_accolte",           From(&Work::acquired)},
    {"Num_scartate",          From(&Work::rejected),      kIfNonEmpty},
    {"Trasmesso_Cod",         From(&TelInfo::SenderCode), kIfNonEmpty},
    {"Trasmesso_Nome",        From(&TelInfo::SenderName), kIfNonEmpty},
    {"Descrizione",           From(&Work::description),   kIfNonEmpty},
};

const std::vector<Step> kIvaTrRimbReads = {
    {&TelInfo::ReceiptTime, {{"alle ore ", Chars(5)}}},
    {&TelInfo::Protocol,    {{"CON PROTOCOLLO\r\n", Set(" ")}}},
    {&TelInfo::SentFile,    {{"IL FILE ", Set(" \r\n")}}},
    {&TelInfo::SenderCode,  {{"CODICE FISCALE : ", kEOL, kTaxCode}}},
    {&TelInfo::SenderName,  {{"cognome e nome : ", kEOL}}},
    kDescription,
    {&Work::total,          {{"CONTENENTE ", Lit(" MODELLI IVA"), kNumeric}}},
    {&Work::acquired,       {{"DI CUI ", Lit(" VALIDI"), kNumeric}}},
};
const std::vector<Field> kIvaTrRimbFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Trasmesso_Cod",         From(&TelInfo::SenderCode)},
    {"Trasmesso_Nome",        From(&TelInfo::SenderName)},
    {"Ora_doc",               From(&TelInfo::ReceiptTime)},
    {"Descrizione",           From(&Work::description)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Tipo_doc_F",        Const(184)},
    {"Num_Trasmissioni",      kDocumentCount},
    {"Num_accolte",           From(&Work::acquired)},
    {"Num_scartate",          From(&Work::rejected)},
};

const std::vector<Step> kAccCredImpReads = {
    {&TelInfo::Protocol, {{"con protocollo ", Lit(" .")}}},
    {&TelInfo::TaxCode,  {{"Codice Fiscale ", kEOL, kTaxCode}}},
    {&TelInfo::SentFile, {Summary("NOME DEL FILE : ", kWS)}},
    kDescription,
    kAcquired,
    kRejected,
};
const std::vector<Field> kAccCredImpFields = {
    {"Data_doc",              From(&TelInfo::DocDate)},
    {"Data_ricezione",        From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Descrizione",           From(&Work::description)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Tipo_doc_F",        Const(194)},
    {"Num_Trasmissioni",      kDocumentCount},
    {"Num_accolte",           From(&Work::acquired)},
    {"Num_scartate",          From(&Work::rejected)},
};
// clang-format on

} // namespace

bool CompensiRiep(FieldWriter& w) {
    const long docType = w.Tel().DocType();
    const bool onBehalf = docType == 190 || docType == 120;
    w.Run(kCompensiReads);
    w.Run(onBehalf ? kOnBehalfReads : kOwnReads);
    w.Run(kCompensiTail);
    SettleTotal(w);
    bool ok = w.Write(AcknowledgementFields(&TelInfo::ReceiptDate, &TelInfo::DocDate));
    ok = (docType == 190 ? w.Write({"Num_trasmissioni", From(&Work::total), kAsLong})
                         : w.Write({"Num_trasmissioni", kDocumentCount})) &&
         ok;
    return w.Write(kCompensiCounters) && ok;
}

bool IvaAttivita(FieldWriter& w) {
    const bool creditRequest = w.Tel().DocType() == 192;
    w.Run(kIvaAttivitaReads);
    w.Run(
        {&TelInfo::SenderName, {{creditRequest ? "denominazione : " : "cognome e nome : ", kEOL}}});
    if (creditRequest) {
        w.Tel().DocumentCount(Count(w.Read({"contenente ", Set(" "), kNumeric})).value_or(0));
    } else {
        w.Run(kIvaAttivitaCounters);
        w.Tel().DocumentCount(SumOfCounts({&w.work.acquired, &w.work.rejected}));
    }
    return w.Write(kIvaAttivitaFields);
}

bool ElencoCFRiep(FieldWriter& w) {
    w.Run(kElencoCFReads);
    w.Tel().DocumentCount(Count(w.work.total).value_or(0));
    return w.Write(kElencoCFFields);
}

bool AnnullamentoRiep(FieldWriter& w) {
    w.Run(kAnnullamentoReads);
    Work& c = w.work;
    // "accolte tutte." closes a sentence: the full stop is not part of the word.
    std::string word = Lower(Trim(c.acquired));
    if (!word.empty() && word.back() == '.') {
        word.pop_back();
    }
    if (word == "tutte") {
        c.acquired = c.total;
    }
    if (!IsNumeric(c.acquired)) {
        c.acquired = w.Read(kAcquiredInList);
    }
    if (!IsNumeric(c.rejected)) {
        c.rejected = w.Read(kRejectedInList);
    }
    for (std::string* count : {&c.acquired, &c.rejected}) {
        if (!IsNumeric(*count)) {
            *count = "0";
        }
    }
    w.Tel().DocumentCount(SumOfCounts({&c.acquired, &c.rejected}));
    return w.Write(kAnnullamentoFields);
}

bool IvaTrRimbRiep(FieldWriter& w) {
    w.Run(kIvaTrRimbReads);
    const long count = Count(w.work.total).value_or(0);
    w.Tel().DocumentCount(count);
    w.work.rejected = std::to_string(count - Count(w.work.acquired).value_or(0));
    return w.Write(kIvaTrRimbFields);
}

bool AccCredImpRiep(FieldWriter& w) {
    w.Run(kAccCredImpReads);
    w.Tel().DocumentCount(SumOfCounts({&w.work.acquired, &w.work.rejected}));
    return w.Write(kAccCredImpFields);
}

} // namespace quorvin::writers
