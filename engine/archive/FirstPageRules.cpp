#include "engine/archive/FirstPageRules.h"

#include "archive/Convert.h"
#include "archive/DorvaneText.h"
#include "archive/Utf8.h"
#include "engine/LabelValue.h"
#include "engine/bvTel.h"

#include <optional>
#include <tuple>

namespace quorvin::firstpage {

namespace {

// The declaration rule's steps a to c; the 730 rule uses only the first form of each.
const std::vector<Step> kDeclarationReads = {
    {{kReceiptDate, "DATA DI TRASMISSIONE ", Len(10), kDate},
     {kReceiptDate, "presentata il ", Len(10), kDate}},
    {{kSenderTaxCode, "codice fiscale : ", Set(" \r\n"), kTaxCode, "Invio effettuato da :"},
     {kSenderTaxCode, "Codice fiscale : ", Set("\r\n"), kTaxCode, "DATI DEL SOSTITUTO"}},
    {{kProtocol, "INVIO PROTOCOLLO N. ", Set("\r\n"), kAnyText},
     {kProtocol, "DICHIARAZIONE PROTOCOLLO N. ", Set(" -\r\n"), kAnyText}},
};

const Step kInData = {{kReceiptDate, "In data ", Len(10), kDate}};
const Step kLiDocDate = {{kDocDate, "Li, ", Len(10), kDate}};

const std::vector<Rule> kRules = {
    {.docTypes = {78,  100, 120, 122, 127, 152, 158, 160, 162, 164, 166, 170,
                  174, 176, 184, 190, 192, 196, 198, 286, 289, 293, 388},
     .reads = {kInData, {{kSenderTaxCode, "codice fiscale : ", Set("\r\n"), kTaxCode}}}},
    {.docTypes = {93, 136, 138, 140, 142, 144, 146, 150, 154, 168, 188, 381},
     .reads = kDeclarationReads,
     .special = Special::DeclarationTotals},
    {.docTypes = {95},
     .reads = kDeclarationReads,
     .ok = Ok::BySpecial,
     .special = Special::Intrastat95},
    {.docTypes = {80, 99, 404}, .ok = Ok::Always, .noSummary = true},
    {.docTypes = {82},
     .reads =
         {kInData,
          {{kSenderTaxCode, "Codice fiscale : ", Set(" \r\n"), kTaxCode, "Dati dell'intermediario"},
           {kSenderTaxCode, "Codice fiscale : ", Set(" \r\n"), kTaxCode, "Dati del titolare"}}},
     .noSummary = true},
    {.docTypes = {83}, .reads = {kInData}, .ok = Ok::Always, .noSummary = true},
    {.docTypes = {124},
     .reads = {{{kSenderTaxCode, "Codice Fiscale Azienda : ", Set(" "), kTaxCode}},
               {{kProtocol, "Trasmissione n. ", Set("\r\n"), kNumeric}}},
     .special = Special::Period124},
    {.docTypes = {125},
     .reads = {{{kSenderTaxCode, "Codice fiscale mittente: ", Set("\r\n"), kTaxCode}},
               {{kProtocol, "Numero di riferimento Invio: ", Set("\r\n"), kNumeric}},
               {{kReceiptDate, "Data trasmissione: ", Lit(", "), kAnyText}}}},
    {.docTypes = {126},
     .reads = {{{kSenderTaxCode, "Codice Utente : ", Set("\r\n"), kTaxCode},
                {kSenderTaxCode, "Codice Utente : ", Lit(" Utente : "), kTaxCode}},
               {{kProtocol, "Invio file Dichiarazione Salari ", Set("\r\n"), kAnyText},
                {kProtocol, "Numero Progressivo Invio : ", Set("\r\n"), kAnyText}},
               {{kReceiptDate, "Data : ", Lit(" Ore:"), kDate},
                {kReceiptDate, "Data Comunicazione : ", Lit(" Ora Comunicazione : "), kDate}}}},
    {.docTypes = {130},
     .reads = {kInData, kLiDocDate, {{kSenderTaxCode, "trasmesso da: ", Set(" \r\n"), kTaxCode}}},
     .special = Special::SenderFromList130},
    {.docTypes = {132, 180, 182},
     .reads = {{{kDocDate, "del ", Len(10), kDate}},
               {{kProtocol, "con protocollo ", Set(" /\r\n"), kAnyText}}},
     .ok = Ok::BySpecial,
     .special = Special::EarlierReceipt,
     .lookupType = 130},
    {.docTypes = {134},
     .reads = {{{kReceiptDate, "DATA DI TRASMISSIONE ", Len(10), kDate}},
               {{kSenderTaxCode, "codice fiscale : ", Set(" \r\n"), kTaxCode}}}},
    {.docTypes = {148},
     .reads = {{{kReceiptDate, "DATA DI TRASMISSIONE ", Len(10), kDate}},
               {{kSenderTaxCode, "codice fiscale : ", Set(" \r\n"), kTaxCode,
                 "Invio effettuato da:"}}}},
    {.docTypes = {156}, .reads = kDeclarationReads, .special = Special::IntentTotals, .variant = 0},
    {.docTypes = {156},
     .reads = {kInData,
               kLiDocDate,
               {{kSenderTaxCode, "codice fiscale : ", Set("\r\n"), kTaxCode}},
               {{kProtocol, "con protocollo ", Lit(" il file"), kAnyText}}},
     .variant = 1},
    {.docTypes = {172},
     .reads = {kInData, {{kSenderTaxCode, "Codice fiscale: ", Set(" \r\n"), kTaxCode}}}},
    {.docTypes = {178},
     .reads = {{{kReceiptDate, "IN DATA ", Len(10), kDate}},
               {{kSenderTaxCode, "AUTENTICATO DALL'UTENTE CODICE FISCALE: ", Set(" \r\n"),
                 kTaxCode}}}},
    {.docTypes = {186}, .ok = Ok::BySpecial, .special = Special::Model730},
    {.docTypes = {194},
     .reads = {{{kDocDate, "In data ", Len(10), kDate}},
               {{kProtocol, "con protocollo ", Set(" /.\r\n"), kAnyText}}},
     .ok = Ok::BySpecial,
     .special = Special::EarlierReceipt,
     .lookupType = -1},
    {.docTypes = {350},
     .reads = {kInData,
               {{kSenderTaxCode, "Codice fiscale : ", Set("\r\n"), kTaxCode, "trasmesso da:"}}}},
    {.docTypes = {386},
     .reads = {kInData, {{kSenderTaxCode, "codice fiscale : ", Set("\r\n"), kTaxCode}}},
     .special = Special::PeriodScan386},
};

std::string ReadValue(const std::string& text, const Read& read) {
    const LabelEnd end = read.end.kind == End::Kind::Length ? LabelEnd(read.end.length)
                                                            : LabelEnd(std::string(read.end.text));
    return GetLabelValue(text, std::string(read.label), end, std::string(read.anchor), read.kind,
                         read.end.kind == End::Kind::Literal, false);
}

std::string ReadFirst(const std::string& text, const Step& step) {
    for (const auto& read : step) {
        std::string value = ReadValue(text, read);
        if (!value.empty()) {
            return value;
        }
    }
    return {};
}

void ReadStep(State& s, const Step& step) {
    if (!step.empty()) {
        s.tel.Info().Slot(static_cast<size_t>(step.front().slot)) = ReadFirst(s.text, step);
    }
}

bool SenderAndDate(const State& s) {
    return !s.tel.Info().ReceiptDate.empty() && !s.tel.Info().SenderTaxCode.empty();
}

// A written total keeps the summary record; without one, the list counters decide.
void TotalsDecideSummary(State& s, const std::vector<std::string_view>& labels) {
    Step count;
    for (const auto label : labels) {
        count.push_back({kWork, label, Set("\r\n"), kNumeric});
    }
    s.storeSummary = !ReadFirst(s.text, count).empty();
    if (!s.storeSummary) {
        long total = 0;
        long acquired = 0;
        s.storeSummary = s.tel.FindNumDocInSummary(total, acquired);
    }
}

// FindTelDoc's result is ok: a search that ran and found nothing still archives the
// receipt, without the link.
bool LookUpEarlier(State& s, long type) {
    std::vector<long> dates;
    const bool found = s.tel.FindTelDoc(type, s.foundKey, s.foundRecords, dates);
    if (found) {
        ReadStep(s, {{kReceiptDate, "Li, ", Len(10), kDate}});
        s.hasEarlier = !s.foundKey.empty() && !DorvaneText::IsEmptyArray(s.foundRecords);
    }
    return found;
}

bool Intrastat95(State& s) {
    if (Upper(s.text).find("DICHIARAZIONI INTRASTAT - CODICE ASSEGNATO AL FILE") !=
        std::string::npos) {
        s.storeSummary = false;
        ReadStep(s, {{kReceiptDate, "Data di protocollazione : ", Set("\r\n"), kDate}});
        ReadStep(s, {{kProtocol, "Numero di protocollo/CIN : ", Set("\r\n"), kAnyText}});
        return true;
    }
    return LookUpEarlier(s, 93);
}

bool EarlierReceipt(State& s, long type) {
    const TelInfo& info = s.tel.Info();
    return LookUpEarlier(s, !info.DocDate.empty() && !info.Protocol.empty() ? type : -1);
}

bool Model730(State& s) {
    TelInfo& info = s.tel.Info();
    if (Upper(s.text).find("DATA DI TRASMISSIONE ") != std::string::npos) {
        for (const auto& step : kDeclarationReads) {
            ReadStep(s, {step.front()});
        }
        return SenderAndDate(s);
    }
    s.storeSummary = false;
    if (!s.is730Alt) {
        ReadStep(s, {{kReceiptDate, "presentata il ", Len(10), kDate}});
        ReadStep(s, {{kProtocol, "DICHIARAZIONE PROTOCOLLO N. ", Lit(" - "), kAnyText}});
        return true;
    }
    const std::string label = "Comunicazione di avvenuto ricevimento prodotta il\r\n730 " +
                              std::to_string(s.year730) + "\r\n";
    const std::string line = GetLabelValue(s.text, label, "\r\n", "", kAnyText, false, false);
    info.ReceiptDate = DorvaneText::Token(line, 4, "", " ");
    info.Protocol = DorvaneText::Token(line, 1, "", " ");
    return true;
}

// The period prints in four forms; the first that makes "01 " + period a date wins.
void Period124(State& s) {
    const Step forms = {{kReceiptDate, "PERIODO : ", Lit(" PRESENZA"), kAnyText},
                        {kReceiptDate, "PERIODO: ", Lit(" PRESENZA"), kAnyText},
                        {kReceiptDate, "PERIODO : ", Lit(" TIPO"), kAnyText},
                        {kReceiptDate, "PERIODO: ", Lit(" TIPO"), kAnyText}};
    // A period that is no date leaves the date empty: the receipt then fails as one
    // whose first-page data are missing.
    std::string date;
    for (const auto& form : forms) {
        if (const auto d = ParseDate("01 " + ReadValue(s.text, form))) {
            date = FormatDate(*d);
            break;
        }
    }
    s.tel.Info().ReceiptDate = date;
}

void PeriodScan386(State& s) {
    if (const auto codes = PeriodCodes386(s.tel.PageText())) {
        std::tie(s.docType, s.archTipoDoc) = *codes;
    }
}

void SenderFromList130(State& s) {
    TelInfo& info = s.tel.Info();
    if (info.ReceiptDate.empty() || !info.SenderTaxCode.empty()) {
        return;
    }
    const std::string n = ReadFirst(s.text, {{kWork, "richiesta di n. ", Set(" \r\n"), kNumeric}});
    if (const auto count = ParseNumber(n); !count || *count != 1) {
        return;
    }
    std::vector<std::string> row;
    if (s.tel.FindInfoDocInSummary(1, "", "", row) && row.size() > 2) {
        info.SenderTaxCode = row[2];
    }
}

} // namespace

const std::vector<Rule>& Rules() {
    return kRules;
}

const Rule* RuleFor(long docType, long intentVariant) {
    for (const auto& rule : kRules) {
        for (const long type : rule.docTypes) {
            if (type == docType && (rule.variant == kAnyVariant || rule.variant == intentVariant)) {
                return &rule;
            }
        }
    }
    return nullptr;
}

bool Apply(State& s, long intentVariant) {
    const Rule* rule = RuleFor(s.docType, intentVariant);
    if (rule == nullptr) {
        return false;
    }
    if (rule->noSummary) {
        s.storeSummary = false;
    }
    for (const auto& step : rule->reads) {
        ReadStep(s, step);
    }
    std::optional<bool> decided;
    switch (rule->special) {
    case Special::None:
        break;
    case Special::DeclarationTotals:
        TotalsDecideSummary(
            s, {"DICHIARAZIONI TOTALI ", "COMUNICAZIONI TOTALI ", "CERTIFICAZIONI TOTALI "});
        break;
    case Special::IntentTotals:
        if (SenderAndDate(s)) {
            TotalsDecideSummary(s, {"COMUNICAZIONI TOTALI "});
        }
        break;
    case Special::Intrastat95:
        decided = Intrastat95(s);
        break;
    case Special::EarlierReceipt:
        decided = EarlierReceipt(s, rule->lookupType);
        break;
    case Special::Model730:
        decided = Model730(s);
        break;
    case Special::Period124:
        Period124(s);
        break;
    case Special::PeriodScan386:
        PeriodScan386(s);
        break;
    case Special::SenderFromList130:
        SenderFromList130(s);
        break;
    }
    switch (rule->ok) {
    case Ok::SenderAndDate:
        return SenderAndDate(s);
    case Ok::Always:
        return true;
    case Ok::BySpecial:
        return decided.value_or(false);
    }
    return false;
}

std::optional<std::pair<long, long>> PeriodCodes386(const std::vector<std::string>& pages) {
    struct Outcome {
        std::string_view phrase;
        long docType;
        long archTipoDoc;
    };
    static const Outcome kOutcomes[] = {{"dati analitici", 318, 319}, {"dati aggregati", 316, 317}};
    const Step month = {{kWork, "mese: ", Lit(" formato"), kNumeric, "anno di riferimento"},
                        {kWork, "trim: ", Set("\r\n"), kNumeric, "anno di riferimento"},
                        {kWork, "Trimestre: ", Lit(" formato"), kNumeric, "anno di riferimento"}};
    for (size_t i = 1; i < pages.size(); ++i) {
        const std::string p = Lower(pages[i]);
        if (ReadFirst(p, month).empty()) {
            continue;
        }
        for (const auto& outcome : kOutcomes) {
            if (p.find(outcome.phrase) != std::string::npos) {
                return std::pair{outcome.docType, outcome.archTipoDoc};
            }
        }
    }
    return std::nullopt;
}

} // namespace quorvin::firstpage
