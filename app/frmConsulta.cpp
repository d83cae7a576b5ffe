#include "app/frmConsulta.h"

#include "app/Icons.h"
#include "app/Seams.h"
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneRecordset.h"
#include "archive/Utf8.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStandardPaths>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvin::gui {
namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

struct ResultColumn {
    const char* title;
    std::string search::Found::*member;
    search::SortKey sort;
};

// clang-format off
const ResultColumn kResultColumns[] = {
    {"Data",           &search::Found::date,        search::SortKey::Date},
    {"Tipo",           &search::Found::docTypeName, search::SortKey::Type},
    {"Nome",           &search::Found::name,        search::SortKey::Name},
    {"Codice fiscale", &search::Found::taxCode,     search::SortKey::TaxCode},
    {"Protocollo",     &search::Found::protocol,    search::SortKey::Protocol},
    {"Esito",          &search::Found::outcome,     search::SortKey::Outcome},
    {"Descrizione",    &search::Found::description, search::SortKey::Description},
    {"Archivio",       &search::Found::archiveName, search::SortKey::Archive},
};
// clang-format on

constexpr int kPage = 100;
// Typing pauses this long before the search runs.
constexpr int kTypingDelayMs = 250;
constexpr int kLinkArchive = Qt::UserRole;
constexpr int kLinkRecord = Qt::UserRole + 1;

PdfSeams::SaveHandler& SaveSlot() {
    static PdfSeams::SaveHandler handler;
    return handler;
}

PdfSeams::OpenHandler& OpenSlot() {
    static PdfSeams::OpenHandler handler;
    return handler;
}

} // namespace

QString PdfSeams::AskSavePath(QWidget* parent, const QString& suggested) {
    if (SaveSlot()) {
        return SaveSlot()(suggested);
    }
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Salva PDF"), suggested,
                                        QStringLiteral("Documenti PDF (*.pdf)"));
}

void PdfSeams::Open(const QString& path) {
    if (OpenSlot()) {
        OpenSlot()(path);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void PdfSeams::SetSaveHandler(SaveHandler handler) {
    SaveSlot() = std::move(handler);
}

void PdfSeams::SetOpenHandler(OpenHandler handler) {
    OpenSlot() = std::move(handler);
}

bool SearchModel::Run(search::Finder finder, const search::Query& query, std::string& error) {
    beginResetModel();
    m_finder = std::make_unique<search::Finder>(std::move(finder));
    m_query = query;
    m_query.offset = 0;
    m_query.limit = kPage;
    m_rows.clear();
    m_total = 0;
    search::Page page;
    const bool ok = m_finder->Search(m_query, page, error);
    m_rows = std::move(page.rows);
    m_total = page.total;
    endResetModel();
    return ok;
}

const search::Found* SearchModel::Row(int row) const {
    return row >= 0 && row < static_cast<int>(m_rows.size()) ? &m_rows[static_cast<size_t>(row)]
                                                             : nullptr;
}

int SearchModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int SearchModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(std::size(kResultColumns));
}

QVariant SearchModel::data(const QModelIndex& index, int role) const {
    const search::Found* row = Row(index.row());
    if (row == nullptr || index.column() >= columnCount()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        return Q(row->*kResultColumns[index.column()].member);
    }
    return {};
}

QVariant SearchModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < columnCount()) {
        return QString::fromUtf8(kResultColumns[section].title);
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool SearchModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && m_finder && static_cast<long>(m_rows.size()) < m_total;
}

void SearchModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) {
        return;
    }
    search::Query next = m_query;
    next.offset = static_cast<long>(m_rows.size());
    search::Page page;
    std::string error;
    if (!m_finder->Search(next, page, error)) {
        Q_EMIT Failed(Q(error));
        return;
    }
    if (page.rows.empty()) {
        m_total = static_cast<long>(m_rows.size());
        return;
    }
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(page.rows.size()) - 1);
    for (auto& row : page.rows) {
        m_rows.push_back(std::move(row));
    }
    endInsertRows();
}

void SearchModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount() || !m_finder) {
        return;
    }
    search::Query query = m_query;
    query.sort = kResultColumns[column].sort;
    query.descending = order == Qt::DescendingOrder;
    std::string error;
    if (!Run(*m_finder, query, error)) {
        Q_EMIT Failed(Q(error));
    }
}

frmConsulta::frmConsulta(DorvaneEnv& env, const QString& layoutStore, QWidget* parent)
    : QWidget(parent, Qt::Window), m_env(env), m_layoutStore(layoutStore) {
    setObjectName(QStringLiteral("frmConsulta"));
    setWindowTitle(QStringLiteral("Consulta archivio"));
    setWindowIcon(Icon(QStringLiteral("quorvin")));
    setAttribute(Qt::WA_DeleteOnClose);
    m_model = new SearchModel(this);
    m_typing = new QTimer(this);
    m_typing->setSingleShot(true);
    m_typing->setInterval(kTypingDelayMs);
    connect(m_typing, &QTimer::timeout, this, &frmConsulta::Search);
    connect(m_model, &SearchModel::Failed, this, &frmConsulta::ShowMessage);
    auto* layout = new QVBoxLayout(this);
    BuildFilters();
    BuildPanes();
    layout->addWidget(txtCerca->parentWidget());
    layout->addWidget(m_split, 1);
    resize(1200, 720);
    RestoreLayout();
    Search();
}

frmConsulta::~frmConsulta() = default;

search::Finder frmConsulta::NewFinder() const {
    return search::Finder(m_env.Connection(), m_env.CurrentUser().Id());
}

