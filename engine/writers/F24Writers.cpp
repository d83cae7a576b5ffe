// Single F24 receipts: one payment of a transmission, and the outcome of one debit.
#include "archive/Convert.h"
#include "archive/DorvaneRecordset.h"
#include "archive/Utf8.h"
#include "engine/writers/WriterSupport.h"

#include <string>
#include <vector>

namespace quorvin {

namespace writers {

namespace {

// clang-format off
const std::vector<Step> kF24SingReads = {
    {&TelInfo::PaymentDate, {{"Data versamento : ", kWS, kDate, {}}}},
    {&TelInfo::Amount,      {{"Importo versamento : E. ", kWS, kAnyText, {}}}},
    {&TelInfo::BankAbi,     {{" abi ", kWS, kAnyText, {}}}},
    {&TelInfo::BankCab,     {{" cab ", kWS, kAnyText, {}}}},
    {&TelInfo::BankAccount, {{" c/c n. ", kWS, kAnyText, {}}}},
    {&TelInfo::Outcome,     {{"Esito elaborazione : ", kWS, kAnyText, {}}}},
};

const std::vector<Step> kF24EsitoSingReads = {
    {&TelInfo::Amount,      {{"Importo versamento : ", kWS, kAnyText, {}}}},
    {&TelInfo::PaymentDate, {{"Data addebito : ", kWS, kAnyText, {}}}},
    {&TelInfo::BankAbi,     {{"Banca di addebito : ", kWS, kAnyText, {}},
                             {"(ABI ", Set(")"), kAnyText, "La banca "}}},
    {&TelInfo::Outcome,     {{"Esito versamento : ", kWS, kAnyText, {}}}},
};

// The payment's own protocol fields, when the archive has them; else its number only.
const std::vector<Field> kPaymentReference = {
    {"Protocollo_pag",  From(&TelInfo::PaymentProtocol)},
    {"Progressivo_pag", From(&TelInfo::SendNumber)},
};
const std::vector<Field> kSendNumberOnly = {
    {"Progressivo_Invio", From(&TelInfo::SendNumber)},
};

const std::vector<Field> kF24SingHead = {
    {"Data_doc",              From(&TelInfo::DocDate)},
    {"Data_vers",             From(&TelInfo::PaymentDate)},
    {"Protocollo_attribuito", From(&TelInfo::Protocol)},
};
const std::vector<Field> kF24SingTail = {
    {"Esito",          From(&TelInfo::Outcome)},
    {"File",           From(&TelInfo::SentFile)},
    {"Ora_Doc",        From(&TelInfo::ReceiptTime)},
    {"Trasmesso_Cod",  From(&TelInfo::SenderTaxCode)},
    {"Anno",           YearOf(&TelInfo::ReceiptDate)},
    {"Cod_Tipo_doc_F", Const(131)},
    {"Cod_Fiscale",    From(&TelInfo::TaxCode)},
    {"Importo",        From(&TelInfo::Amount)},
    {"Abi",            From(&TelInfo::BankAbi)},
    {"Cab",            From(&TelInfo::BankCab)},
    {"Cc",             From(&TelInfo::BankAccount)},
};

const std::vector<Field> kF24EsitoSingHead = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Protocollo_attribuito", From(&TelInfo::Protocol)},
};
const std::vector<Field> kF24EsitoSingTail = {
    {"Esito",          From(&TelInfo::Outcome)},
    {"File",           From(&TelInfo::SentFile)},
    {"Ora_Doc",        From(&TelInfo::ReceiptTime)},
    {"Trasmesso_Cod",  From(&TelInfo::SenderTaxCode)},
    {"Anno",           YearOf(&TelInfo::ReceiptDate)},
    {"Cod_Tipo_doc_F", Const(133)},
    {"Cod_Fiscale",    From(&TelInfo::TaxCode)},
    {"Importo",        From(&TelInfo::Amount)},
    {"Data_Vers",      From(&TelInfo::PaymentDate)},
    {"Abi",            From(&TelInfo::BankAbi)},
    {"Cab",            From(&TelInfo::BankCab)},
    {"Cc",             From(&TelInfo::BankAccount)},
    {"Descrizione",    From(&Work::description)},
};
// clang-format on

const Form kPaymentText{"Protocollo del pagamento : ", kEOL, kAnyText, {}};
const Form kTaxCodeText{"Codice fiscale : ", kEOL, kAnyText, {}};
const Form kDescription = Summary("TIPO DI DOCUMENTO : ", kEOL);

// The progressive number as the list lookups take it: a number that matches no row when
// the receipt printed none (-1 would match any row).
long Progressive(const std::string& sendNumber) {
    return static_cast<long>(ParseInteger(Trim(sendNumber)).value_or(0));
}

bool WriteProtocolFields(FieldWriter& w) {
    const bool own = w.Tel().CurrentRecord().HasField("Protocollo_pag");
    return w.Write(own ? kPaymentReference : kSendNumberOnly);
}

} // namespace

} // namespace writers

