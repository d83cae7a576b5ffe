#include "app/frmMain.h"

#include "app/FileProgress.h"
#include "app/Icons.h"
#include "app/LogViewer.h"
#include "app/StatusPanel.h"
#include "archive/DorvaneEnv.h"
#include "engine/pdf/PdfReader.h"
#include "shell/Settings.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quorvin::gui {
namespace {

// The toolbar: key (by which a click is dispatched), caption, help text, picture, and a
// key for the keyboard where the command has no menu item.
struct ToolDef {
    const char* key;
    const char* caption;
    const char* help;
    const char* icon;
    QKeySequence shortcut;
};

const ToolDef kToolDefs[] = {
    {"SELECTTELFOLDER",
     "Cartella",
     "Seleziona la cartella che contiene i file Entratel da elaborare",
     "folder",
     {}},
    {"OPENTELFOLDER",
     "Apri",
     "Apre la cartella contenente i file Entratel da elaborare",
     "open",
     {}},
    {"LOGIN", "Cambia utente", "Esegue l'accesso al database", "login", {}},
    {"PROCESS", "Archivia", "Archivia i file PDF Entratel", "process", QKeySequence(Qt::Key_F5)},
    {"STOP", "Stop", "Interrompe l'elaborazione in corso", "stop",
     QKeySequence(Qt::SHIFT | Qt::Key_F5)},
    {"LOGVIEW", "Log", "Visualizza l'ultimo log salvato", "log",
     QKeySequence(Qt::CTRL | Qt::Key_L)},
    {"CONSULTA", "Consulta", "Cerca e consulta i documenti archiviati", "search",
     QKeySequence(Qt::CTRL | Qt::Key_F)},
    {"QUIT", "Esci", "Esce dal programma", "quit", {}},
};

// Margin around and between the main controls.
constexpr int kMargin = 4;
// Wide enough for dd/mm/yyyy hh:mm:ss.
constexpr int kDateColumnWidth = 150;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

frmMain::frmMain(DorvaneEnv& env, const shell::Settings& settings, shell::Clock clock,
                 QWidget* parent)
    : QMainWindow(parent), m_env(env), m_settings(settings), m_clock(std::move(clock)) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Archiviazione trasmissioni telematiche"));
    setWindowIcon(Icon(QStringLiteral("quorvin")));
    BuildMenus();
    BuildToolbar();
    BuildCentre();
    BuildStatusBar();
    BuildRules();
    setMinimumSize(640, 420);
    resize(900, 640);
    RestoreLayout();
}

void frmMain::RestoreLayout() {
    const shell::WindowLayout layout = m_settings.LoadLayout();
    if (!layout.geometry.isEmpty()) {
        restoreGeometry(layout.geometry);
    }
    if (!layout.splitter.isEmpty()) {
        splMain->restoreState(layout.splitter);
    }
    if (!layout.columns.isEmpty()) {
        lvOperations->header()->restoreState(layout.columns);
    }
}

frmMain::~frmMain() {
    if (m_cursorBusy) {
        QApplication::restoreOverrideCursor();
    }
}

