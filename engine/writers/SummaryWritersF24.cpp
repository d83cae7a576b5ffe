// Summary writers of F24 payment files: the transmission receipt and the outcome of the
// debit requests. They count payments, not documents.
#include "engine/writers/SummaryWriters.h"

namespace quorvin::writers {

namespace {

// clang-format off
const std::vector<Step> kF24Reads = {
    {&TelInfo::ReceiptTime, {{"alle ore ", Chars(5)}}},
    {&TelInfo::Protocol,    {{"numero di protocollo ", kWS}}},
    {&TelInfo::SentFile,    {{"file: ", kWS}, Summary("NOME DEL FILE : ", kWS)}},
    {&TelInfo::BankAbi,     {{"abi ", kWS, kAnyText, "Coordinate bancarie: "}}},
    {&TelInfo::BankCab,     {{"cab ", kWS, kAnyText, "Coordinate bancarie: "}}},
    {&TelInfo::BankAccount, {{"c/c n. ", kWS, kAnyText, "Coordinate bancarie: "}}},
    {&Work::payments,       {{"richiesta di n. ", kWS, kNumeric}}},
    {&Work::positive,       {{"addebito effettuato dalla banca: ", kWS, kNumeric}}},
    {&Work::zero,           {{"esito dell’elaborazione: ", kWS, kNumeric},
                             {"esito dell'elaborazione: ", kWS, kNumeric, "importo versamento zero"}}},
    {&Work::rejected,       {{"Pagamenti SCARTATI: ", kWS, kNumeric}}},
    {&Work::description,    {Summary("TIPO DI DOCUMENTO : ", kEOL)}},
};

const std::vector<Field> kF24Fields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Trasmesso_Cod",         From(&TelInfo::SenderTaxCode)},
    {"Ora_doc",               From(&TelInfo::ReceiptTime)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Tipo_doc_F",        Const(130)},
    {"Descrizione",           From(&Work::description)},
    {"Num_Pagamenti",         From(&Work::payments), kIfNonEmpty},
    {"Vers_positivo",         From(&Work::positive), kIfNonEmpty},
    {"Vers_zero",             From(&Work::zero),     kIfNonEmpty},
    {"Scartati",              From(&Work::rejected), kIfNonEmpty},
};

const std::vector<Step> kF24EsitoReads = {
    {&Work::positive,  {{"L’ADDEBITO richiesto : ", kWS, kNumeric},
                        {"L'ADDEBITO richiesto : ", kWS, kNumeric},
                        {"L’ ADDEBITO richiesto : ", kWS, kNumeric},
                        {"L' ADDEBITO richiesto : ", kWS, kNumeric}}},
    {&Work::zero,      {{"versamento a zero\r\nESEGUITI : ", kWS, kNumeric},
                        {"versamento a zero ESEGUITI : ", kWS, kNumeric}}},
    {&Work::rejected,  {{"NON AVER POTUTO EFFETTUARE L’ADDEBITO: ", kWS, kNumeric},
                        {"NON AVER POTUTO EFFETTUARE L'ADDEBITO: ", kWS, kNumeric},
                        {"NON AVER POTUTO EFFETTUARE L’ ADDEBITO : ", kWS, kNumeric},
                        {"NON AVER POTUTO EFFETTUARE L' ADDEBITO : ", kWS, kNumeric}}},
    {&Work::waiting,   {{"ATTESA di esito : ", kWS, kNumeric}}},
    {&Work::cancelled, {{"Pagamenti ANNULLATI : ", kWS, kNumeric},
                        {"Pagamenti ANNULLATI o SCARTATI per controllo credito IVA: ", kWS, kNumeric}}},
    {&TelInfo::SentFile, {Summary("NOME DEL FILE : ", kWS)}, kOnlyIfEmpty},
};

const std::vector<Field> kF24EsitoFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Trasmesso_Cod",         From(&TelInfo::SenderTaxCode)},
    {"Ora_doc",               From(&TelInfo::ReceiptTime)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Tipo_doc_F",        Const(132)},
    {"Num_Pagamenti",         From(&Work::payments),  kIfNonEmpty},
    {"Vers_positivo",         From(&Work::positive),  kIfNonEmpty},
    {"Vers_zero",             From(&Work::zero),      kIfNonEmpty},
    {"Scartati",              From(&Work::rejected),  kIfNonEmpty},
    {"Attesa",                From(&Work::waiting),   kIfNonEmpty},
    {"Annullati",             From(&Work::cancelled), kIfNonEmpty},
};
// clang-format on

} // namespace

bool F24Riep(FieldWriter& w) {
    w.Run(kF24Reads);
    w.Tel().DocumentCount(SumOfCounts({&w.work.positive, &w.work.zero, &w.work.rejected}));
    return w.Write(kF24Fields);
}

bool F24EsitoRiep(FieldWriter& w) {
    w.Run(kF24EsitoReads);
    Work& c = w.work;
    long payments = SumOfCounts({&c.positive, &c.zero, &c.rejected, &c.waiting, &c.cancelled});
    // A receipt that prints no counter at all: the list page's counters stand in, the
    // acquired as debited and the others as not debited.
    if (payments == 0) {
        long total = 0;
        long acquired = 0;
        if (w.Tel().FindNumDocInSummary(total, acquired)) {
            payments = total;
            c.positive = std::to_string(acquired);
            c.rejected = std::to_string(total - acquired);
        }
    }
    c.payments = std::to_string(payments);
    w.Tel().DocumentCount(payments);
    return w.Write(kF24EsitoFields);
}

} // namespace quorvin::writers
