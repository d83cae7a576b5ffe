// The notice that a declaration checked by the telematic service is regular, or that it
// has errors. A file may hold notices of both kinds, so each page is judged by itself.
#include "archive/DorvaneText.h"
#include "archive/Utf8.h"
#include "engine/writers/CommunicationWriters.h"

#include <string>
#include <vector>

namespace quorvin {

namespace writers {

namespace {

constexpr const char* kSenderHeading = "SOGGETTO CHE HA TRASMESSO LA DICHIARAZIONE PROTOCOLLO "
                                       "DELLA DICHIARAZIONE PROTOCOLLO TELEMATICO\r\n";

// clang-format off
const std::vector<Field> kFields = {
    {"Data_Ricevimento",      From(&TelInfo::ReceiptDate)},
    {"Anno",                  YearOf(&TelInfo::ReceiptDate)},
    {"Periodo",               From(&TelInfo::Period)},
    {"Protocollo_attribuito", From(&TelInfo::Protocol)},
    {"Progressivo_Invio",     From(&TelInfo::SendNumber)},
    {"Cod_Fiscale",           From(&TelInfo::TaxCode)},
    {"Descrizione",           From(&Work::description)},
    {"Esito",                 From(&TelInfo::Outcome)},
    {"Ditta",                 From(&TelInfo::Company)},
    {"Cod_Tipo_doc_F",        Const(80)},
};
// clang-format on

// The sender's line under the heading: its name, then the declaration's protocol (the
// progressive number) and the telematic protocol, read from the end of the line.
struct SenderLine {
    std::string name;
    std::string number;
    std::string protocol;
};

SenderLine SplitSenderLine(const std::string& line) {
    std::vector<std::string> words;
    DorvaneText::SplitLines(Trim(line), " ", &words);
    SenderLine parts;
    if (words.size() >= 2) {
        parts.protocol = words.back();
        parts.number = words[words.size() - 2];
        for (size_t i = 0; i + 2 < words.size(); ++i) {
            parts.name += (parts.name.empty() ? "" : " ") + words[i];
        }
    }
    return parts;
}

// "UNICO PF/2010": the year after the "/" of the chosen word.
std::string YearOfModel(const std::string& model, long word) {
    const std::string token = DorvaneText::Token(model, word, "-1", " ");
    const size_t slash = token.find('/');
    return slash == std::string::npos ? std::string() : Trim(token.substr(slash + 1));
}

} // namespace

} // namespace writers

using namespace writers;

bool bvTel::WriteFieldsRegoOKSing(const std::string& text) {
    return RunWriter(*this, "WriteFieldsRegoOKSing", [&] {
        FieldWriter w(*this, text);
        TelInfo& info = w.Info();
        // A page that is neither (a continuation of the errors) keeps the verdict of the
        // page before it.
        QuadriTest(Upper(text));
        const std::string date = w.Read(Form{"Li, ", Chars(10), kDate});
        if (!date.empty()) {
            info.ReceiptDate = date;
        }
        std::string model;
        SenderLine sender;
        if (m_bOutcomeRegular) {
            info.Outcome = "REGOLARE";
            model =
                w.Read(Form{"Le comunichiamo che la Sua dichiarazione ", Lit(" risulta regolare")});
            info.Period = YearOfModel(model, 2);
            sender = SplitSenderLine(w.Read(Form{"PROTOCOLLO TELEMATICO\r\n", kEOL}));
            info.Company = Trim(w.Read(Form{"C.F. intermediario", kEOL, kAnyText, {}, true}));
        } else {
            info.Outcome = "NON REGOLARE";
            model = w.Read(Form{"la Sua dichiarazione ", Lit(" presenta gli errori")});
            const std::string lower = Lower(model);
            const bool secondWord = lower.rfind("unico", 0) == 0 || lower.rfind("irap", 0) == 0;
            info.Period = YearOfModel(model, secondWord ? 2 : 1);
            sender = SplitSenderLine(w.Read(Form{kSenderHeading, Lit("\r\n")}));
            info.Company = sender.name;
            if (Lower(text).find("(*) semplificato") != std::string::npos) {
                model += " semplificato";
            }
        }
        info.Protocol = sender.protocol;
        info.SendNumber = sender.number;
        info.TaxCode = w.Read({{"C.F. ", kWS, kTaxCode}, {"Codice Fiscale ", Lit(" -"), kTaxCode}});
        w.work.description = model;
        return w.Write(kFields);
    });
}

} // namespace quorvin