void frmConsulta::BuildFilters() {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    const auto edit = [&](const char* name, const QString& placeholder) {
        auto* line = new QLineEdit(box);
        line->setObjectName(QString::fromLatin1(name));
        line->setPlaceholderText(placeholder);
        line->setClearButtonEnabled(true);
        connect(line, &QLineEdit::textChanged, m_typing, qOverload<>(&QTimer::start));
        return line;
    };
    const auto labelled = [&](int row, int column, const QString& caption, QWidget* control) {
        auto* label = new QLabel(caption, box);
        label->setBuddy(control);
        grid->addWidget(label, row, column);
        grid->addWidget(control, row, column + 1);
    };
    txtCerca = edit("txtCerca", QStringLiteral("Nome, codice fiscale, protocollo, descrizione…"));
    labelled(0, 0, QStringLiteral("&Cerca:"), txtCerca);
    grid->addWidget(txtCerca, 0, 1, 1, 5);

    cboArchivio = new QComboBox(box);
    cboArchivio->setObjectName(QStringLiteral("cboArchivio"));
    cboArchivio->addItem(QStringLiteral("Tutti gli archivi"), QString());
    for (const auto& archive : NewFinder().ReadableArchives()) {
        cboArchivio->addItem(Q(archive.name), Q(archive.code));
    }
    cboTipo = new QComboBox(box);
    cboTipo->setObjectName(QStringLiteral("cboTipo"));
    cboTipo->addItem(QStringLiteral("Tutti i tipi"), QVariant());
    DorvaneRecordset types(m_env.Connection());
    if (types.Open("select ID_TIPODOC, DESCRIZIONE from SYS_TIPO_DOC_F order by DESCRIZIONE")) {
        for (; !types.Eof(); types.MoveNext()) {
            cboTipo->addItem(Q(types.Value("DESCRIZIONE")),
                             QVariant::fromValue(std::stol(types.Value("ID_TIPODOC"))));
        }
    }
    for (QComboBox* combo : {cboArchivio, cboTipo}) {
        connect(combo, &QComboBox::currentIndexChanged, this, &frmConsulta::Search);
    }
    labelled(1, 0, QStringLiteral("&Archivio:"), cboArchivio);
    labelled(1, 2, QStringLiteral("&Tipo:"), cboTipo);
    txtCodiceFiscale = edit("txtCodiceFiscale", {});
    labelled(1, 4, QStringLiteral("Codice &fiscale:"), txtCodiceFiscale);
    txtProtocollo = edit("txtProtocollo", {});
    labelled(2, 0, QStringLiteral("&Protocollo:"), txtProtocollo);
    txtDal = edit("txtDal", QStringLiteral("GG/MM/AAAA"));
    labelled(2, 2, QStringLiteral("&Dal:"), txtDal);
    txtAl = edit("txtAl", QStringLiteral("GG/MM/AAAA"));
    labelled(2, 4, QStringLiteral("A&l:"), txtAl);
    txtAnno = edit("txtAnno", {});
    labelled(3, 0, QStringLiteral("A&nno:"), txtAnno);
    txtEsito = edit("txtEsito", {});
    labelled(3, 2, QStringLiteral("&Esito:"), txtEsito);
    lblRisultati = new QLabel(box);
    lblRisultati->setObjectName(QStringLiteral("lblRisultati"));
    grid->addWidget(lblRisultati, 3, 4, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(5, 1);
}

void frmConsulta::BuildPanes() {
    m_split = new QSplitter(Qt::Horizontal, this);
    m_split->setObjectName(QStringLiteral("splitConsulta"));
    tvRisultati = new QTableView(m_split);
    tvRisultati->setObjectName(QStringLiteral("tvRisultati"));
    tvRisultati->setModel(m_model);
    tvRisultati->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvRisultati->setSelectionMode(QAbstractItemView::SingleSelection);
    tvRisultati->setAlternatingRowColors(true);
    tvRisultati->setWordWrap(false);
    tvRisultati->verticalHeader()->hide();
    tvRisultati->horizontalHeader()->setStretchLastSection(true);
    tvRisultati->horizontalHeader()->setSortIndicator(0, Qt::DescendingOrder);
    tvRisultati->setSortingEnabled(true);
    connect(tvRisultati->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &frmConsulta::SelectionChanged);

    auto* detail = new QWidget(m_split);
    auto* layout = new QVBoxLayout(detail);
    layout->setContentsMargins(0, 0, 0, 0);
    lblRecord = new QLabel(detail);
    lblRecord->setObjectName(QStringLiteral("lblRecord"));
    lblRecord->setWordWrap(true);
    layout->addWidget(lblRecord);
    m_detailSplit = new QSplitter(Qt::Vertical, detail);
    twCampi = new QTreeWidget(m_detailSplit);
    twCampi->setObjectName(QStringLiteral("twCampi"));
    twCampi->setRootIsDecorated(false);
    twCampi->setHeaderLabels({QStringLiteral("Campo"), QStringLiteral("Valore")});
    twCollegati = new QTreeWidget(m_detailSplit);
    twCollegati->setObjectName(QStringLiteral("twCollegati"));
    twCollegati->setRootIsDecorated(false);
    twCollegati->setHeaderLabels({QStringLiteral("Collegamento"), QStringLiteral("Archivio"),
                                  QStringLiteral("Data"), QStringLiteral("Descrizione")});
    twCollegati->setToolTip(QStringLiteral("Invio o doppio clic apre il documento collegato"));
    connect(twCollegati, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        ShowRecord(item->data(0, kLinkArchive).toString().toStdString(),
                   item->data(0, kLinkRecord).toLongLong());
    });
    layout->addWidget(m_detailSplit, 1);
    auto* buttons = new QHBoxLayout;
    cmdApriPdf = new QPushButton(QStringLiteral("Apri &PDF"), detail);
    cmdApriPdf->setObjectName(QStringLiteral("cmdApriPdf"));
    cmdSalvaPdf = new QPushButton(QStringLiteral("&Salva PDF…"), detail);
    cmdSalvaPdf->setObjectName(QStringLiteral("cmdSalvaPdf"));
    connect(cmdApriPdf, &QPushButton::clicked, this, &frmConsulta::OpenPdf);
    connect(cmdSalvaPdf, &QPushButton::clicked, this, &frmConsulta::SavePdf);
    buttons->addStretch(1);
    buttons->addWidget(cmdApriPdf);
    buttons->addWidget(cmdSalvaPdf);
    layout->addLayout(buttons);
    m_split->setStretchFactor(0, 3);
    m_split->setStretchFactor(1, 2);
    new QShortcut(QKeySequence::Find, this, [this] {
        txtCerca->setFocus();
        txtCerca->selectAll();
    });
    ShowRecord({}, -1);
}

