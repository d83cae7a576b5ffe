// Single declaration receipts: one declaration of a transmitted file (770, UNICO, VAT,
// IRAP, consolidated, 730, Intrastat, intent, single certification, transparency), and
// the 730 printed by the assistance centres.
//
// Both writers run twice per page: first with writing off, so that the page walk can
// read the document's key from TelInfo, then with writing on into the record being
// stored.
#include "archive/Convert.h"
#include "archive/DorvaneText.h"
#include "archive/Utf8.h"
#include "engine/writers/WriterSupport.h"

#include <string>
#include <vector>

namespace quorvin {

namespace writers {

namespace {

// ---- Protocol and progressive number ----

struct ProtocolRow {
    std::vector<long> archTipoDocs; // empty: every other type
    std::vector<Form> forms;        // tried in order until one gives a value
};

// clang-format off
const std::vector<ProtocolRow> kProtocolRows = {
    {{131, 133}, {{"Protocollo del pagamento : ", kEOL}}},
    {{},         {{"attribuito il protocollo ", kEOL},
                  {"Numero di protocollo/CIN : ", kEOL},
                  {"COMUNICAZIONE PROTOCOLLO N. ", Set("p")},
                  {"con protocollo ", Lit(" la dichiarazione")},
                  {"DICHIARAZIONE PROTOCOLLO N. ", Set("p")},
                  {"DICHIARAZIONE SCARTATA - PROTOCOLLO INVIO N. ", kEOL},
                  {"COMUNICAZIONE SCARTATA - PROTOCOLLO INVIO N. ", kEOL}}},
};
// clang-format on

const std::vector<Form>& ProtocolForms(long archTipoDoc) {
    for (const auto& row : kProtocolRows) {
        for (const long code : row.archTipoDocs) {
            if (code == archTipoDoc) {
                return row.forms;
            }
        }
    }
    return kProtocolRows.back().forms;
}

// ---- Name, year and period, by ArchTipoDoc ----

enum class YearFrom {
    Receipt, // the year of ReceiptDate
    Number,  // the first word read, a number
    Widened, // a number, two digits widened
    Date,    // the year of the date read
};

enum class PeriodOf {
    Year,      // 01/01 to 31/12 of the year written
    Intent,    // the operations' dates
    Intrastat, // month or quarter of the periodicity
};

struct IntrastatForms {
    Form periodicity;
    Form month;
};

struct NameYearRow {
    std::vector<long> archTipoDocs;
    YearFrom yearFrom;
    std::vector<Form> year;
    std::vector<Form> name;       // the first that gives a value
    std::vector<Form> nameJoined; // appended to the name with a blank
    std::vector<Form> nameElse;   // when still no name
    PeriodOf period = PeriodOf::Year;
    std::vector<Step> extra{};           // further members read by the row
    std::vector<IntrastatForms> intra{}; // PeriodOf::Intrastat
};

// "Cognome e nome : " or "Denominazione : " after each heading, in order.
std::vector<Form> NamesAfter(std::initializer_list<std::string_view> headings) {
    std::vector<Form> forms;
    for (const auto heading : headings) {
        forms.push_back({"Cognome e nome : ", kEOL, kAnyText, heading});
        forms.push_back({"Denominazione : ", kEOL, kAnyText, heading});
    }
    return forms;
}

const std::vector<Form> kNoForms = {};

// clang-format off
const std::vector<NameYearRow> kNameYearRows = {
    {{94}, YearFrom::Widened, {{"Anno di riferimento: ", Set(" Periodicita':"), kNumeric}},
     {{"Soggetto Obbligato: ", kEOL}}, kNoForms, kNoForms, PeriodOf::Intrastat, {},
     {{{" Periodicita': ", kEOL}, {"Mese/Trimestre: ", Lit(" Tipo Riepilogo:"), kNumeric}}}},
    {{96}, YearFrom::Widened, {{"Anno di riferimento : ", kEOL, kNumeric}},
     {{"Dati del soggetto obbligato (AT) : ", kEOL}}, kNoForms, kNoForms, PeriodOf::Intrastat,
     {{&TelInfo::SentFile, {{"Nome del file : ", kEOL}}},
      {&TelInfo::Outcome,  {{"Esito dei controlli sostanziali : ", kEOL}}}},
     {{{"Periodicità : ", kEOL}, {"Mese o trimestre di riferimento : ", kEOL, kNumeric}}}},
    {{135, 141}, YearFrom::Receipt, {},
     NamesAfter({"DATI DEL CONTRIBUENTE"}), kNoForms, kNoForms},
    {{137, 139}, YearFrom::Receipt, {},
     NamesAfter({"DATI DEL SOSTITUTO"}), kNoForms, kNoForms},
    {{143}, YearFrom::Receipt, {},
     [] {
         auto forms = NamesAfter({"DATI DELLA SOCIETA’", "DATI DELLA SOCIETA'"});
         forms.push_back({"Denominazione : ", kEOL, kAnyText, "SOCIETA' O ASSOCIAZIONE"});
         return forms;
     }(), kNoForms, kNoForms},
    {{145, 147}, YearFrom::Receipt, {},
     [] {
         auto forms = NamesAfter({"DATI DELLA SOCIETA’ O ENTE", "DATI DELLA SOCIETA' O ENTE"});
         forms.push_back({"Denominazione : ", kEOL, kAnyText, "SOCIETA' O ENTE"});
         return forms;
     }(), kNoForms, kNoForms},
    {{151}, YearFrom::Number, {{"MODELLO DI DICHIARAZIONE IVA ", kEOL}},
     NamesAfter({"DATI DEL CONTRIBUENTE"}), kNoForms, kNoForms},
    {{155}, YearFrom::Date, {{"presentata il ", kEOL, kDate}},
     NamesAfter({"DATI DELLA SOCIETA’", "DATI DELLA SOCIETA'"}), kNoForms, kNoForms},
    {{157}, YearFrom::Number,
     {{"Anno: ", Set(" "), kNumeric, "PERIODO DI RIFERIMENTO"},
      {"Anno di effettuazione delle operazioni: ", Lit("\r\n"), kNumeric}},
     NamesAfter({"DATI DEL SOGGETTO TENUTO"}), kNoForms, kNoForms, PeriodOf::Intent,
     {{&TelInfo::PeriodFrom, {{"operazioni da ", Lit(" a "), kDate, "effettuare:"}}},
      {&TelInfo::PeriodTo,   {{" a ", kEOL, kDate, "effettuare:"}}}}},
    {{169}, YearFrom::Number, {{"MODELLO DI DICHIARAZIONE IRAP ", kEOL}},
     {{"Denominazione : ", kEOL, kAnyText, "DATI DEL CONTRIBUENTE"},
      {"Cognome e nome : ", kEOL, kAnyText, "DATI DEL CONTRIBUENTE"}}, kNoForms, kNoForms},
    {{187}, YearFrom::Receipt, {},
     {{"Cognome e nome : ", kEOL, kAnyText, "DATI DEL DICHIARANTE"}}, kNoForms, kNoForms},
    {{189}, YearFrom::Number,
     {{"MODELLO DI DICHIARAZIONE Consolidato nazionale e mondiale ", kEOL}},
     {{"Denominazione : ", kEOL, kAnyText, "DATI DELLA SOCIETA’"},
      {"Denominazione : ", kEOL, kAnyText, "DATI DELLA SOCIETA'"}},
     {{"O ENTE CONSOLIDANTE ", Lit("Codice fiscale")}}, kNoForms},
    // The employer's name runs on beside the next heading; the employee's name serves
    // when no employer is printed.
    {{382}, YearFrom::Number, {{"MODELLO DI COMUNICAZIONE CERTIFICAZIONE UNICA ", kEOL}},
     {{"AL DATORE DI LAVORO, Denominazione : ", Lit("ENTE PENSIONISTICO")},
      {"AL DATORE DI LAVORO, Cognome e nome : ", Lit("ENTE PENSIONISTICO")}},
     {{"ENTE PENSIONISTICO ", kEOL, kAnyText, "AL DATORE DI LAVORO,"}},
     {{"Cognome e nome : ", kEOL, kAnyText, "AL DIPENDENTE,"}}},
};
// clang-format on

const NameYearRow* NameYearRowFor(long archTipoDoc) {
    for (const auto& row : kNameYearRows) {
        for (const long code : row.archTipoDocs) {
            if (code == archTipoDoc) {
                return &row;
            }
        }
    }
    return nullptr;
}

// ---- The fields written ----

// clang-format off
const std::vector<Field> kDichiarazioniSingFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  From(&TelInfo::Year)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Protocollo_attribuito", From(&TelInfo::Protocol)},
    {"Progressivo_Invio",     From(&TelInfo::SendNumber)},
    {"Data_Ricevimento",      From(&TelInfo::DocDate)},
    {"Cod_Fiscale",           From(&TelInfo::TaxCode)},
    {"Cod_Tipo_doc_F",        kArchTipoDocCode},
    {"Dal",                   From(&TelInfo::PeriodFrom)},
    {"Al",                    From(&TelInfo::PeriodTo)},
    {"Periodo",               From(&TelInfo::Period)},
};

const std::vector<Field> k730SingFields = {
    {"Data_doc",              From(&TelInfo::ReceiptDate)},
    {"Anno",                  From(&TelInfo::Year)},
    {"File",                  From(&TelInfo::SentFile)},
    {"Protocollo_attribuito", From(&TelInfo::Protocol)},
    {"Progressivo_Invio",     From(&TelInfo::SendNumber)},
    {"Data_Ricevimento",      From(&TelInfo::DocDate), kIfNonEmpty},
    {"Cod_Fiscale",           From(&TelInfo::TaxCode)},
    {"Cod_Tipo_doc_F",        kArchTipoDocCode},
    {"Dal",                   From(&TelInfo::PeriodFrom)},
    {"Al",                    From(&TelInfo::PeriodTo)},
    {"Periodo",               From(&TelInfo::Period)},
};

const std::vector<Form> kPeriodForms = {
    {"Periodo di imposta: ", kEOL},
    {"Periodo di imposta ", kEOL},
    {"PERIODO DI RIFERIMENTO ", kEOL},
};

// The document type runs over lines up to the line that opens with DOCUMENTI ACQUISITI;
// without a list, the model line of the page says what was sent.
const std::vector<Form> kDocumentTypeForms = {
    Summary("TIPO DI DOCUMENTO : ", Lit("\r\nDOCUMENTI ACQUISITI")),
    Summary("TIPO DI DOCUMENTO: ", Lit("\r\nDOCUMENTI ACQUISITI")),
};
const Form kModelOnPage{"MODELLO DI DICHIARAZIONE ", kEOL};
// clang-format on

const Form kTaxCodeForm{"Codice fiscale : ", kWS, kTaxCode};
const Form kVatNumberForm{"Partita IVA : ", kWS, kTaxCode};

// The list's progressive number of a document; -1 (any row) when it printed none.
long Progressive(const std::string& sendNumber) {
    const auto n = ParseInteger(Trim(sendNumber));
    return n ? static_cast<long>(*n) : -1;
}

// The year as the rows give it; a year the text does not give is the receipt's.
std::string ReadYear(FieldWriter& w, const NameYearRow* row) {
    TelInfo& info = w.Info();
    std::string year;
    if (row != nullptr && !row->year.empty()) {
        const std::string value = w.Read(row->year);
        switch (row->yearFrom) {
        case YearFrom::Number: {
            const std::string word = DorvaneText::Token(Trim(value), 1, "", " ");
            if (ParseInteger(word)) {
                year = word;
            }
            break;
        }
        case YearFrom::Widened:
            if (ParseInteger(Trim(value))) {
                year = WidenYearText(Trim(value));
            }
            break;
        case YearFrom::Date:
            if (!Trim(value).empty()) {
                year = std::to_string(YearOfDate(Trim(value)));
            }
            break;
        case YearFrom::Receipt:
            break;
        }
    }
    if (year.empty()) {
        year = std::to_string(YearOfDate(info.ReceiptDate));
    }
    return year;
}

// The name; a page that prints none (a declaration's later page) keeps the one read.
void ReadName(FieldWriter& w, const NameYearRow& row) {
    std::string name = Trim(w.Read(row.name));
    if (!name.empty() && !row.nameJoined.empty()) {
        // The continuation is the rest of one printed line.
        const std::string more = Trim(DorvaneText::Token(w.Read(row.nameJoined), 1, "", "\r\n"));
        if (!more.empty()) {
            name += " " + more;
        }
    }
    if (name.empty()) {
        name = Trim(w.Read(row.nameElse));
    }
    if (!name.empty()) {
        w.Info().Company = name;
    }
}

// Intrastat lists: "MENSILE" gives a month, "TRIMESTRALE" a quarter of the year.
void ReadIntrastatPeriod(FieldWriter& w, const IntrastatForms& forms) {
    TelInfo& info = w.Info();
    const std::string periodicity = Upper(Trim(w.Read(forms.periodicity)));
    const auto number = ParseInteger(Trim(w.Read(forms.month)));
    if (!number) {
        return;
    }
    const long n = static_cast<long>(*number);
    Period period;
    if (periodicity == "MENSILE") {
        info.Period = info.Year + "/" + std::to_string(n);
        period = MonthPeriod(n, info.Year);
    } else if (periodicity == "TRIMESTRALE") {
        info.Period = info.Year + " Trim. " + std::to_string(n);
        period = QuarterPeriod(n, info.Year);
    } else {
        return;
    }
    info.PeriodFrom = period.from;
    info.PeriodTo = period.to;
}

void ReadNameYearPeriod(FieldWriter& w) {
    TelInfo& info = w.Info();
    const NameYearRow* row = NameYearRowFor(w.Tel().ArchTipoDoc());
    info.Year = ReadYear(w, row);
    if (row != nullptr) {
        ReadName(w, *row);
        w.Run(row->extra);
    }
    const PeriodOf period = row != nullptr ? row->period : PeriodOf::Year;
    if (period == PeriodOf::Year) {
        const Period year = YearPeriod(info.Year);
        info.PeriodFrom = year.from;
        info.PeriodTo = year.to;
    } else if (period == PeriodOf::Intrastat) {
        for (const auto& forms : row->intra) {
            ReadIntrastatPeriod(w, forms);
        }
    }
}

// The description of a declaration: what the list says was sent.
std::string Description(FieldWriter& w) {
    bvTel& tel = w.Tel();
    std::string description;
    if (tel.DocType() == 95) {
        // A receipt that names no kind of list is described without the dash.
        const std::string kind = Trim(w.Read(Form{"Tipo di riepilogo : ", kEOL}));
        description =
            kind.empty() ? "Dichiarazioni Intrastat" : "Dichiarazioni Intrastat - " + kind;
    } else if (tel.DocType() == 381) {
        description = w.Read(Summary("MODELLO DI COMUNICAZIONE ", kEOL));
        if (description.empty()) {
            description = w.Read(Form{"MODELLO DI COMUNICAZIONE ", kEOL});
        }
    } else {
        description = Trim(DorvaneText::Replace(w.Read(kDocumentTypeForms), "\r\n", " "));
        if (description.empty()) {
            description = Trim(w.Read(kModelOnPage));
        }
    }
    return description;
}

// Dal and Al are the two halves of a period printed "from - to".
bool WritePeriodHalves(FieldWriter& w) {
    const ProtocolParts halves = SplitProtocol(w.Info().Period, " - ", true);
    if (!halves.split) {
        return true;
    }
    const bool ok = w.Set("Dal", halves.protocol);
    return w.Set("Al", halves.number) && ok;
}

std::string OutcomeFromText(const std::string& text) {
    if (text.find("DICHIARAZIONE PROTOCOLLO N.") != std::string::npos) {
        return "acquisito";
    }
    if (text.find("DICHIARAZIONE SCARTATA - PROTOCOLLO INVIO N.") != std::string::npos) {
        return "scartato";
    }
    return {};
}

const std::string k730Heading = "Comunicazione di avvenuto ricevimento prodotta il\r\n730 ";
const std::string kLineEnd = "\r\n";

} // namespace

} // namespace writers

