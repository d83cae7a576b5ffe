// Single receipts of communications and requests that print their data their own way:
// VAT activity certificates, customers and suppliers lists, annulments, questionnaires,
// quarterly VAT refunds, intermediaries' invoices, the register of relationships and the
// multi-purpose communications.
#include "archive/Convert.h"
#include "archive/DorvaneRecordset.h"
#include "archive/DorvaneText.h"
#include "archive/Utf8.h"
#include "engine/writers/CommunicationWriters.h"

#include <string>
#include <vector>

namespace quorvin {

namespace writers {

namespace {

// clang-format off
const std::vector<Step> kCompensiReads = {
    {&TelInfo::PaymentProtocol, {{"ricevuto con protocollo ", Set(" ")}}},
    {&TelInfo::Company,         {{"Intestatario: ", kEOL}}},
    {&TelInfo::TaxCode,         {{"Codice fiscale del soggetto obbligato: ", Set(" \r\n")}}},
    {&TelInfo::Period,          {{"Anno di riferimento della fornitura : ", kEOL, kNumeric}}},
    {&TelInfo::Outcome,         {{"Il documento e’ stato ", Set(". ")},
                                 {"Il documento e' stato ", Set(". ")}}},
};

// Certificates print the tax code after the VAT number, or the owner's on its own line.
const std::vector<Step> kIvaAttivitaReads = {
    {&TelInfo::TaxCode,   {{"C.F.: ", kWS, kTaxCode, "P.IVA:"},
                           {"CODICE FISCALE TITOLARE: ", kEOL, kTaxCode, "P.IVA:"},
                           {"CODICE FISCALE: ", kEOL, kTaxCode}}},
    {&TelInfo::VatNumber, {{"P.IVA: ", kWS, kTaxCode}}},
    {&TelInfo::Company,   {{"DENOMINAZIONE: ", kEOL}}},
};
const std::vector<Field> kIvaAttivitaFields = {
    {"Data_doc",       From(&TelInfo::ReceiptDate)},
    {"Anno",           YearOf(&TelInfo::ReceiptDate)},
    {"Descrizione",    From(&Work::description)},
    {"Cod_Fiscale",    From(&TelInfo::TaxCode)},
    {"Ditta",          From(&TelInfo::Company)},
    {"Cod_Tipo_doc_F", kArchTipoDocCode},
};

const std::vector<Step> kElencoCFReads = {
    {&TelInfo::TaxCode, {{"Codice fiscale : ", Set(" -\r\n"), kTaxCode}}},
    {&TelInfo::Company, {{"Cognome e nome : ", kEOL}, {"Denominazione : ", kEOL}}},
};
const std::vector<Field> kElencoCFFields = {
    {"Data_doc",       From(&TelInfo::ReceiptDate)},
    {"Anno",           YearOf(&TelInfo::ReceiptDate)},
    {"Cod_Fiscale",    From(&TelInfo::TaxCode)},
    {"Cod_Tipo_doc_F", Const(171)},
};

const std::vector<Step> kStudiSettReads = {
    {&TelInfo::Year,    {{"MODELLO: QUESTIONARI ", Set(" ")}}},
    {&TelInfo::TaxCode, {{"Codice fiscale : ", kWS, kTaxCode}}},
    {&TelInfo::Company, {{"cognome e nome : ", kEOL, kAnyText, "DATI DEL CONTRIBUENTE"},
                         {"Denominazione : ", kEOL, kAnyText, "DATI DEL CONTRIBUENTE"}}},
};
const std::vector<Field> kStudiSettFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  From(&TelInfo::Year)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Protocollo_attribuito", From(&TelInfo::Protocol)},
    {"Progressivo_Invio",     From(&TelInfo::SendNumber)},
    {"Cod_Fiscale",           From(&TelInfo::TaxCode)},
    {"Cod_Tipo_doc_F",        Const(149)},
};

const std::vector<Step> kIvaTrRimbReads = {
    {&TelInfo::Company,   {{"DATI DEL CONTRIBUENTE DENOMINAZIONE : ", kEOL}}},
    {&TelInfo::TaxCode,   {{"CODICE FISCALE : ", kEOL, kTaxCode}}},
    {&TelInfo::VatNumber, {{"PARTITA IVA : ", kEOL, kTaxCode}}},
    {&TelInfo::DocDate,   {{"\r\nLi, ", kEOL, kDate}}},
    {&TelInfo::Period,    {{"RELATIVO AL ", kEOL}}},
};
const std::vector<Field> kIvaTrRimbFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Data_Ricevimento",      From(&TelInfo::DocDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Periodo",               From(&TelInfo::Period)},
    {"Protocollo_attribuito", From(&TelInfo::Protocol)},
    {"Progressivo_Invio",     From(&TelInfo::SendNumber)},
    {"Cod_Fiscale",           From(&TelInfo::TaxCode)},
    {"Descrizione",           From(&Work::description)},
    {"Esito",                 From(&TelInfo::Outcome)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Tipo_doc_F",        Const(185)},
};

const std::vector<Field> kAnaRappFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Protocollo_attribuito", From(&TelInfo::Protocol)},
    {"Progressivo_Invio",     From(&TelInfo::SendNumber)},
    {"Esito",                 From(&TelInfo::Outcome)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Periodo",               From(&TelInfo::Period)},
    {"Cod_Tipo_doc_F",        Const(191)},
    {"Cod_Fiscale",           From(&TelInfo::TaxCode)},
    {"Descrizione",           From(&Work::description)},
};

// Annulments: declarations (153) carry the date of receipt, F24 payments the progressive.
const std::vector<Field> kAnnullamentoHead = {
    {"Data_doc", From(&TelInfo::ReceiptDate)},
};
const std::vector<Field> kAnnullamentoReceived = {
    {"Data_Ricevimento", From(&TelInfo::DocDate)},
};
const std::vector<Field> kAnnullamentoProtocol = {
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Protocollo_attribuito", From(&TelInfo::Protocol)},
};
const std::vector<Field> kAnnullamentoPayment = {
    {"Progressivo_Pag", From(&TelInfo::SendNumber)},
};
const std::vector<Field> kAnnullamentoTail = {
    {"Esito",             From(&TelInfo::Outcome)},
    {"File",              From(&TelInfo::SentFile)},
    {"Trasmesso_cod",     From(&TelInfo::SenderTaxCode)},
    {"Progressivo_Invio", From(&TelInfo::SendNumber)},
    {"Cod_Fiscale",       From(&TelInfo::TaxCode)},
    {"Cod_Tipo_doc_F",    kArchTipoDocCode},
};

const std::vector<Step> kComPoliCodes = {
    {&TelInfo::TaxCode,   {{"Codice fiscale : ", Lit(" - Partita iva"), kTaxCode}}},
    {&TelInfo::VatNumber, {{"- Partita iva : ", kEOL, kTaxCode}}},
};
// Assets used by members name the taxpayer alone.
const std::vector<Step> kComPoliCodes389 = {
    {&TelInfo::TaxCode, {{"Codice fiscale : ", kEOL, kTaxCode}}},
};
const std::vector<Step> kComPoliReads = {
    {&TelInfo::DocDate, {{"\r\nLi, ", kEOL, kDate}}},
    {&TelInfo::Company, {{"Denominazione : ", kEOL}, {"Cognome e nome : ", kEOL}}},
};
const std::vector<Field> kComPoliFields = {
    {"Data_doc",              From(&TelInfo::DocDate)},
    {"Data_Ricevimento",      From(&TelInfo::ReceiptDate)},
    {"Anno",                  From(&TelInfo::Year)},
    {"Ditta",                 From(&TelInfo::Company)},
    {"Protocollo_attribuito", From(&TelInfo::Protocol)},
    {"Progressivo_Invio",     From(&TelInfo::SendNumber)},
    {"Cod_Fiscale",           From(&TelInfo::TaxCode)},
    {"Descrizione",           From(&Work::description)},
    {"Esito",                 From(&TelInfo::Outcome)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Cod_Tipo_doc_F",        kArchTipoDocCode},
};

// Multi-purpose communications of these codes are described by what they are, whatever
// the list says.
struct FixedDescription {
    long archTipoDoc;
    const char* description;
};
constexpr FixedDescription kComPoliDescriptions[] = {
    {317, "Comunicazione polivalente Black List"},
    {319, "Comunicazione polivalente San Marino"},
};
// clang-format on

// Outcome from the document's row in the list, looked up by its progressive number.
void OutcomeFromList(FieldWriter& w) {
    TelInfo& info = w.Info();
    std::vector<std::string> row;
    if (w.Tel().FindInfoDocInSummary(Progressive(info.SendNumber), info.TaxCode, "", row) &&
        !row.empty()) {
        info.Outcome = row[0];
    } else {
        info.Outcome.clear();
    }
}

} // namespace

} // namespace writers

