#pragma once
// "Consulta archivio": finding archived records as the user types, with filters beside
// the search box, a sortable result list, the selected record's fields and linked
// documents, and its stored PDF opened or saved.
#include "archive/ArchiveSearch.h"

#include <QAbstractTableModel>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTableView;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace quorvin {
class DorvaneEnv;
}

namespace quorvin::gui {

// Where "Salva PDF…" writes and how "Apri PDF" shows a file: answerable from tests.
class PdfSeams {
public:
    // The chosen path, or empty when cancelled.
    using SaveHandler = std::function<QString(const QString& suggested)>;
    using OpenHandler = std::function<void(const QString& path)>;

    static QString AskSavePath(QWidget* parent, const QString& suggested);
    static void Open(const QString& path);
    static void SetSaveHandler(SaveHandler handler);
    static void SetOpenHandler(OpenHandler handler);
};

// The result list: one page at a time, more as the list is scrolled; sorting asks the
// archive again.
class SearchModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit SearchModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // Runs the query from its first page; false with the reason in error.
    bool Run(search::Finder finder, const search::Query& query, std::string& error);
    const search::Found* Row(int row) const;
    long Total() const { return m_total; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    void sort(int column, Qt::SortOrder order) override;

Q_SIGNALS:
    void Failed(const QString& message);

private:
    std::unique_ptr<search::Finder> m_finder;
    search::Query m_query;
    std::vector<search::Found> m_rows;
    long m_total = 0;
};

class frmConsulta : public QWidget {
    Q_OBJECT
public:
    // layoutStore: an INI file for the window's size and columns; empty = the user's own
    // settings. env is signed in and outlives the window.
    explicit frmConsulta(DorvaneEnv& env, const QString& layoutStore = {},
                         QWidget* parent = nullptr);
    ~frmConsulta() override;

    // Searches now (the box searches by itself shortly after typing stops).
    void Search();
    // Shows a record in the detail pane (from the list, a link, or the main window).
    void ShowRecord(const std::string& archive, long record);
    void OpenPdf();
    void SavePdf();

    SearchModel* Model() const { return m_model; }
    const search::Detail& Current() const { return m_detail; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildFilters();
    void BuildPanes();
    bool BuildQuery(search::Query& query);
    void SelectionChanged();
    void ShowMessage(const QString& text);
    bool CurrentPdf(std::string& bytes);
    void SaveLayout();
    void RestoreLayout();
    search::Finder NewFinder() const;

    DorvaneEnv& m_env;
    QString m_layoutStore;
    bool m_columnsSized = false; // the results' columns have their widths
    search::Detail m_detail;
    QTemporaryDir m_openedPdfs;
    SearchModel* m_model = nullptr;
    QTimer* m_typing = nullptr;

    QLineEdit* txtCerca = nullptr;
    QComboBox* cboArchivio = nullptr;
    QComboBox* cboTipo = nullptr;
    QLineEdit* txtCodiceFiscale = nullptr;
    QLineEdit* txtProtocollo = nullptr;
    QLineEdit* txtDal = nullptr;
    QLineEdit* txtAl = nullptr;
    QLineEdit* txtAnno = nullptr;
    QLineEdit* txtEsito = nullptr;
    QTableView* tvRisultati = nullptr;
    QLabel* lblRisultati = nullptr;
    QLabel* lblRecord = nullptr;
    QTreeWidget* twCampi = nullptr;
    QTreeWidget* twCollegati = nullptr;
    QPushButton* cmdApriPdf = nullptr;
    QPushButton* cmdSalvaPdf = nullptr;
    QSplitter* m_split = nullptr;
    QSplitter* m_detailSplit = nullptr;
};

} // namespace quorvin::gui
