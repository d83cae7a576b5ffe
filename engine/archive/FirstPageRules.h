#pragma once
// What ProcessSingleFile reads from the first page of each receipt type, as a table: one
// row per group of DocTypes, with the readings into TelInfo slots, how ok is judged,
// whether the file keeps its summary record, and the named rule that does the rest.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvin {

class bvTel;

namespace firstpage {

// Where a value ends (the end argument of GetLabelValue).
struct End {
    enum class Kind { Length, Set, Literal };
    Kind kind;
    long length = 0;
    std::string_view text{};
};
constexpr End Len(long n) {
    return {End::Kind::Length, n, {}};
}
constexpr End Set(std::string_view chars) {
    return {End::Kind::Set, 0, chars};
}
constexpr End Lit(std::string_view text) {
    return {End::Kind::Literal, 0, text};
}

// TelInfo slots the first page fills.
inline constexpr int kSenderTaxCode = 0;
inline constexpr int kReceiptDate = 1;
inline constexpr int kProtocol = 3;
inline constexpr int kDocDate = 14;
// A working value, not a slot (counts, months).
inline constexpr int kWork = -1;

struct Read {
    int slot;
    std::string_view label;
    End end;
    long kind;
    std::string_view anchor{};
};

// slot := the first alternative that gives a value (the rest are fallbacks).
using Step = std::vector<Read>;

enum class Ok {
    SenderAndDate, // receipt date and sender's tax code both found
    Always,
    BySpecial, // the special rule decides
};

enum class Special {
    None,
    DeclarationTotals, // declarations: a total, else the list counters, decide the summary
    IntentTotals,      // 156 first layout: "COMUNICAZIONI TOTALI " when ok
    Intrastat95,       // Intrastat code phrase, else the earlier 93 receipt
    EarlierReceipt,    // outcome of an earlier receipt, found by protocol
    Model730,          // three 730 layouts
    Period124,         // date = first day of the "PERIODO" month
    PeriodScan386,     // later pages turn 386 into 316 or 318
    SenderFromList130, // sender from the list when one payment was requested
};

inline constexpr long kAnyVariant = -1;

struct Rule {
    std::vector<long> docTypes{};
    std::vector<Step> reads{};
    Ok ok = Ok::SenderAndDate;
    bool noSummary = false; // StoreSummary := False
    Special special = Special::None;
    long lookupType = 0;        // FindTelDoc type of the earlier-receipt rule
    long variant = kAnyVariant; // the IntentVariant the row is for
};

const std::vector<Rule>& Rules();
// The row for the receipt, nullptr when the type reads nothing (ok False).
const Rule* RuleFor(long docType, long intentVariant);

// What the rules read and change on the receipt object.
struct State {
    bvTel& tel;
    const std::string& text; // page 1, not upper-cased
    long& docType;
    long& archTipoDoc;
    bool& storeSummary;
    bool is730Alt;
    long year730;
    // Earlier receipts of the same transmission (FindTelDoc's key and records).
    std::string foundKey;
    std::vector<long> foundRecords;
    bool hasEarlier = false;
};

// Applies the receipt's row; true when the first-page data were found.
bool Apply(State& state, long intentVariant);

// The DocType and ArchTipoDoc a multi-purpose communication (386) is archived under, from
// the period and data kind its later pages print (whole-page texts); nullopt when no page
// decides and it stays 386/387.
std::optional<std::pair<long, long>> PeriodCodes386(const std::vector<std::string>& pageTexts);

} // namespace firstpage
} // namespace quorvin
