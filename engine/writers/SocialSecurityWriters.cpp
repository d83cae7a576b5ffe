// Single receipts of the social-security bodies: one company and period of an INPS
// E-MENS transmission (402), of an INPS DM10 attestation (404), of an ENPALS monthly
// return (414), and one INAIL wages sheet (465).
#include "archive/DorvaneText.h"
#include "archive/Utf8.h"
#include "engine/writers/WriterSupport.h"

#include <string>
#include <vector>

namespace quorvin {

namespace writers {

namespace {

std::string Word(const std::string& text, long n, const char* separator = " ") {
    return DorvaneText::Token(text, n, "", separator);
}

// The words of a line, blanks around and between them dropped.
std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> pieces;
    DorvaneText::SplitLines(Trim(line), " ", &pieces);
    std::vector<std::string> words;
    for (const std::string& piece : pieces) {
        if (!piece.empty()) {
            words.push_back(piece);
        }
    }
    return words;
}

// clang-format off
const std::vector<Step> kEmensReads = {
    {&TelInfo::Company, {{"Ragione Sociale: ", Lit("Trasmissione")}}},
    {&TelInfo::TaxCode, {{"Codice Fiscale Azienda : ", Lit(" Ragione")}}},
};
// Anno and the month name are the words of the period the summary writer read
// ("MARZO 2010"); they follow Periodo below.
const std::vector<Field> kEmensFields = {
    {"Cod_Fiscale",    From(&TelInfo::TaxCode)},
    {"Cod_Tipo_doc_F", Const(402)},
    {"Ditta",          From(&TelInfo::Company)},
    {"Periodo",        From(&TelInfo::Period)},
};

const std::vector<Step> kEnpalsReads = {
    {&TelInfo::Period,  {{"Periodo della Denuncia: ", kEOL}}},
    {&TelInfo::TaxCode, {{"Codice Fiscale Impresa: ", kEOL, kTaxCode}}},
    {&TelInfo::Company, {{"Denominazione Impresa: ", kEOL}}},
};
const std::vector<Field> kEnpalsFields = {
    {"Cod_Fiscale",    From(&TelInfo::TaxCode)},
    {"Cod_Tipo_doc_F", Const(414)},
    {"Ditta",          From(&TelInfo::Company)},
    {"Periodo",        From(&TelInfo::Period)},
};

const std::vector<Step> kDm10Reads = {
    {&TelInfo::TaxCode, {{"Codice fiscale: ", kEOL, kTaxCode}}},
    {&TelInfo::Amount,  {{"Somma a debito del datore di lavoro: € ", Lit("\r\n"), kNumeric},
                         {"Somma a debito del datore di lavoro: ", Lit("\r\n"), kNumeric}}},
};
const Form kDm10Registration{"Matricola azienda: ", kEOL};
// The practice line (company, protocol, date); the attestation of a DM10/2 return
// repeats it under its own heading, which then wins.
const std::vector<Form> kDm10PracticeLines = {
    {"In relazione alla denuncia di Mod. DM10/2\r\n", kEOL},
    {"Numero di Pratica\r\n", kEOL},
};

// A line break ends the sheet numbers as a blank would: they close their line.
const std::vector<Step> kInailReads = {
    {&TelInfo::Period,          {{"Sede Inail\r\n", kWS, kNumeric}}},
    {&TelInfo::PaymentProtocol, {{"N. Prog. Invio : ", Lit(" N. Prog. Foglio")}}},
};
const Form kInailDataLine{"Anno Codice Ditta C.C. Codice Fiscale Sede Inail\r\n", kEOL};
// clang-format on

} // namespace

} // namespace writers

using namespace writers;

bool bvTel::WriteFieldsEMENSSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsEMENSSing", [&] {
        FieldWriter w(*this, text);
        w.Run(kEmensReads);
        TelInfo& info = w.Info();
        // A long company name continues on the next line.
        info.Company = Trim(DorvaneText::Replace(info.Company, "\r\n", " "));
        bool ok = w.Write(kEmensFields);
        ok = w.Set("Mese_Desc", Word(info.Period, 1)) && ok;
        return w.Set("Anno", Word(info.Period, 2)) && ok;
    });
}

bool bvTel::WriteFieldsENPALSSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsENPALSSing", [&] {
        FieldWriter w(*this, text);
        w.Run(kEnpalsReads);
        const std::string& period = w.Info().Period; // "2010-03"
        bool ok = w.Write(kEnpalsFields);
        ok = w.Set("Mese_Cod", Word(period, 2, "-")) && ok;
        return w.Set("Anno", Word(period, 1, "-")) && ok;
    });
}

bool bvTel::WriteFieldsDM10Sing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsDM10Sing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();
        w.Run(kDm10Reads);
        const std::string registration = Trim(w.Read(kDm10Registration));
        info.TaxCode = Trim(info.TaxCode);

        // "TRASPORTI BRIANZA S.P.A. 0004567891 16/04/2010": the name, then protocol and date.
        const std::vector<std::string> words = Words(w.Read(kDm10PracticeLines));
        if (words.size() >= 2) {
            std::string company;
            for (size_t i = 0; i + 2 < words.size(); ++i) {
                company += (company.empty() ? "" : " ") + words[i];
            }
            info.Company = company;
            info.Protocol = words[words.size() - 2];
            info.DocDate = words.back();
        }

        // The period is printed in a box of its own on the page.
        info.Period.clear();
        for (size_t i = 0; i < m_asPageText.size() && i < m_asPageBoxText.size(); ++i) {
            if (m_asPageText[i] == text) {
                info.Period = Trim(DorvaneText::Replace(m_asPageBoxText[i], "\r\n", " "));
                break;
            }
        }

        bool ok = w.Set("Cod_Fiscale", info.TaxCode);
        ok = w.Set("Cod_Tipo_doc_F", 404L) && ok;
        ok = w.Set("Ditta", info.Company) && ok;
        ok = w.Set("Periodo", info.Period) && ok;
        ok = w.Set("Mese_Desc", Word(info.Period, 1)) && ok;
        ok = w.Set("Anno", Word(info.Period, 2)) && ok;
        ok = w.Set("Data_Doc", info.DocDate) && ok;
        return w.Set("Mat_Inps_Ditta", registration) && ok;
    });
}

bool bvTel::WriteFieldsINAILAutoliqSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsINAILAutoliqSing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();
        info.Period.clear();
        w.Run(kInailReads);
        // "N. Prog. Foglio : 2011000123-1": the sheet number follows the sending's.
        const std::string sheet =
            w.Read(Form{"N. Prog. Foglio : " + info.PaymentProtocol + "-", kWS, kNumeric});
        if (!sheet.empty()) {
            info.SendNumber = sheet;
        }
        // "2011 12345678 90 03124578968 MILANO": year, position, check code, tax code, office.
        std::string position;
        const std::vector<std::string> parts = Words(w.Read(kInailDataLine));
        if (parts.size() > 3) {
            info.TaxCode = parts[3];
            position = parts[1];
        }
        bool ok = w.Set("Cod_Fiscale", info.TaxCode);
        ok = w.Set("Pos_Inail_Ditta", position) && ok;
        ok = w.Set("Cod_Tipo_doc_F", ArchTipoDoc()) && ok;
        ok = w.Set("Ditta", info.Company) && ok;
        ok = w.Set("Periodo", info.Period) && ok;
        return w.Set("Anno", info.Period) && ok;
    });
}

} // namespace quorvin
