// The search of the original documents a stored receipt acknowledges, by the receipt's
// data, from the strictest query to the loosest, and the links to what it finds.
#include "archive/Convert.h"
#include "archive/DorvaneDatabase.h"
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneRecordset.h"
#include "archive/DorvaneText.h"
#include "archive/Quoting.h"
#include "archive/Utf8.h"
#include "engine/RuntimeError.h"
#include "engine/bvTel.h"

#include <exception>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace quorvin {

namespace {

// A query, or none when one of its values cannot be written (a date that is not one, a
// month or quarter out of range): such a query cannot run, and the search fails, so that
// the receipt says its original was not found.
using Sql = std::optional<std::string>;

Sql Cat(std::initializer_list<Sql> parts) {
    std::string text;
    for (const Sql& part : parts) {
        if (!part) {
            return std::nullopt;
        }
        text += *part;
    }
    return text;
}

std::string Num(long value) {
    return SqlNumber(static_cast<long long>(value));
}

// The whole number a text starts as; 0 when it is none.
long NumberOf(const std::string& text) {
    return static_cast<long>(ParseInteger(Trim(text)).value_or(0));
}

std::optional<Date> MakeDate(long year, long month, long day) {
    if (!IsValidDate(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day))) {
        return std::nullopt;
    }
    return Date{static_cast<int>(year), static_cast<int>(month), static_cast<int>(day)};
}

std::optional<Date> LastDay(long month, long year) {
    if (month < 1 || month > 12) {
        return std::nullopt;
    }
    return MakeDate(year, month, DaysInMonth(static_cast<int>(month), static_cast<int>(year)));
}

struct Search {
    bvTel& tel;
    DorvaneDatabase& db;
    DorvaneRecordset& rs;
    long type;
    long year;
    std::string refArchive;

    std::string date{};
    bool monthly = false;
    long n = -1;
    long y = 0;
    std::string prevArchive{};
    bool periodSet = false;
    Sql dal{};
    Sql al{};

    std::string archive{}; // where the matching rows are
    bool opened = true;
    bool matched = false;

    Sql Literal(const std::optional<Date>& value) const {
        if (!value) {
            return std::nullopt;
        }
        if (db.Kind() == 0) {
            return "#" + FormatDate(*value) + "#";
        }
        return db.DateLiteral(*value);
    }
    Sql Literal(const std::string& text) const { return Literal(ParseDate(text)); }

    // Dal and Al of month n (monthly) or quarter n of year y.
    void SetPeriod() {
        const long firstMonth = monthly ? n : 3 * n - 2;
        const long lastMonth = monthly ? n : 3 * n;
        periodSet = true;
        dal = Literal(MakeDate(y, firstMonth, 1));
        al = Literal(LastDay(lastMonth, y));
    }

    std::string Base(const std::string& table, const std::string& extra,
                     const char* where = " where ") const {
        return "select * from " + table + where + "Cod_Fiscale like " +
               SqlLikePrefix(tel.Info().TaxCode) + " " + extra;
    }
    std::string Table(const std::string& code) const { return db.TableName(code); }

    bool Try(const Sql& query) {
        if (!query) {
            opened = false;
            matched = false;
            return false;
        }
        opened = rs.Open(*query);
        matched = opened && rs.RecordCount() >= 1;
        return matched;
    }

    // Types 71, 86, 311, 312: a December or last-quarter period may be filed in the
    // archive of its own year.
    void TryPreviousYear() {
        const bool lastOfYear = monthly ? n == 12 : n == 4;
        if (prevArchive.empty() || year != y + 1 || !lastOfYear) {
            return;
        }
        const Sql q = Cat(
            {Base(Table(prevArchive), "and Anno=" + Num(y) + " and Cod_Tipo_doc_F=" + Num(type)),
             " and Dal=", dal});
        if (Try(Cat({q, " and Al=", al})) || Try(q)) {
            archive = prevArchive;
        }
    }
};

// ---- Period readings by the original's type ----

void PeriodIntent(Search& s) {
    const std::string& period = s.tel.Info().Period;
    s.monthly = Lower(period).find("mese:") != std::string::npos;
    const std::string month =
        s.tel.GetLabelValue(period, "Mese: ", "\r\n", "", kNumeric, false, false);
    if (!month.empty()) {
        s.n = NumberOf(month);
    }
    const std::string year =
        s.tel.GetLabelValue(period, "Anno: ", " Mese:", "", kNumeric, true, false);
    if (!year.empty()) {
        s.y = NumberOf(year);
    } else if (IsNumeric(s.tel.Info().Year)) {
        s.y = NumberOf(s.tel.Info().Year);
    }
    s.tel.SelectArchive(s.type, s.prevArchive, s.y);
}

void PeriodBlackList(Search& s) {
    const std::string& period = s.tel.Info().Period;
    s.monthly = Lower(period).find("trim") == std::string::npos;
    s.n = NumberOf(DorvaneText::Token(period, 4, "0", " "));
    s.y = NumberOf(DorvaneText::Token(period, 2, "0", " "));
    s.tel.SelectArchive(s.type, s.prevArchive, s.y);
}

