// Summary writers of the declarations service: 730 assistance, declarations of every
// kind (with Intrastat, CU and declarations of intent), questionnaires.
#include "engine/writers/SummaryWriters.h"

#include "archive/DorvaneText.h"
#include "archive/Utf8.h"

namespace quorvin::writers {

namespace {

constexpr const char* kResponsible = "Responsabile della trasmissione:";
constexpr const char* kSentBy = "Invio effettuato da :";

// clang-format off
const std::vector<Step> k730Reads = {
    {&TelInfo::ReceiptTime,        {{" ore ", Chars(5)}}},
    {&TelInfo::Protocol,           {{"INVIO PROTOCOLLO N. ", kEOL}}},
    {&TelInfo::SentFile,           {{"Nome del file: ", kWS}}},
    {&TelInfo::ResponsibleName,    {{"cognome e nome : ", kEOL, kAnyText, kResponsible}}},
    {&TelInfo::ResponsibleTaxCode, {{"codice fiscale : ", kWS, kTaxCode, kResponsible}}},
    {&TelInfo::SenderName,         {{"cognome e nome : ", kEOL, kAnyText, kSentBy}}},
    {&TelInfo::SenderCode,         {{"codice fiscale : ", kWS, kTaxCode, kSentBy}}},
    {&TelInfo::DocDate,            {{"AVVENUTO RICEVIMENTO PRODOTTA IL ", kWS, kDate}}},
    {&Work::description,           {Summary("TIPO DI DOCUMENTO : ", kEOL)}},
    {&Work::total,                 {{"DICHIARAZIONI TOTALI ", kWS}}},
    {&Work::acquired,              {{"ACCOLTE ", kWS}}},
    {&Work::rejected,              {{"SCARTATE ", kWS}}},
};

// Both the 730 and the questionnaires write their counters, then the people.
const std::vector<Field> kCountersAndPeople = {
    {"Num_trasmissioni", From(&Work::total),                  kIfNonEmpty},
    {"Num_accolte",      From(&Work::acquired),               kIfNonEmpty},
    {"Num_scartate",     From(&Work::rejected),               kIfNonEmpty},
    {"Resp_trasm_Cod",   From(&TelInfo::ResponsibleTaxCode),  kIfNonEmpty},
    {"Resp_trasm_Nome",  From(&TelInfo::ResponsibleName),     kIfNonEmpty},
    {"Trasmesso_Cod",    From(&TelInfo::SenderCode),          kIfNonEmpty},
    {"Trasmesso_Nome",   From(&TelInfo::SenderName),          kIfNonEmpty},
};

const std::vector<Field> k730Fields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Ora_doc",               From(&TelInfo::ReceiptTime)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Tipo_doc_F",        Const(186)},
    {"Data_ricezione",        From(&TelInfo::DocDate)},
    {"Descrizione",           From(&Work::description)},
};

const std::vector<Step> kStudiSettReads = {
    {&TelInfo::ReceiptTime,        {{" ORE ", Chars(5)}}},
    {&TelInfo::Protocol,           {{"INVIO PROTOCOLLO N. ", kEOL}}},
    {&TelInfo::SentFile,           {{"Nome del file: ", kWS}}},
    {&TelInfo::ResponsibleName,    {{"cognome e nome : ", kEOL, kAnyText, kResponsible}}},
    {&TelInfo::ResponsibleTaxCode, {{"codice fiscale : ", kWS, kTaxCode, kResponsible}}},
    {&TelInfo::SenderName,         {{"cognome e nome : ", kEOL, kAnyText, "Invio effettuato da:"},
                                    {"cognome e nome : ", kEOL, kAnyText, kSentBy}}},
    {&TelInfo::SenderCode,         {{"codice fiscale : ", kWS, kTaxCode, "Invio effettuato da:"},
                                    {"codice fiscale : ", kWS, kTaxCode, kSentBy}}},
    {&TelInfo::DocDate,            {{"DATA DI PRODUZIONE DELLA RICEVUTA ", kWS, kDate}}},
    {&Work::total,                 {{"QUESTIONARI TOTALI ", kWS, kNumeric}}},
    {&Work::acquired,              {{"ACCOLTI ", kWS, kNumeric, "QUESTIONARI TOTALI "}}},
    {&Work::rejected,              {{"SCARTATI ", kWS, kNumeric, "QUESTIONARI TOTALI "}}},
};