void frmMain::BuildMenus() {
    const auto item = [this](QMenu* menu, const char* name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    QMenu* mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuSelectTelFolder =
        item(mnuFile, "mnuSelectTelFolder", QStringLiteral("&Seleziona cartella Entratel"));
    mnuSelectNolvaFolder = item(mnuFile, "mnuSelectNolvaFolder",
                                QStringLiteral("Seleziona cartella s&carto Nolva console"));
    mnuOpenTelFolder = item(mnuFile, "mnuOpenTelFolder", QStringLiteral("Apri cartella &Entratel"));
    mnuOpenNolvaFolder =
        item(mnuFile, "mnuOpenNolvaFolder", QStringLiteral("Apri cartella scarto Nolva &console"));
    mnuOpenLogFolder = item(mnuFile, "mnuOpenLogFolder", QStringLiteral("Apri cartella &log"));
    mnuConsulta = item(mnuFile, "mnuConsulta", QStringLiteral("C&onsulta archivio..."));
    mnuFile->addSeparator();
    mnuQuit = item(mnuFile, "mnuQuit", QStringLiteral("&Esci"));

    QMenu* mnuUser = menuBar()->addMenu(QStringLiteral("&Utente"));
    mnuUser->setObjectName(QStringLiteral("mnuUser"));
    mnuLogin = item(mnuUser, "mnuLogin", QStringLiteral("&Cambia utente"));

    QMenu* mnuSettings = menuBar()->addMenu(QStringLiteral("&Impostazioni"));
    mnuSettings->setObjectName(QStringLiteral("mnuSettings"));
    mnuTipi = item(mnuSettings, "mnuTipi", QStringLiteral("&Tipi ricevute da archiviare..."));

    QMenu* mnuInfo = menuBar()->addMenu(QStringLiteral("&?"));
    mnuInfo->setObjectName(QStringLiteral("mnuInfo"));
    mnuAbout = item(mnuInfo, "mnuAbout", QStringLiteral("&Informazioni su..."));

    connect(mnuSelectTelFolder, &QAction::triggered, this, &frmMain::SelectTelFolder);
    connect(mnuSelectNolvaFolder, &QAction::triggered, this, &frmMain::SelectNolvaFolder);
    connect(mnuOpenTelFolder, &QAction::triggered, this, &frmMain::OpenTelFolder);
    connect(mnuOpenNolvaFolder, &QAction::triggered, this, &frmMain::OpenNolvaFolder);
    connect(mnuOpenLogFolder, &QAction::triggered, this, &frmMain::OpenLogFolder);
    connect(mnuQuit, &QAction::triggered, this, &frmMain::QuitCommand);
    connect(mnuConsulta, &QAction::triggered, this, [this] { OpenConsult(); });
    connect(mnuLogin, &QAction::triggered, this, &frmMain::ChangeUserCommand);
    connect(mnuTipi, &QAction::triggered, this, &frmMain::ShowTypeDialog);
    connect(mnuAbout, &QAction::triggered, this, &frmMain::ShowAbout);
}

void frmMain::BuildToolbar() {
    tlbCommands = addToolBar(QStringLiteral("Band1"));
    tlbCommands->setObjectName(QStringLiteral("tlbCommands"));
    tlbCommands->setMovable(false);
    tlbCommands->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tlbCommands->setIconSize(QSize(32, 32));
    for (const auto& def : kToolDefs) {
        const QString key = QString::fromLatin1(def.key);
        QAction* tool = tlbCommands->addAction(Icon(QString::fromLatin1(def.icon)),
                                               QString::fromUtf8(def.caption));
        tool->setObjectName(key);
        tool->setData(key);
        tool->setToolTip(QString::fromUtf8(def.help));
        tool->setStatusTip(QString::fromUtf8(def.help));
        tool->setShortcut(def.shortcut);
        m_tools[key] = tool;
    }
    connect(tlbCommands, &QToolBar::actionTriggered, this, [this](QAction* tool) {
        // The runs offered by the "Log" drop-down are its own actions, not tools.
        if (m_tools.count(tool->data().toString()) > 0) {
            DispatchTool(tool->data().toString());
        }
    });

    // "Log" opens the last run; its arrow offers the older ones.
    m_logMenu = new QMenu(this);
    m_logMenu->setObjectName(QStringLiteral("mnuLogRuns"));
    connect(m_logMenu, &QMenu::aboutToShow, this, &frmMain::FillLogMenu);
    QAction* logTool = Tool(QStringLiteral("LOGVIEW"));
    logTool->setMenu(m_logMenu);
    if (auto* button = qobject_cast<QToolButton*>(tlbCommands->widgetForAction(logTool))) {
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
}

void frmMain::BuildCentre() {
    auto* centre = new QWidget(this);
    auto* layout = new QVBoxLayout(centre);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(kMargin);

    frameArch = new QGroupBox(QStringLiteral("Parametri di archiviazione"));
    frameArch->setObjectName(QStringLiteral("frameArch"));
    auto* grid = new QGridLayout(frameArch);
    grid->setColumnStretch(1, 1);

    const auto folderRow = [&](int row, const char* labelName, const QString& caption,
                               const char* textName, const char* buttonName,
                               const QString& buttonTip) {
        auto* label = new QLabel(caption, frameArch);
        label->setObjectName(QString::fromLatin1(labelName));
        auto* text = new QLineEdit(frameArch);
        text->setObjectName(QString::fromLatin1(textName));
        label->setBuddy(text);
        auto* button = new QToolButton(frameArch);
        button->setObjectName(QString::fromLatin1(buttonName));
        button->setIcon(Icon(QStringLiteral("folder")));
        button->setToolTip(buttonTip);
        button->setAccessibleName(buttonTip);
        grid->addWidget(label, row, 0);
        grid->addWidget(text, row, 1);
        grid->addWidget(button, row, 2);
        return std::pair{text, button};
    };
    std::tie(txtTelFolder, cmdTelFolder) = folderRow(
        0, "lblTelFolder", QStringLiteral("Cartella ricevute Entratel da elaborare:"),
        "txtTelFolder", "cmdTelFolder",
        QStringLiteral("Seleziona la cartella che contiene i file Entratel da elaborare"));
    std::tie(txtNolvaErrFolder, cmdNolvaErrFolder) =
        folderRow(1, "lblNolvaErrFolder", QStringLiteral("Cartella file di scarto Nolva:"),
                  "txtNolvaErrFolder", "cmdNolvaErrFolder",
                  QStringLiteral("Seleziona cartella scarto Nolva console"));
    chkBackup =
        new QCheckBox(QStringLiteral("&Esegui il backup dei file Entratel archiviati"), frameArch);
    chkBackup->setObjectName(QStringLiteral("chkBackup"));
    chkBackup->setToolTip(QStringLiteral("Sposta i file archiviati in una cartella di backup "
                                         "contenuta nella cartella dei file da elaborare"));
    grid->addWidget(chkBackup, 2, 0, 1, 3);
    // The settings above, the list below; the user moves the border between them.
    splMain = new QSplitter(Qt::Vertical, centre);
    splMain->setObjectName(QStringLiteral("splMain"));
    splMain->setChildrenCollapsible(false);
    splMain->addWidget(frameArch);

    lvOperations = new QTreeWidget(splMain);
    lvOperations->setObjectName(QStringLiteral("lvOperations"));
    lvOperations->setRootIsDecorated(false);
    lvOperations->setUniformRowHeights(true);
    lvOperations->setAlternatingRowColors(true);
    lvOperations->setHeaderLabels(
        {QStringLiteral("DataOra"), QStringLiteral("File"), QStringLiteral("Messaggio")});
    lvOperations->header()->setStretchLastSection(true);
    lvOperations->header()->setSectionResizeMode(QHeaderView::Interactive);
    // What matters is at the start of a message: cut at the end, the whole in a tooltip.
    lvOperations->setTextElideMode(Qt::ElideRight);
    splMain->addWidget(lvOperations);
    splMain->setStretchFactor(0, 0);
    splMain->setStretchFactor(1, 1);
    layout->addWidget(splMain, 1);
    connect(lvOperations, &QTreeWidget::itemActivated, this, &frmMain::OpenArchivedRecord);
    setCentralWidget(centre);

    connect(txtTelFolder, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_runner) {
            m_runner->m_sTelFolder = text.toStdString();
        }
    });
    connect(txtNolvaErrFolder, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (m_runner) {
            m_runner->m_sNolvaErrFolder = text.toStdString();
        }
    });
    connect(chkBackup, &QCheckBox::toggled, this, [this](bool checked) {
        if (m_runner) {
            m_runner->m_bSaveBackups = checked;
        }
    });
    connect(cmdTelFolder, &QToolButton::clicked, this, &frmMain::SelectTelFolder);
    connect(cmdNolvaErrFolder, &QToolButton::clicked, this, &frmMain::SelectNolvaFolder);

    setTabOrder(txtTelFolder, cmdTelFolder);
    setTabOrder(cmdTelFolder, txtNolvaErrFolder);
    setTabOrder(txtNolvaErrFolder, cmdNolvaErrFolder);
    setTabOrder(cmdNolvaErrFolder, chkBackup);
    setTabOrder(chkBackup, lvOperations);
}