void PeriodPolyvalent(Search& s) {
    const std::string& period = s.tel.Info().Period;
    std::string m = s.tel.GetLabelValue(period, "Mese: ", "\r\n", "", kNumeric, false, false);
    if (!m.empty()) {
        s.monthly = true;
        s.n = NumberOf(m);
    } else {
        m = s.tel.GetLabelValue(period, "trim: ", "\r\n", "", kNumeric, false, false);
        if (m.empty()) {
            m = s.tel.GetLabelValue(period, "Trimestre: ", " Formato", "", kNumeric, true, false);
        }
        if (!m.empty()) {
            s.n = NumberOf(m);
        }
    }
    // An empty or non-numeric period counts as 0: the year argument is used instead.
    const std::string stored = s.tel.CurrentRecord().Value("Periodo");
    s.y = IsNumeric(stored) ? static_cast<long>(ParseNumber(stored).value_or(0)) : 0;
}

void PeriodInps(Search& s) {
    s.monthly = true;
    const auto receipt = ParseDate(s.tel.Info().ReceiptDate);
    if (receipt) {
        s.n = receipt->month;
    }
    if (s.tel.ArchTipoDoc() == 404) {
        const auto month = ParseDate("1 " + s.tel.Info().Period);
        if (month) {
            s.n = month->month;
        }
    }
}

// ---- Queries by the original's type ----

void QueryVatActivity(Search& s) {
    const auto receipt = ParseDate(s.tel.Info().ReceiptDate);
    if (!receipt) {
        s.Try(std::nullopt);
        return;
    }
    s.Try(s.Base(s.Table(s.refArchive),
                 "and Anno=" + Num(receipt->year) + " and Cod_Tipo_doc_F=" + Num(s.type),
                 "  where "));
}

void QueryBlackList(Search& s) {
    s.SetPeriod();
    const std::string table = s.Table(s.refArchive);
    const Sql q1 =
        Cat({s.Base(table, "and Anno=" + Num(s.year) + " and Cod_Tipo_doc_F=" + Num(s.type)),
             " and Dal=", s.dal});
    const Sql q2 =
        Cat({s.Base(table, "and Anno=" + Num(s.y) + " and Cod_Tipo_doc_F=" + Num(s.type)),
             " and Dal=", s.dal});
    if (s.Try(Cat({q1, " and Al=", s.al})) || s.Try(Cat({q2, " and Al=", s.al})) || s.Try(q1) ||
        s.Try(q2)) {
        return;
    }
    s.TryPreviousYear();
}

void QueryQuarterlyRefund(Search& s) {
    const std::string base = s.Base(s.Table(s.refArchive), "and Cod_Tipo_doc_F=" + Num(s.type));
    const Sql q = s.date.empty() ? Sql(base) : Cat({base, " and Data_Doc=", s.Literal(s.date)});
    if (s.Try(q)) {
        return;
    }
    std::vector<std::string> words;
    DorvaneText::SplitLines(Upper(s.tel.Info().Period), " ", &words);
    if (words.size() < 2 || words[1] != "TRIMESTRE") {
        return;
    }
    static const std::vector<std::string> kQuarters = {"PRIMO", "SECONDO", "TERZO", "QUARTO"};
    long quarter = 0;
    for (size_t i = 0; i < kQuarters.size(); ++i) {
        if (words[0] == kQuarters[i]) {
            quarter = static_cast<long>(i) + 1;
        }
    }
    s.y = words.size() > 2 ? NumberOf(words[2]) : 0;
    s.Try(Cat({base, " ", "and Al=", s.Literal(LastDay(3 * quarter, s.y))}));
}

void QueryPayment(Search& s) {
    const std::string base = s.Base(s.Table(s.refArchive), "and Cod_Tipo_doc_F=" + Num(s.type));
    const Sql q = s.date.empty() ? Sql(base) : Cat({base, " and Data_Vers=", s.Literal(s.date)});
    if (s.Try(q) && s.rs.RecordCount() > 1) {
        // Several payments on one day: the amount decides; an amount that is not one
        // matches none of them, which is no failure of the search.
        const auto amount = NormaliseAmount(s.tel.Info().Amount);
        if (amount) {
            s.Try(Cat({q, " and Importo=", *amount}));
        } else {
            s.matched = false;
        }
    }
}

void QueryPeriodic(Search& s) {
    if (s.y == 0) {
        s.y = s.year;
    }
    Sql q = s.Base(s.Table(s.refArchive),
                   "and Periodo=" + Num(s.y) + " and Cod_Tipo_doc_F=" + Num(s.type));
    if (s.monthly && s.n == -1) {
        s.periodSet = true;
        s.dal = s.Literal(MakeDate(s.y, 1, 1));
        s.al = s.Literal(MakeDate(s.y, 12, 31));
    } else if (s.n != -1) {
        s.SetPeriod();
    }
    if (s.n != -1) {
        q = Cat({q, " and Dal=", s.dal});
        if (!s.Try(Cat({q, " and Al=", s.al})) && !s.Try(q)) {
            s.TryPreviousYear();
        }
        return;
    }
    if (s.periodSet) {
        q = Cat({q, " and Dal>=", s.dal, " and Al<=", s.al});
    }
    s.Try(q);
}

