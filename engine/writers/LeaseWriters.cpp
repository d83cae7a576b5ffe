// Single receipts of lease contracts: the payment request of a registered contract, the
// request of a later payment, and the outcome of either payment.
#include "archive/Convert.h"
#include "archive/Utf8.h"
#include "engine/writers/CommunicationWriters.h"

#include <string>
#include <vector>

namespace quorvin {

namespace writers {

namespace {

// clang-format off
const std::vector<Step> kRicReads = {
    {&TelInfo::PaymentProtocol, {{"con protocollo utente ", Set(" ")}}},
    {&TelInfo::SenderTaxCode,   {{"Codice fiscale: ", Set(" \r\n"), kTaxCode}}},
    {&TelInfo::Company,         {{"Cognome e nome o denominazione: ", kEOL}}},
    {&TelInfo::BankAbi,         {{"Azienda ", Lit(" CAB"), kNumeric, "DATI DEL PAGAMENTO:"}}},
    {&TelInfo::BankCab,         {{"CAB ", Lit("\r\n"), kNumeric, "DATI DEL PAGAMENTO:"}}},
};
const std::vector<Field> kRicFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"Protocollo_Pag",        From(&TelInfo::PaymentProtocol)},
    {"Progressivo_Pag",       From(&TelInfo::SendNumber)},
    {"Progressivo_Invio",     From(&TelInfo::SendNumber)},
    {"Abi",                   From(&TelInfo::BankAbi)},
    {"Cab",                   From(&TelInfo::BankCab)},
    {"Cod_Fiscale",           From(&TelInfo::TaxCode)},
    {"Trasmesso_Cod",         From(&TelInfo::SenderTaxCode)},
    {"Cod_Tipo_doc_F",        Const(173)},
};

const std::vector<Step> kSuccReads = {
    {&TelInfo::PaymentProtocol, {{"IL FILE ACQUISITO CON PROTOCOLLO ", Set(" ")}}},
    {&TelInfo::TaxCode,         {{"CODICE FISCALE: ", Set(" \r\n"), kTaxCode}}},
    {&TelInfo::Company,         {{"Cognome e nome o denominazione: ", kEOL}}},
};
const std::vector<Field> kSuccFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"Protocollo_pag",        From(&TelInfo::PaymentProtocol)},
    {"Protocollo_utente",     From(&TelInfo::PaymentProtocol)},
    {"Progressivo_Pag",       From(&TelInfo::SendNumber)},
    {"Progressivo_Invio",     From(&TelInfo::SendNumber)},
    {"Ditta",                 From(&TelInfo::Company)},
    {"Descrizione",           From(&Work::description)},
    {"Esito",                 From(&TelInfo::Outcome)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Fiscale",           From(&TelInfo::TaxCode)},
    {"Cod_Tipo_doc_F",        Const(179)},
};

// The page's heading says how the request went; the list only when it does not.
struct HeadingOutcome {
    const char* heading;
    const char* outcome;
};
constexpr HeadingOutcome kSuccOutcomes[] = {
    {"RICEVUTA DELLA RICHIESTA DI PAGAMENTO", "acquisito"},
    {"DIAGNOSTICI RELATIVI AD UNA RICHIESTA DI PAGAMENTO SCARTATA", "scartato"},
};

const std::vector<Step> kEsitoReads = {
    {&TelInfo::PaymentProtocol, {{"con protocollo ", kWS}}},
    {&TelInfo::TaxCode,         {{"Intestatario/cointestatario del conto:\r\n", kWS}}},
    {&TelInfo::Company,         {{"Cognome e nome o denominazione: ", kEOL}}},
    {&TelInfo::BankAbi,         {{"(ABI ", Set(","), kNumeric}}},
    {&TelInfo::BankCab,         {{"CAB ", Set(")"), kNumeric, "ABI "}}},
};
const std::vector<Field> kEsitoFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Trasmesso_Cod",         From(&TelInfo::SenderTaxCode)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
    {"Protocollo_Pag",        From(&TelInfo::PaymentProtocol)},
    {"Progressivo_Pag",       From(&TelInfo::SendNumber)},
    {"Progressivo_Invio",     From(&TelInfo::SendNumber)},
    {"Esito",                 From(&TelInfo::Outcome)},
    {"Ditta",                 From(&TelInfo::Company)},
    {"Descrizione",           From(&Work::description)},
    {"Cod_Fiscale",           From(&TelInfo::TaxCode)},
    {"Cod_Tipo_doc_F",        kArchTipoDocCode},
    {"Abi",                   From(&TelInfo::BankAbi)},
    {"Cab",                   From(&TelInfo::BankCab)},
    {"Cc",                    From(&TelInfo::BankAccount)},
};
// clang-format on

} // namespace

} // namespace writers

using namespace writers;

bool bvTel::WriteFieldsLocazioneRicSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsLocazioneRicSing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();
        w.Run(kRicReads);
        // The lease list's row of this contract (its user protocol in the first column)
        // names the landlord; without one, the list's first row does.
        std::vector<std::string> row;
        bool found = false;
        for (long n = 1; !found && GetInfoDocFromSummary(n, row); ++n) {
            found = !info.PaymentProtocol.empty() && row[0] == info.PaymentProtocol;
        }
        if (!found) {
            found = FindInfoDocInSummary(-1, "", "", row);
        }
        if (found && row.size() > 1) {
            info.TaxCode = row[1];
        }
        return w.Write(kRicFields);
    });
}

bool bvTel::WriteFieldsLocSuccSing(const std::string& text, long rowNumber) {
    return RunWriter(*this, "WriteFieldsLocSuccSing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();
        w.Run(kSuccReads);
        std::vector<std::string> row;
        const bool found = GetInfoDocFromSummary(rowNumber, row) && row.size() > 3;
        if (found) {
            info.SendNumber = IsNumeric(row[1]) ? row[1] : std::string();
            if (info.Company.empty()) {
                info.Company = row[3];
            }
        }
        const std::string upper = Upper(text);
        bool decided = false;
        for (const auto& entry : kSuccOutcomes) {
            if (!decided && upper.find(entry.heading) != std::string::npos) {
                info.Outcome = entry.outcome;
                decided = true;
            }
        }
        if (!decided && found) {
            info.Outcome = row[0];
        }
        DescriptionFromList(w);
        return w.Write(kSuccFields);
    });
}

bool bvTel::WriteFieldsLocSuccEsitoSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsLocSuccEsitoSing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();
        w.Run(kEsitoReads);
        // The payment's protocol ends with its progressive number: "protocol/number".
        const ProtocolParts parts = SplitProtocol(info.PaymentProtocol, "/");
        std::vector<std::string> row;
        if (FindInfoDocInSummary(parts.split ? Progressive(parts.number) : 0, info.TaxCode, "",
                                 row) &&
            row.size() > 1) {
            info.Outcome = row[0];
            info.SendNumber = row[1];
        }
        DescriptionFromList(w);
        return w.Write(kEsitoFields);
    });
}

} // namespace quorvin