using namespace writers;

bool bvTel::WriteFieldsCompensiSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsCompensiSing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();
        w.Run(kCompensiReads);
        // The detail prints "protocol-number": the number is the document's progressive.
        SplitProtocolValue(info, info.PaymentProtocol, "-", false);
        std::vector<std::string> row;
        if (!info.SendNumber.empty() &&
            FindInfoDocInSummary(Progressive(info.SendNumber), info.TaxCode, "", row) &&
            row.size() > 3) {
            if (info.Company.empty()) {
                info.Company = row[3];
            }
            if (info.Outcome.empty()) {
                info.Outcome = row[0];
            }
        }
        DescriptionFromList(w);
        return w.Write(InvoiceFields());
    });
}

bool bvTel::WriteFieldsAnaRappSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsAnaRappSing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();
        info.PaymentProtocol = w.Read(Form{"acquisito con protocollo ", Set(" ")});
        info.TaxCode = Trim(w.Read(Form{"presentata da: ", Lit("La comunicazione")}));
        // The progressive number follows the protocol just read: "P - N".
        info.SendNumber = info.PaymentProtocol.empty()
                              ? std::string()
                              : w.Read(Form{info.PaymentProtocol + " - ", kWS});
        info.Period = Trim(w.Read(Form{"riferita al periodo ", Set("contiene:")}));
        OutcomeFromList(w);
        DescriptionFromList(w);
        return w.Write(kAnaRappFields);
    });
}

