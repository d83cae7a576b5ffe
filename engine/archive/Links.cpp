// Finding the document a receipt acknowledges by its protocol, and writing link rows.
#include "archive/Convert.h"
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneRecordset.h"
#include "archive/Quoting.h"
#include "engine/RuntimeError.h"
#include "engine/bvTel.h"

#include <chrono>

namespace quorvin {

namespace {

// The date as a day number counted from 30/12/1899, the archive's date serial.
long DaySerial(const std::string& text) {
    const auto d = ParseDate(text);
    if (!d) {
        return 0;
    }
    using namespace std::chrono;
    const sys_days day = year{d->year} / month{static_cast<unsigned>(d->month)} /
                         std::chrono::day{static_cast<unsigned>(d->day)};
    const sys_days epoch = year{1899} / December / std::chrono::day{30};
    return static_cast<long>((day - epoch).count());
}

// A field the archive may lack reads as empty rather than failing the search.
std::string ValueIfPresent(DorvaneRecordset& rs, const std::string& field) {
    return rs.HasField(field) ? rs.Value(field) : std::string();
}

} // namespace

bool bvTel::FindTelDoc(long type, std::string& code, std::vector<long>& records,
                       std::vector<long>& dates) {
    // The outputs are reset so that a caller reusing its variables never takes the
    // previous search's records for a match.
    code.clear();
    records.clear();
    dates.clear();
    try {
        if (!m_env) {
            Raise(kErrArchive, "Archivio non collegato.");
        }
        const std::string typeText = std::to_string(type);
        std::string list = "select SYS_SERIALE from DB_ELENCO right join SYS_TATD on "
                           "DB_ELENCO.TIPO_ARCH=SYS_TATD.ID_TIPOARC where ";
        list += type < 1 ? "SYS_TATD.ID_TIPODOC in (130, 172, 178, 180)"
                         : "SYS_TATD.ID_TIPODOC=" + SqlNumber(type);
        if (!m_TelInfo.DocDate.empty()) {
            const auto docDate = ParseDate(m_TelInfo.DocDate);
            if (!docDate) {
                Raise(kErrTypeMismatch, "Tipo non corrispondente");
            }
            const std::string y = SqlNumber(docDate->year);
            list +=
                " and (DB_ELENCO.ANNO = " + y + " or DB_ELENCO.ANNO = 0 or DB_ELENCO.ANNO is null)";
        }
        auto archives = m_telDocArchives.find(list);
        if (archives == m_telDocArchives.end()) {
            DorvaneRecordset listed(m_env->Connection());
            if (!listed.Open(list)) {
                return false;
            }
            std::vector<std::string> codes;
            for (; !listed.Eof(); listed.MoveNext()) {
                codes.push_back(listed.Value("SYS_SERIALE"));
            }
            archives = m_telDocArchives.emplace(list, std::move(codes)).first;
        }
        DorvaneDatabase& database = m_env->Database();
        DorvaneRecordset found(m_env->Connection());
        // True once a protocol query has run: a search that ran and found nothing is
        // a search all the same.
        bool result = false;
        long n = 0;
        for (size_t k = 0; k < archives->second.size() && n == 0; ++k) {
            const std::string& archive = archives->second[k];
            std::string field;
            if (database.FieldInfo().HasField(archive, "Protocollo_Attribuito")) {
                field = "Protocollo_Attribuito";
            } else if (database.FieldInfo().HasField(archive, "Protocollo_Utente")) {
                field = "Protocollo_Utente";
            } else {
                continue;
            }
            std::string sql = "select * from " + database.TableName(archive) + " where " + field +
                              "='" + SqlTextContent(m_TelInfo.Protocol) + "'";
            if (type > 0) {
                sql += " and Cod_Tipo_doc_F=" + SqlNumber(type);
            }
            if (!m_TelInfo.TaxCode.empty()) {
                sql += " and Cod_Fiscale='" + SqlTextContent(m_TelInfo.TaxCode) + "'";
            }
            result = found.Open(sql);
            n = result ? found.RecordCount() : 0;
        }
        if (n >= 1) {
            m_TelInfo.SenderCode = ValueIfPresent(found, "Trasmesso_Cod");
            m_TelInfo.SentFile = ValueIfPresent(found, "File");
            code = found.Value("SYS_SERIALE");
        }
        if (n == 1) {
            records.push_back(std::stol(found.Value("SYS_RECORD")));
            dates.push_back(DaySerial(ValueIfPresent(found, "Data_doc")));
        } else if (n > 1) {
            for (; !found.Eof(); found.MoveNext()) {
                records.push_back(std::stol(found.Value("SYS_RECORD")));
            }
            RaiseLog(1, "Archivio '" + m_env->Archives().Name(code) + "'", "FindTelDoc()",
                     "Tipo doc. " + typeText + " - Protocollo " + m_TelInfo.Protocol +
                         ": trovati " + std::to_string(n) + " documenti");
        } else {
            RaiseLog(1, "", "FindTelDoc()",
                     "Tipo doc. " + typeText + " - Protocollo " + m_TelInfo.Protocol +
                         ": non trovato");
        }
        found.Close();
        return result;
    } catch (const RuntimeError& e) {
        RaiseLog(1, "", "FindTelDoc()", ErrorText(e));
        return false;
    } catch (const std::exception& e) {
        RaiseLog(1, "", "FindTelDoc()", std::to_string(kErrArchive) + ": " + e.what());
        return false;
    }
}

namespace {

bool WriteLink(DorvaneRecordset& links, const std::string& parentCode, long parentRecord,
               const std::string& childCode, long childRecord) {
    const bool ok = links.AddNew() && links.SetValue("DB_PAR_SERIALE", parentCode) &&
                    links.SetValue("DB_PAR_RECORD", parentRecord) &&
                    links.SetValue("DB_SON_SERIALE", childCode) &&
                    links.SetValue("DB_SON_RECORD", childRecord) && links.Update();
    if (!ok) {
        links.CancelUpdate();
    }
    return ok;
}

} // namespace

bool bvTel::DocLinkCreate(const std::string& parentCode, long parentRecord,
                          const std::string& childCode, long childRecord) {
    return DocLinkCreate(parentCode, std::vector<long>{parentRecord}, childCode, childRecord);
}

bool bvTel::DocLinkCreate(const std::string& parentCode, const std::vector<long>& parentRecords,
                          const std::string& childCode, long childRecord) {
    try {
        DorvaneRecordset& links = WorkRecordset(2);
        // Process opens the link table; a direct call opens it here.
        if (!links.IsOpen() && m_env) {
            m_env->ArchiveStore().OpenLinks(links);
        }
        bool ok = false;
        for (const long parent : parentRecords) {
            ok = WriteLink(links, parentCode, parent, childCode, childRecord);
        }
        return ok;
    } catch (const std::exception& e) {
        RaiseLog(1, "Creazione collegamento",
                 "DocLinkCreate():", std::to_string(kErrArchive) + ": " + e.what());
        return false;
    }
}

} // namespace quorvin