using namespace writers;

bool bvTel::WriteFieldsDichiarazioniSing(const std::string& text, bool write, bool supplementary) {
    return RunWriter(*this, "WriteFieldsDichiarazioniSing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();

        // Protocol "P - N" ("P-N" for Intrastat): the number finds the list row.
        const std::string value = w.Read(ProtocolForms(m_nArchTipoDoc));
        const ProtocolParts parts = SplitProtocol(value, m_nArchTipoDoc == 96 ? "-" : " - ", true);
        info.PaymentProtocol = parts.protocol;
        info.SendNumber = parts.number;
        const bool intent1 = m_nArchTipoDoc == 157 && m_nIntentVariant == 1;
        std::vector<std::string> row;
        const bool listed =
            FindInfoDocInSummary(Progressive(info.SendNumber), info.TaxCode, "", row) &&
            row.size() > 2;

        if (listed && m_nArchTipoDoc != 96) {
            info.Outcome = row[0];
        } else if (!listed) {
            if (const std::string outcome = OutcomeFromText(text); !outcome.empty()) {
                info.Outcome = outcome;
            }
        }

        if (m_nArchTipoDoc == 157) {
            if (intent1) {
                info.TaxCode = Trim(w.Read(Form{"presentata da ", Lit(" , partita IVA")}));
                info.VatNumber = Trim(w.Read(Form{", partita IVA ", kEOL}));
            } else {
                info.TaxCode = w.Read(kTaxCodeForm);
                info.VatNumber = w.Read(kVatNumberForm);
            }
        } else if (m_nArchTipoDoc != 96) {
            if (info.TaxCode.empty()) {
                info.TaxCode = w.Read(kTaxCodeForm);
                if (info.TaxCode.empty() && listed) {
                    info.TaxCode = row[2];
                }
            }
            if (info.VatNumber.empty()) {
                info.VatNumber = w.Read(kVatNumberForm);
            }
        }
        if (info.Period.empty()) {
            info.Period = Trim(w.Read(kPeriodForms));
        }
        ReadNameYearPeriod(w);
        if (!write) {
            return true;
        }

        std::string description = Description(w);
        if (supplementary) {
            description += " integrativa";
        }
        bool ok = w.Write(kDichiarazioniSingFields);
        ok = WritePeriodHalves(w) && ok;
        ok = w.Set("Descrizione", description) && ok;
        return w.Set("Esito", info.Outcome) && ok;
    });
}

