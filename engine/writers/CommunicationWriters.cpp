// Single receipts that Entratel acknowledges with one sentence: the document "was
// acquired with protocol P - N", "was presented by" a tax code, and "on" a date the
// information system received it. One table row per writer says which labels it reads.
#include "engine/writers/CommunicationWriters.h"

#include "archive/Convert.h"
#include "archive/Utf8.h"

#include <string>
#include <vector>

namespace quorvin {

namespace writers {

long Progressive(const std::string& sendNumber) {
    return static_cast<long>(ParseInteger(Trim(sendNumber)).value_or(0));
}

void SplitProtocolValue(TelInfo& info, const std::string& value, std::string_view separator,
                        bool strict) {
    const ProtocolParts parts = SplitProtocol(value, separator, true);
    if (strict && !parts.split) {
        Raise(kErrTypeMismatch, "Protocollo non riconosciuto: '" + Trim(value) + "'");
    }
    info.PaymentProtocol = parts.protocol;
    info.SendNumber = parts.number;
}

void CompanyAndOutcomeFromList(FieldWriter& w) {
    TelInfo& info = w.Info();
    std::vector<std::string> row;
    if (w.Tel().FindInfoDocInSummary(Progressive(info.SendNumber), info.TaxCode, "", row) &&
        row.size() > 3) {
        info.Company = row[3];
        info.Outcome = row[0];
    } else {
        info.Company.clear();
        info.Outcome.clear();
    }
}

void DescriptionFromList(FieldWriter& w) {
    w.ReadInto({Summary("TIPO DI DOCUMENTO : ", kEOL)}, w.work.description);
}

// clang-format off
const std::vector<Field>& AcknowledgementFields() {
    static const std::vector<Field> kFields = {
        {"Data_doc",              From(&TelInfo::DocDate)},
        {"Data_Ricevimento",      From(&TelInfo::ReceiptDate)},
        {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
        {"Periodo",               From(&TelInfo::Period)},
        {"Protocollo_attribuito", From(&TelInfo::Protocol)},
        {"Progressivo_Invio",     From(&TelInfo::SendNumber)},
        {"Cod_Fiscale",           From(&TelInfo::TaxCode)},
        {"Descrizione",           From(&Work::description)},
        {"Esito",                 From(&TelInfo::Outcome)},
        {"File",                  From(&TelInfo::SentFile)},
        {"Cod_Tipo_doc_F",        kArchTipoDocCode},
    };
    return kFields;
}

const std::vector<Field>& InvoiceFields() {
    static const std::vector<Field> kFields = {
        {"Data_doc",              From(&TelInfo::ReceiptDate)},
        {"Data_Ricevimento",      From(&TelInfo::ReceiptDate)},
        {"Protocollo_attribuito", From(&TelInfo::Protocol)},
        {"Protocollo_pag",        From(&TelInfo::PaymentProtocol)},
        {"Progressivo_pag",       From(&TelInfo::SendNumber)},
        {"Progressivo_Invio",     From(&TelInfo::SendNumber)},
        {"Descrizione",           From(&Work::description)},
        {"Esito",                 From(&TelInfo::Outcome)},
        {"File",                  From(&TelInfo::SentFile)},
        {"Ora_Doc",               From(&TelInfo::ReceiptTime)},
        {"Trasmesso_Cod",         From(&TelInfo::SenderTaxCode)},
        {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
        {"Periodo",               From(&TelInfo::Period)},
        {"Cod_Tipo_doc_F",        kArchTipoDocCode},
        {"Cod_Fiscale",           From(&TelInfo::TaxCode)},
    };
    return kFields;
}
// clang-format on

namespace {

enum class ListUse {
    None,
    CompanyAndOutcome,     // by progressive number and tax code
    CompanyTaxCodeOutcome, // by progressive number; the list also gives the tax code
};

struct Acknowledgement {
    std::string_view writer;
    Form protocol;           // the protocol value, "protocol - number"
    bool strict;             // a value without " - " stops the writer
    std::vector<Step> reads; // tax code, date, period ... in the order read
    ListUse list;
    bool description; // "TIPO DI DOCUMENTO : " of the list page
    const std::vector<Field>& (*fields)();
};

Form Acquired(std::string_view end) {
    return {"acquisito con protocollo ", Lit(end)};
}
Step PresentedBy(std::string_view label) {
    return {&TelInfo::TaxCode, {{label, Lit(" e trasmessa da"), kTaxCode}}};
}
// The subject's tax code ends the line, or the sentence goes on with the sender.
Step PresentedFor(std::string_view label) {
    return {&TelInfo::TaxCode,
            {{label, Lit("\r\n"), kTaxCode}, {label, Lit(" e trasmessa da"), kTaxCode}}};
}
const Step kReceivedOn = {&TelInfo::ReceiptDate,
                          {{"In data ", Lit(" il sistema informativo"), kDate}}};

// clang-format off
const std::vector<Field>& BlackListFields() {
    static const std::vector<Field> kFields = {
        {"Data_doc",              From(&TelInfo::DocDate)},
        {"Data_Ricevimento",      From(&TelInfo::ReceiptDate)},
        {"Anno",                  From(&TelInfo::Year)},
        {"Periodo",               From(&TelInfo::Period)},
        {"Protocollo_attribuito", From(&TelInfo::Protocol)},
        {"Progressivo_Invio",     From(&TelInfo::SendNumber)},
        {"Cod_Fiscale",           From(&TelInfo::TaxCode)},
        {"Descrizione",           From(&Work::description)},
        {"Esito",                 From(&TelInfo::Outcome)},
        {"File",                  From(&TelInfo::SentFile)},
        {"Cod_Tipo_doc_F",        Const(79)},
    };
    return kFields;
}

const std::vector<Field>& AcknowledgementWithNameFields() {
    static const std::vector<Field> kFields = [] {
        std::vector<Field> fields = AcknowledgementFields();
        fields.push_back({"Ditta", From(&TelInfo::Company)});
        return fields;
    }();
    return kFields;
}

const Acknowledgement k730_4 = {
    "WriteFieldsComunicazione730_4Sing", Acquired(" la comunicazione"), true,
    {PresentedBy("La comunicazione e' stata presentata da "), kReceivedOn},
    ListUse::CompanyAndOutcome, true, AcknowledgementFields};

const Acknowledgement kCredSic = {
    "WriteFieldsCredSicSing", Acquired(" l'istanza"), true,
    {PresentedBy("L'istanza e' stata presentata da "), kReceivedOn},
    ListUse::CompanyAndOutcome, true, AcknowledgementFields};

// The associations' EAS model (123) is a request presented for a body.
const Acknowledgement kRichiestaEnte = {
    "WriteFieldsRichiestaSing", Acquired("la richiesta\r\n"), true,
    {PresentedBy("presentata per l'ente "), kReceivedOn},
    ListUse::CompanyAndOutcome, true, AcknowledgementFields};
const Acknowledgement kRichiesta = {
    "WriteFieldsRichiestaSing", Acquired("la comunicazione\r\n"), true,
    {PresentedBy("presentata per il soggetto "), kReceivedOn},
    ListUse::CompanyAndOutcome, true, AcknowledgementFields};

const Acknowledgement kBlackList = {
    "WriteFieldsBlackListSing", Acquired(" la comunicazione"), true,
    {PresentedBy("presentata da "), kReceivedOn,
     {&TelInfo::Period, {{"Periodo riferimento: ", kEOL}}},
     {&TelInfo::Year,   {{"Anno ", Set(" "), kAnyText, "Periodo riferimento: "}}}},
    ListUse::CompanyAndOutcome, false, BlackListFields};

const Acknowledgement kAccCredImp = {
    "WriteFieldsAccCredImpSing",
    {"attribuito protocollo telematico\r\n", Lit(", notificato")}, false,
    {PresentedBy("presentata da "),
     {&TelInfo::ReceiptDate, {{"in data ", Lit(", a cui"), kDate}}}},
    ListUse::CompanyAndOutcome, true, AcknowledgementWithNameFields};

const Acknowledgement kIRAPRimb = {
    "WriteFieldsIRAPRimbSing", Acquired(" l'istanza"), false,
    {PresentedFor("presentata per il soggetto ")},
    ListUse::CompanyAndOutcome, true, InvoiceFields};

const Acknowledgement kRiqEnerg = {
    "WriteFieldsRiqEnergSing", Acquired("la comunicazione"), false,
    {PresentedFor("presentata per il soggetto "),
     {&TelInfo::Period, {{"Periodo di riferimento: anno ", Lit("\r\n"), kNumeric}}}},
    ListUse::CompanyAndOutcome, true, InvoiceFields};

const Acknowledgement kINPGI = {
    "WriteFieldsComunicazioneINPGISing", Acquired("una \"denuncia mensile INPGI\"."), false,
    {{&TelInfo::Period,      {{"Periodo di denuncia: ", kEOL}}},
     {&TelInfo::TaxCode,     {{"Codice fiscale: ", Lit("\r\n"), kTaxCode}}},
     {&TelInfo::ReceiptDate, {{"In data ", Lit(" alle ore "), kDate}}}},
    ListUse::CompanyAndOutcome, true, AcknowledgementFields};

const Acknowledgement kFornDocFisc = {
    "WriteFieldsComunicazioneFornDocFisc", {"il numero progressivo ", Lit("\r\n")}, false,
    {{&TelInfo::ReceiptDate, {{"in data ", Lit(" la fornitura"), kDate}}}},
    ListUse::CompanyTaxCodeOutcome, false, AcknowledgementFields};
// clang-format on

bool WriteAcknowledgement(bvTel& tel, const Acknowledgement& a, const std::string& text) {
    return RunWriter(tel, a.writer, [&] {
        FieldWriter w(tel, text);
        TelInfo& info = w.Info();
        SplitProtocolValue(info, w.Read(a.protocol), " - ", a.strict);
        w.Run(a.reads);
        switch (a.list) {
        case ListUse::None:
            break;
        case ListUse::CompanyAndOutcome:
            CompanyAndOutcomeFromList(w);
            break;
        case ListUse::CompanyTaxCodeOutcome: {
            std::vector<std::string> row;
            if (tel.FindInfoDocInSummary(Progressive(info.SendNumber), "", "", row) &&
                row.size() > 3) {
                info.Company = row[3];
                info.TaxCode = row[2];
                info.Outcome = row[0];
            }
            break;
        }
        }
        if (a.description) {
            DescriptionFromList(w);
        }
        return w.Write(a.fields());
    });
}

} // namespace

} // namespace writers

using namespace writers;

bool bvTel::WriteFieldsComunicazione730_4Sing(const std::string& text) {
    return WriteAcknowledgement(*this, k730_4, text);
}

bool bvTel::WriteFieldsCredSicSing(const std::string& text) {
    return WriteAcknowledgement(*this, kCredSic, text);
}

bool bvTel::WriteFieldsRichiestaSing(const std::string& text) {
    return WriteAcknowledgement(*this, m_nArchTipoDoc == 123 ? kRichiestaEnte : kRichiesta, text);
}

bool bvTel::WriteFieldsBlackListSing(const std::string& text) {
    return WriteAcknowledgement(*this, kBlackList, text);
}

bool bvTel::WriteFieldsAccCredImpSing(const std::string& text) {
    return WriteAcknowledgement(*this, kAccCredImp, text);
}

bool bvTel::WriteFieldsIRAPRimbSing(const std::string& text) {
    return WriteAcknowledgement(*this, kIRAPRimb, text);
}

bool bvTel::WriteFieldsRiqEnergSing(const std::string& text) {
    return WriteAcknowledgement(*this, kRiqEnerg, text);
}

bool bvTel::WriteFieldsComunicazioneINPGISing(const std::string& text) {
    return WriteAcknowledgement(*this, kINPGI, text);
}

bool bvTel::WriteFieldsComunicazioneFornDocFisc(const std::string& text) {
    return WriteAcknowledgement(*this, kFornDocFisc, text);
}

} // namespace quorvin