void frmMain::BuildStatusBar() {
    QStatusBar* sbInfo = statusBar();
    sbInfo->setObjectName(QStringLiteral("sbInfo"));
    sbInfo->setSizeGripEnabled(true);
    for (const char* key : {"USER", "FILE", "MSG"}) {
        auto* panel =
            new StatusPanel(std::string(key) == "FILE" ? Qt::ElideMiddle : Qt::ElideRight, sbInfo);
        panel->setObjectName(QStringLiteral("panel%1").arg(QString::fromLatin1(key)));
        panel->setAccessibleName(QString::fromLatin1(key));
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setMinimumWidth(std::string(key) == "MSG" ? 120 : 180);
        sbInfo->addWidget(panel, std::string(key) == "MSG" ? 1 : 0);
        m_panels[key] = panel;
    }
    pbFiles = new FileProgress(sbInfo);
    pbFiles->setObjectName(QStringLiteral("pbFiles"));
    pbFiles->setFixedWidth(320);
    sbInfo->addPermanentWidget(pbFiles);
    pbFiles->hide(); // shown while a pass runs
    // Help texts of the tools would hide the panels.
    connect(sbInfo, &QStatusBar::messageChanged, sbInfo, [sbInfo](const QString& text) {
        if (!text.isEmpty()) {
            sbInfo->clearMessage();
        }
    });
}

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_bFirstActivate) {
        m_bFirstActivate = false;
        // After the window is on screen, so that the sign-in dialog stands over it.
        QTimer::singleShot(0, this, &frmMain::Form_FirstActivate);
    }
}

