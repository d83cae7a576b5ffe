#include "console/bvNolva.h"

#include "archive/Convert.h"
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneRecordset.h"
#include "archive/DorvaneText.h"
#include "archive/Quoting.h"
#include "archive/Utf8.h"

#include <cmath>
#include <exception>
#include <fstream>

namespace quorvin {

namespace {

constexpr const char* kFunc = "UpdateCom()";
constexpr const char* kSyntaxError = "ERRORE SINTATTICO";
constexpr std::streamsize kBlockSize = 64 * 1024;
// Positions 3-18 name the archive, 19-26 the record: a shorter name names nothing.
constexpr size_t kKeyLength = 26;

// Characters first..last (1-based) of text; shorter when text ends earlier.
std::string Characters(const std::u32string& text, size_t first, size_t last) {
    if (first > text.size()) {
        return std::string();
    }
    return ToUtf8(text.substr(first - 1, last - first + 1));
}

// The record number of the name's digits; 0 when they are not a number (or say 0).
long RecordNumber(const std::string& digits) {
    if (!IsNumeric(digits)) {
        return 0;
    }
    const auto number = ParseNumber(digits);
    if (!number || std::fabs(*number) > 2147483647.0) {
        return 0;
    }
    // Rounded half to even, as the conversion to a 32-bit integer does.
    return static_cast<long>(std::nearbyint(*number));
}

} // namespace

bvNolva::bvNolva(DorvaneEnv& env) : m_env(env) {}

void bvNolva::ConnectTelLogEvent(TelLogEventHandler handler) {
    m_logHandlers.push_back(std::move(handler));
}

void bvNolva::RaiseLog(const std::string& sFile, const std::string& sMsg) const {
    for (const auto& handler : m_logHandlers) {
        handler(1, sFile, kFunc, sMsg);
    }
}

std::string bvNolva::NormaliseText(const std::string& text) {
    std::string result = text;
    const size_t start = result.find(kSyntaxError);
    if (start != std::string::npos) {
        result.erase(0, start);
    }
    result = DorvaneText::Replace(result, "\r\n", " ");
    result = DorvaneText::Replace(result, "=", "");
    // One pass: three blanks become two, as the console's own cleaning does.
    return DorvaneText::Replace(result, "  ", " ");
}

void bvNolva::File(const std::string& path) {
    m_sFile = path;
    m_sText.clear();
    try {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            return;
        }
        std::string bytes;
        std::string block(static_cast<size_t>(kBlockSize), '\0');
        while (true) {
            in.read(block.data(), kBlockSize);
            const std::streamsize got = in.gcount();
            bytes.append(block.data(), static_cast<size_t>(got));
            if (in.bad()) {
                return;
            }
            if (got < kBlockSize) {
                break;
            }
        }
        m_sText = NormaliseText(Cp1252ToUtf8(bytes));
    } catch (const std::exception&) {
        m_sText.clear();
    }
}

bool bvNolva::UpdateCom() {
    const std::string name = DorvaneFiles::FileName(m_sFile, true);
    RaiseLog(name, "Inizio elaborazione.");
    bool ok = false;
    std::string message;
    try {
        const std::u32string chars = ToU32(name);
        const std::string serial = Characters(chars, 3, 18);
        const std::string digits = Characters(chars, 19, 26);
        const size_t baseLength = ToU32(DorvaneFiles::FileName(m_sFile, false)).size();
        const long record = baseLength < kKeyLength ? 0 : RecordNumber(digits);
        if (record == 0) {
            message = "Impossibile determinare la comunicazione da aggiornare.";
        } else {
            message = UpdateRecord(serial, record, ok);
        }
    } catch (const std::exception&) {
        ok = false;
        message = "Aggiornamento dati non riuscito.";
    }
    RaiseLog(name, message);
    return ok;
}

std::string bvNolva::UpdateRecord(const std::string& serial, long record, bool& ok) {
    ok = false;
    if (!m_env.Connected()) {
        return "Archivio della comunicazione da aggiornare non trovato.";
    }
    DorvaneRecordset& list = m_env.Archives().List();
    if (!list.Find("SYS_SERIALE=" + SqlText(serial)) || list.Eof()) {
        return "Archivio della comunicazione da aggiornare non trovato.";
    }
    const std::string archiveName = m_env.Archives().Name();
    const std::string table = m_env.Database().TableName(serial);
    const std::string notFound =
        "Archivio '" + archiveName + "', record " + std::to_string(record) + " non trovato.";
    if (table.empty()) {
        return notFound;
    }
    DorvaneRecordset rs(m_env.Connection());
    if (!rs.Open("select Scartato, Scartato_Descrizione, SYS_RECORD from " + table +
                     " where SYS_RECORD=" + SqlNumber(record),
                 DorvaneRecordset::Mode::Updatable) ||
        rs.RecordCount() == 0) {
        return notFound;
    }
    ok = rs.Edit() && rs.SetValue("Scartato", true) &&
         rs.SetValue("Scartato_Descrizione", m_sText) && rs.Update();
    if (!ok && rs.Editing()) {
        rs.CancelUpdate();
    }
    rs.Close();
    return ok ? "Aggiornamento dati completato." : "Aggiornamento dati non riuscito.";
}

} // namespace quorvin
