#pragma once
// A saved operation log, shown read-only as a sortable table of its four fields.
#include "shell/OperationLog.h"

#include <QWidget>

#include <vector>

class QTableView;

namespace quorvin::gui {

class LogViewer : public QWidget {
    Q_OBJECT
public:
    LogViewer(const QString& path, const std::vector<shell::LogRecord>& records,
              QWidget* parent = nullptr);

    QTableView* Table() const { return m_table; }

private:
    QTableView* m_table;
};

} // namespace quorvin::gui