void QueryOther(Search& s) {
    const std::string table = s.Table(s.refArchive);
    std::string q = s.Base(table, "and Cod_Tipo_doc_F=" + Num(s.type));
    if (s.n != -1) {
        q += " and Mese_Cod=" + Num(s.n);
    }
    // An IRAP receipt may acknowledge a UNICO model of non-commercial bodies.
    if (!s.Try(q) && s.tel.DocType() == 168) {
        s.Try(s.Base(table, "and Cod_Tipo_doc_F=" + Num(105)));
    }
}

enum class DateFrom { Payment, Receipt, PaymentWithSummary };

struct TypeRule {
    std::vector<long> types;
    DateFrom date;
    void (*period)(Search&);
    void (*query)(Search&);
};

// clang-format off
const std::vector<TypeRule> kRules = {
    {{71},       DateFrom::Payment,            PeriodIntent,     QueryPeriodic},
    {{76},       DateFrom::Receipt,            nullptr,          QueryVatActivity},
    {{86},       DateFrom::Receipt,            PeriodBlackList,  QueryBlackList},
    {{109},      DateFrom::Receipt,            nullptr,          QueryQuarterlyRefund},
    {{111},      DateFrom::Payment,            nullptr,          QueryPayment},
    {{115},      DateFrom::PaymentWithSummary, nullptr,          QueryOther},
    {{311, 312}, DateFrom::Receipt,            PeriodPolyvalent, QueryPeriodic},
    {{385},      DateFrom::Receipt,            nullptr,          QueryOther},
    {{401},      DateFrom::Payment,            PeriodInps,       QueryOther},
};
const TypeRule kOtherTypes = {{}, DateFrom::Payment, nullptr, QueryOther};
// clang-format on

const TypeRule& RuleFor(long type) {
    for (const auto& rule : kRules) {
        for (const long t : rule.types) {
            if (t == type) {
                return rule;
            }
        }
    }
    return kOtherTypes;
}

// The year of the original's period, for the year check: its Periodo when numeric,
// else the year of its Dal.
long PeriodYear(DorvaneRecordset& row) {
    const std::string period = row.Value("Periodo");
    if (IsNumeric(period)) {
        return static_cast<long>(ParseNumber(period).value_or(0));
    }
    const auto from = ParseDate(row.Value("Dal"));
    return from ? from->year : 0;
}

} // namespace

bool bvTel::FindOrigDoc(const std::string& receiptArchive, long receiptKey, long year,
                        bool checkYear, bool& found, long type) {
    found = false;
    try {
        if (type == -1) {
            type = m_nRefTipoDoc;
        }
        if (m_env == nullptr || !SelectArchive(type, m_sRefArchive, year)) {
            return false;
        }
        Search s{.tel = *this,
                 .db = m_env->Database(),
                 .rs = WorkRecordset(1),
                 .type = type,
                 .year = year,
                 .refArchive = m_sRefArchive};
        const TypeRule& rule = RuleFor(type);
        switch (rule.date) {
        case DateFrom::Payment:
            s.date = m_TelInfo.PaymentDate;
            break;
        case DateFrom::Receipt:
            s.date = m_TelInfo.ReceiptDate;
            break;
        case DateFrom::PaymentWithSummary:
            s.date = m_bStoreSummary ? m_TelInfo.PaymentDate : m_TelInfo.ReceiptDate;
            break;
        }
        if (rule.period != nullptr) {
            rule.period(s);
        }
        s.archive = s.refArchive;
        rule.query(s);

        found = s.matched;
        if (!found || !s.opened) {
            return s.opened;
        }
        bool ok = true;
        DorvaneRecordset& rows = s.rs;
        rows.MoveFirst();
        while (!rows.Eof()) {
            const long anno = static_cast<long>(ParseNumber(rows.Value("Anno")).value_or(0));
            if (!checkYear || anno > PeriodYear(rows) + 1) {
                const long record =
                    static_cast<long>(ParseInteger(rows.Value("SYS_RECORD")).value_or(-1));
                // Every link is tried; one that fails makes the search fail.
                ok = DocLinkCreate(receiptArchive, receiptKey, s.archive, record) && ok;
            }
            rows.MoveNext();
        }
        return ok;
    } catch (const RuntimeError& e) {
        TelLogEvent(1, "", "FindOrigDoc()", ErrorText(e));
    } catch (const std::exception& e) {
        TelLogEvent(1, "", "FindOrigDoc()", ErrorText(RuntimeError{kErrInvalidCall, e.what()}));
    }
    found = false;
    return false;
}

} // namespace quorvin
