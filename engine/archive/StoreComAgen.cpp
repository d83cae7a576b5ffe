// Outcomes of the fingerprint communication: the whole receipt is one record, and the
// communication it answers, named by the receipt's file name, takes its outcome.
#include "archive/Convert.h"
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneRecordset.h"
#include "archive/DorvaneText.h"
#include "archive/Quoting.h"
#include "archive/Utf8.h"
#include "engine/RuntimeError.h"
#include "engine/archive/StorePages.h"
#include "engine/bvTel.h"

#include <exception>
#include <string>

namespace quorvin {

namespace {

constexpr const char* kRoutine = "StoreComAgen()";

// Characters first..last (from 1) of text; shorter or empty when text ends earlier.
std::string Characters(const std::string& text, size_t first, size_t last) {
    const std::u32string chars = ToU32(text);
    if (first > chars.size()) {
        return std::string();
    }
    return ToUtf8(chars.substr(first - 1, last - first + 1));
}

// The catalogue's spelling of an archive code. File names are often lower-cased on the
// way, so the code is matched ignoring case; empty when no archive has it.
std::string CatalogueCode(DorvaneArchives& archives, const std::string& code) {
    DorvaneRecordset& list = archives.List();
    for (list.MoveFirst(); !code.empty() && !list.Eof(); list.MoveNext()) {
        if (Lower(list.Value("SYS_SERIALE")) == Lower(code)) {
            return list.Value("SYS_SERIALE");
        }
    }
    return std::string();
}

// The rejection reason on its own lines, as one line.
std::string OneLine(const std::string& text) {
    return Trim(DorvaneText::Replace(text, "\r\n", " "));
}

} // namespace

bool bvTel::StoreComAgen() {
    try {
        SinglePageStore store(*this, kRoutine, -1);
        if (!store.Open()) {
            return false;
        }
        const std::string page1 = m_asPageText.empty() ? std::string() : m_asPageText[0];
        const std::string page2 = m_asPageText.size() > 1 ? m_asPageText[1] : std::string();
        const std::string pdfName = DorvaneFiles::FileName(m_sFile, true);

        const auto writer = [&](const std::string& text) {
            bool ok = WriteFieldsComAgenSing(text);
            if (ok && m_nArchTipoDoc == 82) {
                ok = CurrentRecord().SetValue(
                    "Periodo", GetLabelValue(page2, "relativi al periodo di imposta ", "\r\n", "",
                                             kAnyText, false, false));
            }
            return ok;
        };
        const auto label = [&] { return "esito " + pdfName; };

        // The communication this outcome answers: archive code and record number in
        // characters 3-18 and 19-26 of the file name.
        const auto update = [&](long record, const std::string& /*tmp*/) {
            const std::string name = DorvaneFiles::FileName(m_sFile, false);
            const std::string code = Characters(name, 3, 18);
            const std::string digits = Characters(name, 19, 26);
            const auto number = IsNumeric(digits) ? ParseInteger(Trim(digits)) : std::nullopt;
            if (!number || *number <= 0 || *number > 2147483647) {
                TelLogEvent(1, pdfName, kRoutine,
                            "Impossibile determinare la comunicazione da aggiornare.");
                return true;
            }
            const long communication = static_cast<long>(*number);
            const std::string archive = CatalogueCode(m_env->Archives(), code);
            if (archive.empty()) {
                TelLogEvent(1, pdfName, kRoutine,
                            "Archivio della comunicazione da aggiornare non trovato.");
                return true;
            }
            if (Lower(archive) != Lower(m_sRefArchive)) {
                m_sRefArchive = archive;
            }
            const std::string table = m_env->Database().TableName(m_sRefArchive);
            DorvaneRecordset& rows = WorkRecordset(1);
            if (table.empty() ||
                !rows.Open("select SYS_RECORD from " + table + " where SYS_RECORD=" +
                           SqlNumber(static_cast<long long>(communication))) ||
                rows.RecordCount() == 0) {
                TelLogEvent(1, pdfName, kRoutine,
                            "Archivio '" + m_env->Archives().Name(m_sRefArchive) + "', record " +
                                std::to_string(communication) + " non trovato.");
                return true;
            }

            const bool rejected = Lower(Trim(m_TelInfo.Outcome)) == "scartato";
            // The reason of a rejected 82 is listed on its second page.
            std::string reason;
            if (rejected && m_nArchTipoDoc == 82) {
                reason = OneLine(GetLabelValue(page2, "per i seguenti motivi:\r\n", "Li, ", "",
                                               kAnyText, true, false));
            } else if (rejected) {
                reason = GetLabelValue(page1, "con la seguente motivazione:\r\n", "\r\n", "",
                                       kAnyText, false, false);
            }
            std::string sql = "update " + table + " set Esito='" +
                              SqlTextContent(m_TelInfo.Outcome) + "', Protocollo_Telematico='" +
                              SqlTextContent(m_TelInfo.Protocol) +
                              "', Scartato=" + (rejected ? "1" : "0");
            if (rejected) {
                sql += ", Scartato_Descrizione='" + SqlTextContent(reason) + "'";
            }
            sql += " where SYS_RECORD=" + SqlNumber(static_cast<long long>(communication));
            DorvaneDatabase& db = m_env->Database();
            if (!db.Execute(sql)) {
                TelLogEvent(1, pdfName, kRoutine,
                            "Aggiornamento della comunicazione non riuscito (" +
                                std::to_string(db.LastErrorNumber()) + "): " + db.LastError());
                return false;
            }
            // Outcome (parent) to the communication it answers (child).
            return DocLinkCreate(m_sSingleArchive, record, m_sRefArchive, communication);
        };
        return store.StoreWholeFile(page1, label, writer, update);
    } catch (const RuntimeError& e) {
        TelLogEvent(1, "Estrazione pagina 0", kRoutine, ErrorText(e));
    } catch (const std::exception& e) {
        TelLogEvent(1, "Estrazione pagina 0", kRoutine,
                    ErrorText(RuntimeError{kErrInvalidCall, e.what()}));
    }
    return false;
}

} // namespace quorvin