const std::vector<Field> kStudiSettFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Ora_doc",               From(&TelInfo::ReceiptTime)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Tipo_doc_F",        Const(148)},
    {"Data_ricezione",        From(&TelInfo::DocDate)},
};

// Declarations: the people, each tried under both spellings of its heading.
const std::vector<Step> kDichiarazioniReads = {
    {&TelInfo::ReceiptTime, {{" ore ", Chars(5)}}},
    {&TelInfo::Protocol,    {{"INVIO PROTOCOLLO N. ", kEOL},
                             {"con protocollo ", Lit(" il file")}}},
    {&TelInfo::SentFile,    {Summary("NOME DEL FILE : ", kWS),
                             {"Nome del file: ", kWS},
                             {"il file\r\n", kWS},
                             {"Nome del file : ", kWS}}},
    // The person first: a company name after the heading may be the sender's, which
    // follows the responsible person on the page.
    {&TelInfo::ResponsibleName,    {{"cognome e nome : ", kEOL, kAnyText, kResponsible},
                                    {"denominazione : ", kEOL, kAnyText, kResponsible},
                                    {"cognome e nome : ", kEOL, kAnyText, "Responsabile della trasmissione :"},
                                    {"denominazione : ", kEOL, kAnyText, "Responsabile della trasmissione :"}}},
    {&TelInfo::ResponsibleTaxCode, {{"codice fiscale : ", kWS, kTaxCode, kResponsible},
                                    {"codice fiscale : ", kWS, kTaxCode, "Responsabile della trasmissione :"}}},
    {&TelInfo::SenderName,  {{"denominazione : ", kEOL, kAnyText, kSentBy},
                             {"cognome e nome : ", kEOL, kAnyText, kSentBy},
                             {"denominazione: ", kEOL, kAnyText, "trasmesso da:"},
                             {"cognome e nome: ", kEOL, kAnyText, "Il file e' stato trasmesso da:"}}},
    {&TelInfo::SenderCode,  {{"codice fiscale : ", kWS, kTaxCode, kSentBy},
                             {"Codice fiscale : ", kWS, kTaxCode, "Il file e' stato trasmesso da:"}}},
    {&TelInfo::DocDate,     {{"AVVENUTO RICEVIMENTO PRODOTTA IL ", kWS, kDate}}},
};

// The total, by DocType (0 = the others); every next form only while not numeric.
struct TotalForms {
    long docType;
    long intentVariant; // -1 = any
    std::vector<Form> forms;
};
const std::vector<TotalForms> kTotals = {
    {154, -1, {{"COMUNICAZIONI TOTALI ", kWS}, {"COMUNICAZIONI TOTALI ", kEOL}}},
    {156,  0, {{"COMUNICAZIONI TOTALI ", kWS}, {"COMUNICAZIONI TOTALI ", kEOL}}},
    {156,  1, {{"contenente ", Lit(" dichiarazioni d'intento")}}},
    {381, -1, {{"CERTIFICAZIONI TOTALI ", kWS}, {"CERTIFICAZIONI TOTALI ", kEOL}}},
    {0,   -1, {{"DICHIARAZIONI TOTALI ", kWS}, {"DICHIARAZIONI TOTALI ", kEOL},
               {"La fornitura contiene ", Set(" "), kNumeric}}},
};