using namespace writers;

bool bvTel::WriteFieldsF24Sing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsF24Sing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();

        // "protocol prog. number" also holds when the protocol itself contains a "/".
        const std::string payment = w.Read(kPaymentText);
        ProtocolParts parts;
        if (Lower(payment).find(" prog. ") != std::string::npos) {
            parts = SplitProtocol(Lower(payment), " prog. ");
        } else {
            parts = SplitProtocol(payment, "/");
        }
        info.PaymentProtocol = parts.protocol;
        if (parts.split) {
            info.SendNumber = Trim(parts.number);
        }

        std::string company;
        const std::string taxCodeText = w.Read(kTaxCodeText);
        if (!taxCodeText.empty()) {
            const ProtocolParts taxCode = SplitProtocol(taxCodeText, " -");
            info.TaxCode = taxCode.protocol;
            if (taxCode.split) {
                company = Trim(taxCode.number);
            }
        }

        std::vector<std::string> row;
        if (FindInfoDocInSummary(Progressive(info.SendNumber), info.TaxCode, "", row) &&
            row.size() > 2) {
            info.TaxCode = row[2];
        }
        w.Run(kF24SingReads);
        if (info.Outcome.empty() &&
            FindInfoDocInSummary(Progressive(info.SendNumber), info.TaxCode, "", row) &&
            !row.empty()) {
            info.Outcome = row[0];
        }
        std::string description;
        const bool described = FindInfoInSummary(std::string(kDescription.label),
                                                 std::string(kEOL.text), false, description);

        bool ok = w.Write(kF24SingHead);
        ok = WriteProtocolFields(w) && ok;
        ok = w.Write(kF24SingTail) && ok;
        if (!company.empty()) {
            ok = w.Set("Ditta", company) && ok;
        }
        ok = w.Set("Descrizione", std::string()) && ok;
        if (described) {
            ok = w.Set("Descrizione", description) && ok;
        }
        return ok;
    });
}

bool bvTel::WriteFieldsF24EsitoSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsF24EsitoSing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();

        std::string payment = w.Read(kPaymentText);
        if (payment.empty()) {
            payment = w.Read(Form{"con protocollo ", Set("del\r\n"), kAnyText, {}});
        }
        const ProtocolParts parts =
            SplitProtocol(payment, payment.find('/') != std::string::npos ? "/" : "-");
        info.PaymentProtocol = parts.protocol;
        if (parts.split) {
            info.SendNumber = Trim(parts.number);
        }

        const std::string taxCodeText = w.Read(kTaxCodeText);
        const size_t dash = taxCodeText.find('-');
        if (dash == std::string::npos) {
            info.TaxCode = Trim(taxCodeText);
        } else {
            info.TaxCode = Trim(taxCodeText.substr(0, dash));
            info.Company = Trim(taxCodeText.substr(dash + 1));
        }

        std::vector<std::string> row;
        bool rowFound = false;
        if (info.SendNumber.empty() && FindInfoDocInSummary(-1, "", info.PaymentProtocol, row) &&
            row.size() > 1) {
            info.SendNumber = row[1];
        }
        if (FindInfoDocInSummary(Progressive(info.SendNumber), info.TaxCode, "", row) &&
            row.size() > 2) {
            rowFound = true;
            info.TaxCode = row[2];
        }
        w.Run(kF24EsitoSingReads);
        if (info.Outcome.empty() && (rowFound || !info.SendNumber.empty()) &&
            FindInfoDocInSummary(Progressive(info.SendNumber), info.TaxCode, "", row) &&
            !row.empty()) {
            info.Outcome = row[0];
        }
        if (info.SentFile.empty()) {
            FindInfoInSummary("NOME DEL FILE : ", std::string(kWS.text), false, info.SentFile);
        }
        FindInfoInSummary(std::string(kDescription.label), std::string(kEOL.text), false,
                          w.work.description);

        bool ok = w.Write(kF24EsitoSingHead);
        ok = WriteProtocolFields(w) && ok;
        ok = w.Write(kF24EsitoSingTail) && ok;
        return ok;
    });
}

} // namespace quorvin
