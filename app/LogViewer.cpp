#include "app/LogViewer.h"

#include "app/Icons.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace quorvin::gui {
namespace {

const char* const kHeaders[] = {"DataOra", "FileName", "Message", "Function"};

QStandardItem* Cell(const QString& text) {
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    item->setToolTip(text);
    return item;
}

} // namespace

LogViewer::LogViewer(const QString& path, const std::vector<shell::LogRecord>& records,
                     QWidget* parent)
    : QWidget(parent, Qt::Window), m_table(new QTableView(this)) {
    setObjectName(QStringLiteral("LogViewer"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Log - %1").arg(QFileInfo(path).fileName()));
    setWindowIcon(Icon(QStringLiteral("log")));

    auto* model = new QStandardItemModel(0, 4, this);
    for (int column = 0; column < 4; ++column) {
        model->setHeaderData(column, Qt::Horizontal, QString::fromLatin1(kHeaders[column]));
    }
    for (const auto& record : records) {
        // As in the operation list, in every locale: the seconds tell apart the many
        // messages of one minute.
        auto* when = Cell(record.dataOra.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
        // Sorting by this column follows time, not the text of the date.
        when->setData(record.dataOra, Qt::UserRole);
        model->appendRow({when, Cell(QString::fromStdString(record.fileName)),
                          Cell(QString::fromStdString(record.message)),
                          Cell(QString::fromStdString(record.function))});
    }
    model->setSortRole(Qt::UserRole);
    for (int row = 0; row < model->rowCount(); ++row) {
        for (int column = 1; column < 4; ++column) {
            model->item(row, column)->setData(model->item(row, column)->text(), Qt::UserRole);
        }
    }

    m_table->setObjectName(QStringLiteral("tblLog"));
    m_table->setModel(model);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    // File order until a header is clicked.
    m_table->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->resizeColumnsToContents();
    m_table->setColumnWidth(1, qMin(m_table->columnWidth(1), 420));
    m_table->setColumnWidth(2, qMin(m_table->columnWidth(2), 520));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_table);
    resize(1120, 560);
}

} // namespace quorvin::gui
