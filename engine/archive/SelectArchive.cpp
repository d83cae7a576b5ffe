// Choosing the destination archive of a document type, and the insert right on it.
#include "archive/Convert.h"
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneRecordset.h"
#include "archive/DorvaneText.h"
#include "archive/Quoting.h"
#include "archive/Utf8.h"
#include "engine/RuntimeError.h"
#include "engine/bvTel.h"

#include <string_view>
#include <vector>

namespace quorvin {

namespace {

long YearOf(const std::string& date) {
    const auto d = ParseDate(date);
    return d ? d->year : -1;
}

long NumberOr(const std::string& text, long fallback) {
    if (!IsNumeric(text)) {
        return fallback;
    }
    const auto n = ParseNumber(text);
    return n ? static_cast<long>(*n) : fallback;
}

const std::string& Page(const bvTel& tel, size_t index) {
    static const std::string kNone;
    return index < tel.PageText().size() ? tel.PageText()[index] : kNone;
}

std::string ReadPage(const std::string& text, const std::string& label) {
    return GetLabelValue(text, label, "\r\n", "", kAnyText, false, false);
}

long YearOfDocDate(const bvTel& tel) {
    return YearOf(tel.Info().DocDate);
}

// The period line under the heading reads "MARZO 2010": its second word is the year.
long YearOfPeriodLine(const bvTel& tel) {
    const std::string line =
        ReadPage(Page(tel, 0), "ATTESTAZIONE DELLA DENUNCIA CONTRIBUTIVA RELATIVA AL PERIODO:\r\n");
    return line.empty() ? -1 : NumberOr(DorvaneText::Token(line, 2, "", " "), -1);
}

// The receipt ends with its date: on the last line, or the line before when the
// outcome is irregular (or the last piece is not a date).
long YearOfClosingDate(const bvTel& tel) {
    std::vector<std::string> pieces;
    const long n = DorvaneText::SplitLines(Page(tel, 0), "\r\n", &pieces);
    auto piece = [&](long k) { return k >= 1 && k <= n ? pieces[k - 1] : std::string(); };
    std::string date = piece(n - 1);
    if (tel.OutcomeRegular() && IsDate(piece(n))) {
        date = piece(n);
    }
    return IsDate(date) ? YearOf(date) : -1;
}

long YearOf730(const bvTel& tel) {
    if (tel.StoreSummary()) {
        return YearOf(tel.Info().ReceiptDate);
    }
    if (!tel.Is730Alt()) {
        return NumberOr(
            DorvaneText::Token(ReadPage(Page(tel, 0), "MODELLO DI DICHIARAZIONE "), 2, "", " "),
            -1);
    }
    return NumberOr(
        ReadPage(Page(tel, 0), "Comunicazione di avvenuto ricevimento prodotta il\r\n730 "), -1);
}

long YearOfIntra(const bvTel& tel) {
    if (tel.StoreSummary()) {
        return YearOf(tel.Info().ReceiptDate);
    }
    return NumberOr(
        GetLabelValue(Page(tel, 0), "Anno di riferimento : ", " \r\n", "", kNumeric, false, false),
        -1);
}

// Page 2's last line ends "... <date> <year> ...": its third word. The page text ends
// with a line break, so the last line is the last non-empty piece.
long YearOfModelPage(const bvTel& tel) {
    std::vector<std::string> pieces;
    DorvaneText::SplitLines(Page(tel, 1), "\r\n", &pieces);
    while (!pieces.empty() && pieces.back().empty()) {
        pieces.pop_back();
    }
    return pieces.empty() ? -1 : NumberOr(DorvaneText::Token(pieces.back(), 3, "", " "), -1);
}

long YearOfReceiptDate(const bvTel& tel) {
    return YearOf(tel.Info().ReceiptDate);
}

struct YearRule {
    long type;
    long (*derive)(const bvTel&);
};

// After the reference-type rule, the first row for the type; any other type takes the
// year of the receipt date.
const YearRule kYearRules[] = {
    {133, YearOfDocDate}, {404, YearOfPeriodLine}, {80, YearOfClosingDate},
    {187, YearOf730},     {96, YearOfIntra},       {99, YearOfModelPage},
};

long DeriveYear(const bvTel& tel, long type) {
    if (type == tel.RefTipoDoc() && type != 99) {
        const TelInfo& info = tel.Info();
        return YearOf(!info.PaymentDate.empty() ? info.PaymentDate : info.ReceiptDate);
    }
    for (const auto& rule : kYearRules) {
        if (rule.type == type) {
            return rule.derive(tel);
        }
    }
    return YearOfReceiptDate(tel);
}

enum class When { Always, WithoutSummary, WithoutSummaryAndKind };

struct RefRow {
    std::vector<long> types;
    long refTipoDoc;
    When when = When::Always;
    std::string_view kind{}; // the "Tipo di riepilogo : " value, for WithoutSummaryAndKind
};

// The reference document type each requested type points to; the first matching row
// applies, types without a row leave RefTipoDoc unchanged.
const std::vector<RefRow> kRefRows = {
    {{78}, 86},
    {{93, 95, 120, 122, 126, 152, 158, 160}, 0},
    {{96}, 88, When::WithoutSummaryAndKind, "CESSIONI"},
    {{96}, 89, When::WithoutSummaryAndKind, "ACQUISTI"},
    {{100}, 99},
    {{124}, 401},
    {{127}, 114},
    {{130, 132, 196}, 111},
    {{134}, 107},
    {{136}, 117},
    {{138}, 118},
    {{140}, 102},
    {{142}, 103},
    {{144}, 104},
    {{146}, 105},
    {{148}, 73},
    {{150}, 106},
    {{154}, 72},
    {{156}, 71},
    {{162, 164, 166}, 74},
    {{168}, 87},
    {{170}, 70},
    {{172, 178, 180, 182, 190, 192, 194, 198}, 0},
    {{174, 176}, 76},
    {{184}, 109},
    {{186}, 115},
    {{187}, 115, When::WithoutSummary},
    {{188}, 108},
    {{286}, 279},
    {{289}, 288},
    {{316}, 312},
    {{318}, 311},
    {{350}, 77},
    {{381}, 380},
    {{386}, 385},
    {{388}, 310},
    {{404}, 401},
};

bool RowApplies(const bvTel& tel, const RefRow& row) {
    switch (row.when) {
    case When::Always:
        return true;
    case When::WithoutSummary:
        return !tel.StoreSummary();
    case When::WithoutSummaryAndKind:
        return !tel.StoreSummary() &&
               Upper(Trim(ReadPage(Page(tel, 0), "Tipo di riepilogo : "))) == row.kind;
    }
    return false;
}

std::optional<long> RefTipoDocFor(const bvTel& tel, long type) {
    for (const auto& row : kRefRows) {
        for (const long t : row.types) {
            if (t == type && RowApplies(tel, row)) {
                return row.refTipoDoc;
            }
        }
    }
    return std::nullopt;
}

} // namespace

bool bvTel::SelectArchive(long type, std::string& code, long year) {
    try {
        if (!m_env) {
            Raise(kErrArchive, "Archivio non collegato.");
        }
        const std::string base =
            "select distinct DB_ELENCO.SYS_SERIALE, DB_ELENCO.ARCHIVIO "
            "from ((((DB_ELENCO left join DB_PERMESSI on "
            "DB_ELENCO.SYS_SERIALE=DB_PERMESSI.SYS_SERIALE) "
            "left join PERMESSI on DB_PERMESSI.ID_PERMESSO=PERMESSI.ID_PERMESSO) "
            "left join UTENTE_PERMESSI on PERMESSI.ID_PERMESSO=UTENTE_PERMESSI.ID_PERMESSO) "
            "left join SYS_TATD on DB_ELENCO.TIPO_ARCH=SYS_TATD.ID_TIPOARC) "
            "left join SYS_TIPO_DOC_F on SYS_TATD.ID_TIPODOC=SYS_TIPO_DOC_F.ID_TIPODOC "
            "where (PERMESSI.CREA_REC<>0) and (UTENTE_PERMESSI.ID_UTENTE=" +
            SqlNumber(m_env->CurrentUser().Id()) + ") and SYS_TATD.ID_TIPODOC=" + SqlNumber(type);
        if (year == -1) {
            year = DeriveYear(*this, type);
        }
        // The cache keeps the archive it found: callers select into different variables
        // (a receipt whose single type equals its own type meets the cache with the
        // other variable), so a hit hands the archive back instead of leaving the
        // caller's variable as it was. The reference type follows the requested type
        // on a hit too, since it starts at 0 for every receipt.
        if (m_nSelYear == year && m_nSelTipoDoc == type && !m_sSelArchive.empty()) {
            code = m_sSelArchive;
            if (const auto ref = RefTipoDocFor(*this, type)) {
                m_nRefTipoDoc = *ref;
            }
            return true;
        }
        DorvaneRecordset rs(m_env->Connection());
        bool opened = rs.Open(base + " and DB_ELENCO.ANNO=" + SqlNumber(year));
        if (opened && rs.RecordCount() == 0) {
            opened = rs.Open(base + " and (DB_ELENCO.ANNO=0 or DB_ELENCO.ANNO is null)");
        }
        if (!opened) {
            return false;
        }
        const std::string k = "TipoDoc=" + std::to_string(type) + ";Anno=" + std::to_string(year) +
                              ";Mittente=" + m_TelInfo.SenderCode;
        const long n = rs.RecordCount();
        if (n == 0) {
            RaiseLog(1, k, "SelectArchive()", "Nessun archivio destinazione compatibile");
            return false;
        }
        if (n > 1) {
            RaiseLog(1, k, "SelectArchive()", "Trovati più archivi destinazione compatibili.");
            return false;
        }
        RaiseLog(2, k, "SelectArchive()",
                 "Trovato archivio destinazione: '" + rs.Value("ARCHIVIO") + "'");
        code = rs.Value("SYS_SERIALE");
        if (const auto ref = RefTipoDocFor(*this, type)) {
            m_nRefTipoDoc = *ref;
        }
        m_nSelYear = year;
        m_nSelTipoDoc = type;
        m_sSelArchive = code;
        return true;
    } catch (const RuntimeError& e) {
        RaiseLog(1, "Selezione archivio", "SelectArchive()", ErrorText(e));
        return false;
    }
}

bool bvTel::CheckPermissions(const std::string& code) {
    if (m_env && m_env->CurrentUser().HasPermission(kRightInsertDocuments, code)) {
        return true;
    }
    const std::string archive = m_env ? m_env->Archives().Name(code) : code;
    const std::string user = m_env ? m_env->CurrentUser().Name() : std::string();
    RaiseLog(1, "Archivio '" + archive + "'", "CheckPermissions()",
             "L'utente " + user + " non ha il permesso di inserimento documenti");
    return false;
}

long bvTel::DeriveArchiveYear(long type) const { return DeriveYear(*this, type); }

} // namespace quorvin