bool frmConsulta::BuildQuery(search::Query& query) {
    query.text = txtCerca->text().toStdString();
    query.archive = cboArchivio->currentData().toString().toStdString();
    if (cboTipo->currentData().isValid()) {
        query.docType = static_cast<long>(cboTipo->currentData().toLongLong());
    }
    query.taxCode = txtCodiceFiscale->text().toStdString();
    query.protocol = txtProtocollo->text().toStdString();
    query.outcome = txtEsito->text().toStdString();
    // A date or year still being typed does not filter yet.
    for (auto [edit, date] : {std::pair{txtDal, &query.from}, std::pair{txtAl, &query.to}}) {
        if (!edit->text().trimmed().isEmpty()) {
            *date = ParseDate(edit->text().toStdString());
            if (!*date) {
                return false;
            }
        }
    }
    if (!txtAnno->text().trimmed().isEmpty()) {
        const auto year = ParseInteger(txtAnno->text().toStdString());
        if (!year) {
            return false;
        }
        query.year = static_cast<long>(*year);
    }
    const QHeaderView* header = tvRisultati->horizontalHeader();
    const int column = header->sortIndicatorSection();
    if (column >= 0 && column < static_cast<int>(std::size(kResultColumns))) {
        query.sort = kResultColumns[column].sort;
        query.descending = header->sortIndicatorOrder() == Qt::DescendingOrder;
    }
    return true;
}

void frmConsulta::Search() {
    m_typing->stop();
    search::Query query;
    if (!BuildQuery(query)) {
        lblRisultati->setText(QStringLiteral("Data o anno non validi."));
        return;
    }
    std::string error;
    if (!m_model->Run(NewFinder(), query, error)) {
        ShowMessage(Q(error));
        return;
    }
    lblRisultati->setText(m_model->Total() == 1
                              ? QStringLiteral("1 documento trovato")
                              : QStringLiteral("%1 documenti trovati").arg(m_model->Total()));
    if (m_model->rowCount() > 0) {
        if (!m_columnsSized) {
            // Until the user sizes them (and the sizes are kept), columns fit the first
            // results rather than the header's narrow default.
            m_columnsSized = true;
            tvRisultati->resizeColumnsToContents();
            for (int c = 0; c < m_model->columnCount(); ++c) {
                tvRisultati->setColumnWidth(c, std::min(tvRisultati->columnWidth(c), 240));
            }
        }
        tvRisultati->selectRow(0);
    } else {
        ShowRecord({}, -1);
    }
}

void frmConsulta::SelectionChanged() {
    const search::Found* row = m_model->Row(tvRisultati->currentIndex().row());
    if (row != nullptr) {
        ShowRecord(row->archive, row->record);
    }
}

void frmConsulta::ShowRecord(const std::string& archive, long record) {
    twCampi->clear();
    twCollegati->clear();
    m_detail = search::Detail{};
    std::string error;
    if (archive.empty() || !NewFinder().Read(archive, record, m_detail, error)) {
        m_detail = search::Detail{};
        lblRecord->setText(error.empty() ? QStringLiteral("Nessun documento selezionato.")
                                         : Q(error));
        cmdApriPdf->setEnabled(false);
        cmdSalvaPdf->setEnabled(false);
        return;
    }
    lblRecord->setText(
        QStringLiteral("<b>%1</b><br>%2, record %3")
            .arg(Q(m_detail.description).toHtmlEscaped(), Q(m_detail.archiveName).toHtmlEscaped())
            .arg(m_detail.record));
    for (const auto& field : m_detail.fields) {
        auto* item = new QTreeWidgetItem(twCampi, {Q(field.name), Q(field.value)});
        item->setToolTip(1, item->text(1));
    }
    twCampi->resizeColumnToContents(0);
    const auto links = [this](const QString& kind, const std::vector<search::Linked>& linked) {
        for (const auto& link : linked) {
            auto* item = new QTreeWidgetItem(
                twCollegati, {kind, Q(link.archiveName), Q(link.date), Q(link.description)});
            item->setData(0, kLinkArchive, Q(link.archive));
            item->setData(0, kLinkRecord, QVariant::fromValue(link.record));
            item->setToolTip(3, item->text(3));
        }
    };
    links(QStringLiteral("Superiore"), m_detail.parents);
    links(QStringLiteral("Inferiore"), m_detail.children);
    for (int c = 0; c < 3; ++c) {
        twCollegati->resizeColumnToContents(c);
    }
    const bool hasPdf = !m_detail.storedFile.empty();
    cmdApriPdf->setEnabled(hasPdf);
    cmdSalvaPdf->setEnabled(hasPdf);
}