void frmMain::Form_FirstActivate() {
    shell::RunView& view = *this;
    m_runner = std::make_unique<shell::ProcessRunner>(m_env, view, m_clock);
    if (m_settings.LoadLayout().columns.isEmpty()) {
        FitListColumns();
    }
    m_runner->LogInit();
    UpdateControls(false, false);

    const shell::FolderSettings folders = m_settings.Load();
    txtTelFolder->setText(Q(folders.lastFolder));
    txtNolvaErrFolder->setText(Q(folders.lastFolderNolva));
    chkBackup->setChecked(folders.saveBackups);
    m_runner->m_sTelFolder = folders.lastFolder;
    m_runner->m_sNolvaErrFolder = folders.lastFolderNolva;
    m_runner->m_bSaveBackups = folders.saveBackups;
    m_settings.LoadTypeFlags(m_runner->m_colTipiDoc);
    pdf::ReaderLimits limits;
    limits.secondsPerFile = m_settings.ReadLimitSeconds(limits.secondsPerFile);
    pdf::DefaultReader().Limits(limits);

    ChangeUser(true);
}

void frmMain::FitListColumns() {
    const int width = lvOperations->viewport()->width();
    const int dateWidth =
        qMax(kDateColumnWidth,
             lvOperations->fontMetrics().horizontalAdvance(QStringLiteral("00/00/0000 00:00:00")) +
                 6 * kMargin);
    lvOperations->setColumnWidth(0, dateWidth);
    lvOperations->setColumnWidth(1, width / 3);
    lvOperations->setColumnWidth(2, qMax(0, width - dateWidth - width / 3 - kMargin));
}

void frmMain::closeEvent(QCloseEvent* event) {
    if (m_runner && m_runner->Running()) {
        // The pass runs under this window: stop it, and close once it has ended.
        event->ignore();
        if (!m_closeAfterRun &&
            ConfirmStop(QStringLiteral("È in corso un'elaborazione. Interromperla e uscire "
                                       "dal programma?"))) {
            m_closeAfterRun = true;
        }
        return;
    }
    Form_Unload();
    if (m_logViewer) {
        m_logViewer->close();
    }
    event->accept();
}

void frmMain::Form_Unload() {
    if (m_unloaded || !m_runner) {
        return;
    }
    m_unloaded = true;
    m_settings.Save(shell::FolderSettings{txtTelFolder->text().toStdString(),
                                          txtNolvaErrFolder->text().toStdString(),
                                          chkBackup->isChecked()});
    m_settings.SaveLayout(shell::WindowLayout{saveGeometry(), splMain->saveState(),
                                              lvOperations->header()->saveState()});
}

} // namespace quorvin::gui
