#pragma once
// The run logs saved in the log folder, found again by the time in their names.
#include <QDateTime>

#include <string>
#include <vector>

namespace quorvin::shell {

struct SavedLog {
    std::string path;
    QDateTime when; // from the name's _yyyymmdd_HHMMSS
};

// Logs saved in folder from days days before now on, newest first. Files whose name does
// not end in a date and time are not logs of a run.
std::vector<SavedLog> RecentLogs(const std::string& folder, const QDateTime& now, int days);

} // namespace quorvin::shell