bool bvTel::WriteFieldsIvaAttivitaSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsIvaAttivitaSing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();
        w.Run(kIvaAttivitaReads);
        const std::string certificate = w.Read(Form{"CERTIFICATO ", kEOL});
        w.work.description = certificate.empty() ? std::string() : "CERTIFICATO " + certificate;
        bool ok = w.Write(kIvaAttivitaFields);
        ok = w.Set("Note", text) && ok;
        if (CurrentRecord().HasField("File")) {
            ok = w.Set("File", info.SentFile) && ok;
        }
        return ok;
    });
}

bool bvTel::WriteFieldsElencoCFSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsElencoCFSing", [&] {
        FieldWriter w(*this, text);
        w.Run(kElencoCFReads);
        return w.Write(kElencoCFFields);
    });
}

bool bvTel::WriteFieldsAnnullamentoSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsAnnullamentoSing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();
        info.TaxCode =
            w.Read({{"Contribuente: ", kEOL, kTaxCode}, {"Codice Fiscale: ", kEOL, kTaxCode}});
        // F24 annulments print "protocol-number" on the line after "con protocollo";
        // declarations "Protocollo: P prog. N".
        const std::string value = w.Read(Form{"con protocollo\r\n", kWS});
        if (!value.empty()) {
            SplitProtocolValue(info, value, "-", false);
        } else {
            info.PaymentProtocol = w.Read(Form{"Protocollo: ", Lit(" prog. ")});
            info.SendNumber.clear();
        }
        if (info.SendNumber.empty() && !info.PaymentProtocol.empty()) {
            info.SendNumber = w.Read(Form{info.PaymentProtocol + " prog. ", Set(" \r\n")});
        }
        const bool declarations = m_nArchTipoDoc == 153;
        if (!declarations) {
            OutcomeFromList(w);
        }
        bool ok = w.Write(kAnnullamentoHead);
        if (declarations) {
            ok = w.Write(kAnnullamentoReceived) && ok;
        }
        ok = w.Write(kAnnullamentoProtocol) && ok;
        if (!declarations) {
            ok = w.Write(kAnnullamentoPayment) && ok;
        }
        return w.Write(kAnnullamentoTail) && ok;
    });
}

bool bvTel::WriteFieldsStudiSettSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsStudiSettSing", [&] {
        FieldWriter w(*this, text);
        SplitProtocolValue(w.Info(), w.Read(Form{"QUESTIONARIO PROTOCOLLO N. ", kEOL}), " -",
                           false);
        w.Run(kStudiSettReads);
        return w.Write(kStudiSettFields);
    });
}

bool bvTel::WriteFieldsIvaTrRimbSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsIvaTrRimbSing", [&] {
        FieldWriter w(*this, text);
        SplitProtocolValue(w.Info(), w.Read(Form{"ACQUISITO CON PROTOCOLLO ", Lit(" IL MODELLO")}),
                           " - ", false);
        w.Run(kIvaTrRimbReads);
        // The model names its taxpayer: the list adds what the page does not say.
        std::vector<std::string> row;
        if (FindInfoDocInSummary(Progressive(w.Info().SendNumber), w.Info().TaxCode, "", row) &&
            row.size() > 3) {
            if (w.Info().Company.empty()) {
                w.Info().Company = row[3];
            }
            w.Info().Outcome = row[0];
        }
        DescriptionFromList(w);
        return w.Write(kIvaTrRimbFields);
    });
}

bool bvTel::WriteFieldsComPoliSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsComPoliSing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();
        w.Run(m_nArchTipoDoc == 389 ? kComPoliCodes389 : kComPoliCodes);
        w.Run(kComPoliReads);
        SplitProtocolValue(info, w.Read(Form{"La comunicazione con protocollo ", kEOL}), " - ",
                           false);
        // The row of the list is the one of this progressive number and tax code.
        std::vector<std::string> row;
        if (FindInfoDocInSummary(0, info.TaxCode, info.SendNumber, row) && !row.empty()) {
            info.Outcome = row[0];
        } else {
            info.Outcome.clear();
        }
        w.work.description.clear();
        bool fixed = false;
        for (const auto& entry : kComPoliDescriptions) {
            if (entry.archTipoDoc == m_nArchTipoDoc) {
                w.work.description = entry.description;
                fixed = true;
            }
        }
        if (!fixed) {
            DescriptionFromList(w);
        }
        std::string year = w.Read(Form{"Anno di riferimento: ", kEOL, kNumeric});
        if (year.empty()) {
            year = DorvaneText::Token(Trim(w.Read(Form{"Anno di riferimento: ", Lit(" Formato")})),
                                      1, "", " ");
        }
        info.Year = year;
        return w.Write(kComPoliFields);
    });
}

} // namespace quorvin
