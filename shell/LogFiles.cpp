#include "shell/LogFiles.h"

#include "archive/DorvaneFiles.h"

#include <algorithm>

namespace quorvin::shell {

std::vector<SavedLog> RecentLogs(const std::string& folder, const QDateTime& now, int days) {
    constexpr qsizetype kStampLength = 15; // yyyymmdd_HHMMSS
    const QDateTime oldest = now.addDays(-days);
    std::vector<SavedLog> logs;
    for (const auto& path : DorvaneFiles::FindFiles(DorvaneFiles::AddSeparator(folder), "*.xml")) {
        const QString name = QString::fromStdString(DorvaneFiles::FileName(path, false));
        if (name.size() <= kStampLength || name[name.size() - kStampLength - 1] != u'_') {
            continue;
        }
        const QDateTime when =
            QDateTime::fromString(name.right(kStampLength), QStringLiteral("yyyyMMdd_HHmmss"));
        if (when.isValid() && when >= oldest) {
            logs.push_back(SavedLog{path, when});
        }
    }
    std::stable_sort(logs.begin(), logs.end(),
                     [](const SavedLog& a, const SavedLog& b) { return a.when > b.when; });
    return logs;
}

} // namespace quorvin::shell