std::string bvTel::Line730(const std::string& text) const {
    std::string year = m_nYear730 >= 0 ? std::to_string(m_nYear730) : std::string();
    if (year.empty()) {
        year = GetLabelValue(text, k730Heading, kLineEnd, "", kAnyText, false, false);
    }
    return GetLabelValue(text, k730Heading + year + "\r\n", kLineEnd, "", kAnyText, false, false);
}

bool bvTel::WriteFields730FieldsSing(const std::string& text, bool write, bool supplementary) {
    return RunWriter(*this, "WriteFields730FieldsSing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();

        const std::string line = Line730(text);
        const ProtocolParts parts = SplitProtocol(line, " - ");
        info.PaymentProtocol = parts.protocol;
        info.SendNumber = Trim(DorvaneText::Token(Trim(parts.number), 1, "", " "));

        // The declarant's name and tax code are the two lines under the heading.
        const std::string company = w.Read(Form{"\r\n", kEOL, kAnyText, "DATI DEL DICHIARANTE"});
        if (!company.empty()) {
            info.Company = company;
            info.TaxCode = w.Read(Form{"\r\n", kEOL, kAnyText, "DATI DEL DICHIARANTE\r\n"});
        }
        if (Lower(text).find("presenza dei dati relativi al modello") != std::string::npos) {
            info.Period = w.Read(Form{"Presenza dei dati relativi al modello\r\n", kEOL});
        } else {
            info.Period = w.Read(Form{"DICHIARANTE :\r\n", kEOL});
        }

        // A heading the first page could not read leaves the receipt's own data to the line.
        if (info.ReceiptDate.empty()) {
            info.ReceiptDate = DorvaneText::Token(line, 4, "", " ");
        }
        if (info.Protocol.empty()) {
            info.Protocol = DorvaneText::Token(line, 1, "", " ");
        }
        info.Year = std::to_string(YearOfDate(info.ReceiptDate));
        const Period year = YearPeriod(info.Year);
        info.PeriodFrom = year.from;
        info.PeriodTo = year.to;
        const std::string upper = Upper(text);
        if (upper.find("DICHIARAZIONE PROTOCOLLO N.") != std::string::npos) {
            info.Outcome = "acquisito";
        } else if (upper.find("DICHIARAZIONE SCARTATA - PROTOCOLLO INVIO N.") !=
                   std::string::npos) {
            info.Outcome = "scartato";
        }
        if (!write) {
            return true;
        }

        std::string description = m_nYear730 >= 0
                                      ? "730/" + std::to_string(m_nYear730 % 100)
                                      : "730 " + Trim(GetLabelValue(text, k730Heading, kLineEnd, "",
                                                                    kAnyText, false, false));
        if (supplementary) {
            description += " integrativa";
        }
        bool ok = w.Write(k730SingFields);
        ok = WritePeriodHalves(w) && ok;
        ok = w.Set("Descrizione", description) && ok;
        return w.Set("Esito", info.Outcome) && ok;
    });
}

} // namespace quorvin