bool frmConsulta::CurrentPdf(std::string& bytes) {
    std::string error;
    if (m_detail.record < 0 || !NewFinder().Pdf(m_detail.archive, m_detail.record, bytes, error)) {
        ShowMessage(error.empty() ? QStringLiteral("Nessun documento selezionato.") : Q(error));
        return false;
    }
    return true;
}

void frmConsulta::OpenPdf() {
    std::string bytes;
    if (!CurrentPdf(bytes)) {
        return;
    }
    // A file of its own per record, so that two open PDFs do not overwrite each other.
    const QString path = QDir(m_openedPdfs.path())
                             .filePath(QStringLiteral("%1_%2_%3")
                                           .arg(Q(m_detail.archive))
                                           .arg(m_detail.record)
                                           .arg(Q(m_detail.storedFile)));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size())) {
        ShowMessage(QStringLiteral("Impossibile scrivere il file '%1'.").arg(path));
        return;
    }
    file.close();
    PdfSeams::Open(path);
}

void frmConsulta::SavePdf() {
    std::string bytes;
    if (!CurrentPdf(bytes)) {
        return;
    }
    const QString suggested =
        QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
            .filePath(Q(m_detail.storedFile));
    const QString path = PdfSeams::AskSavePath(this, suggested);
    if (path.isEmpty()) {
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size())) {
        ShowMessage(QStringLiteral("Impossibile scrivere il file '%1'.").arg(path));
    }
}

void frmConsulta::ShowMessage(const QString& text) {
    MessageBox::Warning(this, text);
}

void frmConsulta::closeEvent(QCloseEvent* event) {
    SaveLayout();
    QWidget::closeEvent(event);
}

namespace {

std::unique_ptr<QSettings> LayoutSettings(const QString& store) {
    auto settings = store.isEmpty() ? std::make_unique<QSettings>()
                                    : std::make_unique<QSettings>(store, QSettings::IniFormat);
    settings->beginGroup(QStringLiteral("ConsultaArchivio"));
    return settings;
}

} // namespace

void frmConsulta::SaveLayout() {
    auto settings = LayoutSettings(m_layoutStore);
    settings->setValue(QStringLiteral("Geometria"), saveGeometry());
    settings->setValue(QStringLiteral("Colonne"), tvRisultati->horizontalHeader()->saveState());
    settings->setValue(QStringLiteral("Divisione"), m_split->saveState());
    settings->setValue(QStringLiteral("DivisioneDettaglio"), m_detailSplit->saveState());
}

void frmConsulta::RestoreLayout() {
    auto settings = LayoutSettings(m_layoutStore);
    restoreGeometry(settings->value(QStringLiteral("Geometria")).toByteArray());
    m_columnsSized = tvRisultati->horizontalHeader()->restoreState(
        settings->value(QStringLiteral("Colonne")).toByteArray());
    m_split->restoreState(settings->value(QStringLiteral("Divisione")).toByteArray());
    m_detailSplit->restoreState(
        settings->value(QStringLiteral("DivisioneDettaglio")).toByteArray());
}

} // namespace quorvin::gui
