#pragma once
// The run's operation log: every message of a run, whatever its priority, as a record of
// four fields. Saved as an ADO XML rowset (schema with the four fields, then one z:row per
// record), so that the file also opens in tools that read such record sets.
#include <QDateTime>

#include <string>
#include <vector>

namespace quorvin::shell {

struct LogRecord {
    QDateTime dataOra;
    std::string fileName;
    std::string message;
    std::string function;
    bool operator==(const LogRecord&) const = default;
};

class OperationLog {
public:
    // Longer values are cut to this many characters: the fields are 255 wide.
    static constexpr int kFieldSize = 255;

    void Clear() { m_records.clear(); }
    void Append(LogRecord record);
    const std::vector<LogRecord>& Records() const { return m_records; }

    // False, leaving no file, when it cannot be written; error says why.
    bool Save(const std::string& path, std::string& error) const;
    // The records of a saved log, in file order; false when the file cannot be read.
    static bool Load(const std::string& path, std::vector<LogRecord>& records, std::string& error);

private:
    std::vector<LogRecord> m_records;
};

// The log as a table of text: a header line, then one line per record.
std::string FormatLogTable(const std::vector<LogRecord>& records);

} // namespace quorvin::shell