const std::vector<Step> kDichiarazioniCounters = {
    {&Work::acquired, {{"ACCOLTE ", kWS},
                       {"ACCOLTE ", kEOL},
                       {"- ", Lit(" accolt"), kNumeric, "La fornitura contiene "},
                       {"di cui acquisite: ", Lit("\r\n"), kNumeric},
                       Summary("DOCUMENTI ACQUISITI :", kEOL)}, kUntilNumeric},
    {&Work::rejected, {{"SCARTATE ", kWS},
                       {"SCARTATE ", kEOL},
                       {"- ", kWS, kNumeric, "accolt"},
                       {"di cui scartate: ", kEOL, kNumeric, "acquisit"},
                       Summary("DOCUMENTI SCARTATI :", kEOL)}, kUntilNumeric},
};

// The document type runs over lines up to the line that opens with DOCUMENTI ACQUISITI.
const std::vector<Form> kDocumentTypeForms = {
    Summary("TIPO DI DOCUMENTO : ", Lit("\r\nDOCUMENTI ACQUISITI")),
    Summary("TIPO DI DOCUMENTO: ", Lit("\r\nDOCUMENTI ACQUISITI")),
};
const std::vector<Form> kModelForms = {
    Summary("MODELLO DI COMUNICAZIONE ", kEOL),
    Summary("MODELLO DI DICHIARAZIONE ", Lit("\r\n")),
};

const std::vector<Field> kDichiarazioniFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Ora_doc",               From(&TelInfo::ReceiptTime)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Tipo_doc_F",        kDocTypeCode},
    {"Data_ricezione",        From(&TelInfo::DocDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Descrizione",           From(&Work::description)},
    {"Num_trasmissioni",      From(&Work::total),                 kIfNonEmpty},
    {"Num_accolte",           From(&Work::acquired),              kIfNonEmpty},
    {"Num_scartate",          From(&Work::rejected),              kIfNonEmpty},
    {"Resp_trasm_Cod",        From(&TelInfo::ResponsibleTaxCode), kIfNonEmpty},
    {"Resp_trasm_Nome",       From(&TelInfo::ResponsibleName),    kIfNonEmpty},
    {"Trasmesso_Cod",         From(&TelInfo::SenderCode),         kIfNonEmpty},
    {"Trasmesso_Nome",        From(&TelInfo::SenderName),         kIfNonEmpty},
};
// clang-format on

const std::vector<Form>& TotalFormsFor(long docType, long intentVariant) {
    for (const auto& row : kTotals) {
        if (row.docType == docType &&
            (row.intentVariant == -1 || row.intentVariant == intentVariant)) {
            return row.forms;
        }
    }
    return kTotals.back().forms;
}

} // namespace

bool Riep730(FieldWriter& w) {
    w.Run(k730Reads);
    w.Tel().DocumentCount(Count(w.work.total).value_or(0));
    const bool ok = w.Write(k730Fields);
    return w.Write(kCountersAndPeople) && ok;
}

bool StudiSettRiep(FieldWriter& w) {
    w.Run(kStudiSettReads);
    w.Tel().DocumentCount(Count(w.work.total).value_or(0));
    const bool ok = w.Write(kStudiSettFields);
    return w.Write(kCountersAndPeople) && ok;
}

bool DichiarazioniRiep(FieldWriter& w) {
    bvTel& tel = w.Tel();
    w.Run(kDichiarazioniReads);
    w.work.total = w.Read(TotalFormsFor(tel.DocType(), tel.IntentVariant()), true);
    w.Run(kDichiarazioniCounters);
    if (tel.DocType() != 381) {
        std::string description = w.Read(kDocumentTypeForms);
        description = Trim(DorvaneText::Replace(description, "\r\n", " "));
        if (description.empty()) {
            description = w.Read(kModelForms);
        }
        w.work.description = description;
    }
    SettleTotal(w);
    return w.Write(kDichiarazioniFields);
}

} // namespace quorvin::writers
