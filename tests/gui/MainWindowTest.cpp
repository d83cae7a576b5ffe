// The main window: sign-in, the enabling rules, PROCESS and STOP, quitting during a pass.
#include "GuiTestSupport.h"

#include "app/Startup.h"

#include "tools/fixture/FixtureWriter.h"

#include "engine/bvTel.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

namespace quorvin::test {
namespace {

const QStringList kToolKeys = {"SELECTTELFOLDER", "OPENTELFOLDER", "LOGIN", "PROCESS", "STOP",
                               "LOGVIEW",         "QUIT"};
const QStringList kRuledMenus = {"mnuSelectTelFolder", "mnuSelectNolvaFolder", "mnuOpenTelFolder",
                                 "mnuOpenNolvaFolder", "mnuTipi"};
const QStringList kFreeMenus = {"mnuQuit", "mnuLogin", "mnuAbout"};
const QStringList kFolderControls = {"txtTelFolder", "cmdTelFolder", "txtNolvaErrFolder",
                                     "cmdNolvaErrFolder", "chkBackup"};

// Which tools and controls are enabled, by name, for comparison with a state's table row.
QStringList Enabled(gui::frmMain& window) {
    QStringList enabled;
    for (const auto& key : kToolKeys) {
        if (window.Tool(key)->isEnabled()) {
            enabled << key;
        }
    }
    for (const auto& name : kRuledMenus + kFreeMenus) {
        if (window.findChild<QAction*>(name)->isEnabled()) {
            enabled << name;
        }
    }
    for (const auto& name : kFolderControls) {
        if (window.findChild<QWidget*>(name)->isEnabled()) {
            enabled << name;
        }
    }
    return enabled;
}

const QString kStoppedAfterFirst =
    QStringLiteral("Elaborazione interrotta dall'utente dopo 0 file.");

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(GuiFixture::PrepareArchive()); }

    void startUpWithAMissingArchiveSaysSoInABox() {
        GuiFixture f; // answers the boxes
        QTemporaryDir dir;
        gui::StartOptions options;
        options.archive = dir.filePath("manca.sqlite").toStdString();
        DorvaneEnv env;
        // Named, so not the first start: nothing is asked and nothing created.
        QCOMPARE(gui::StartArchive(env, options), gui::ArchiveStart::Failed);
        QCOMPARE(f.boxes.size(), 1);
        QVERIFY(f.boxes[0].startsWith("Archivio " + dir.filePath("manca.sqlite") + " inesistente"));
        QVERIFY(!QFile::exists(dir.filePath("manca.sqlite")));
    }

    void cancelledSignInLeavesOnlyLoginAndQuit() {
        GuiFixture f;
        gui::frmMain& window = f.Open(false);
        QCOMPARE(f.signInPrompts, 1);
        QVERIFY(!window.LoggedIn());
        QCOMPARE(Enabled(window), QStringList({"LOGIN", "QUIT"}) + kFreeMenus);
        QCOMPARE(f.Panel("USER"), QStringLiteral("Utente corrente: <nessuno>"));
        // The folders were read all the same.
        QCOMPARE(window.findChild<QLineEdit*>("txtTelFolder")->text(),
                 QString::fromStdString(f.ReceiptFolder()));

        // A later sign-in from the toolbar enables the idle state.
        f.cancelSignIn = false;
        window.Tool("LOGIN")->trigger();
        QVERIFY(window.LoggedIn());
        QVERIFY(f.Panel("USER").startsWith("Utente corrente: "));
        QVERIFY(!f.Panel("USER").endsWith("<nessuno>"));
    }

    void enablingRulesIdleBusyAndAfterALog() {
        GuiFixture f;
        gui::frmMain& window = f.Open();
        f.Unknown("lettera.pdf");
        const QStringList idle =
            QStringList({"SELECTTELFOLDER", "OPENTELFOLDER", "LOGIN", "PROCESS", "QUIT"}) +
            kRuledMenus + kFreeMenus + kFolderControls;
        QCOMPARE(Enabled(window), idle);

        QStringList busy;
        QTimer::singleShot(0, &window, [&] { busy = Enabled(window); });
        window.Tool("PROCESS")->trigger();
        QCOMPARE(busy, QStringList({"STOP"}) + kFreeMenus);

        QVERIFY(!window.Runner()->m_sLastLogFile.empty());
        QStringList withLog = idle;
        withLog.insert(withLog.indexOf("QUIT"), "LOGVIEW");
        QCOMPARE(Enabled(window), withLog);
        QCOMPARE(f.ListMessages(), QStringList({"File non riconosciuto."}));
        QVERIFY(f.boxes.isEmpty());
    }

    void folderCommandsUseTheDialogsAndTheDesktop() {
        GuiFixture f;
        gui::frmMain& window = f.Open();
        QStringList titles;
        gui::FolderDialog::SetHandler([&](const QString& title, const QString&) {
            titles << title;
            return QString::fromStdString(f.RejectFolder());
        });
        QTest::mouseClick(window.findChild<QToolButton*>("cmdNolvaErrFolder"), Qt::LeftButton);
        QCOMPARE(window.findChild<QLineEdit*>("txtNolvaErrFolder")->text(),
                 QString::fromStdString(f.RejectFolder()));
        QCOMPARE(window.Runner()->m_sNolvaErrFolder, f.RejectFolder());
        window.Tool("SELECTTELFOLDER")->trigger();
        QCOMPARE(window.Runner()->m_sTelFolder, f.RejectFolder());
        QCOMPARE(titles, QStringList({"Quorvin", "Quorvin"}));

        QStringList opened;
        gui::Desktop::SetHandler([&](const QString& folder) { opened << folder; });
        window.findChild<QAction*>("mnuOpenNolvaFolder")->trigger(); // does not exist yet
        QCOMPARE(f.boxes.size(), 1);
        QVERIFY(opened.isEmpty());
        QDir().mkpath(QString::fromStdString(f.RejectFolder()));
        window.Tool("OPENTELFOLDER")->trigger();
        QCOMPARE(opened, QStringList({QString::fromStdString(f.RejectFolder())}));
    }

    void processWithBothFoldersMissing() {
        GuiFixture f;
        gui::frmMain& window = f.Open(true, GuiFixture::Rejects::Missing);
        const std::string missing = f.Path("non-esiste");
        window.findChild<QLineEdit*>("txtTelFolder")->setText(QString::fromStdString(missing));
        window.Tool("PROCESS")->trigger();

        const auto message = [](const std::string& folder) {
            return QStringLiteral("Cartella %1 inesistente o non raggiungibile.\nVerificare la "
                                  "correttezza del percorso impostato e i permessi di accesso.")
                .arg(QString::fromStdString(folder));
        };
        QCOMPARE(f.boxes, QStringList({message(missing), message(f.Path("nessuna"))}));
        QVERIFY(f.ListMessages().isEmpty());
        QVERIFY(f.LogFiles().isEmpty());
        QVERIFY(!window.Tool("LOGVIEW")->isEnabled());
        QVERIFY(window.Tool("PROCESS")->isEnabled());
    }

    void emptyRejectSettingRunsOnlyTheReceiptPass() {
        GuiFixture f;
        gui::frmMain& window = f.Open(true, GuiFixture::Rejects::Empty);
        QVERIFY(window.findChild<QLineEdit*>("txtNolvaErrFolder")->text().isEmpty());
        window.Tool("PROCESS")->trigger();
        QVERIFY(f.boxes.isEmpty());
        QCOMPARE(f.ListMessages(), QStringList({"Non ci sono file da elaborare."}));
        QVERIFY(f.LogFiles().isEmpty());
    }

    void typedFolderIsUsedAtOnce() {
        GuiFixture f;
        gui::frmMain& window = f.Open(true, GuiFixture::Rejects::Folder);
        f.Unknown("nella-cartella-impostata.pdf");
        QDir(QString::fromStdString(f.Path(""))).mkpath("altra");
        fixture::WritePdf({{"Nessuna ricevuta qui"}}, f.Path("altra/digitata.pdf"), nullptr);

        auto* text = window.findChild<QLineEdit*>("txtTelFolder");
        text->selectAll();
        QTest::keyClicks(text, QString::fromStdString(f.Path("altra")));
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(text, Qt::Key_F5); // PROCESS from the keyboard

        const auto* list = window.findChild<QTreeWidget*>("lvOperations");
        const auto rows = list->findItems("File non riconosciuto.", Qt::MatchExactly, 2);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0]->text(1), QString::fromStdString(f.Path("altra/digitata.pdf")));
        // The newest row is the selected one.
        QCOMPARE(list->currentItem(), list->topLevelItem(list->topLevelItemCount() - 1));
        QVERIFY(f.boxes.isEmpty());
    }

    void stopDuringAPassEndsItAfterTheCurrentFile() {
        GuiFixture f;
        gui::frmMain& window = f.Open();
        f.Receipt("r01_f24_trasmissione.txt", "a.pdf");
        f.Unknown("b.pdf");
        f.Unknown("c.pdf");
        // The first event handled inside the pass is the click on STOP.
        QTimer::singleShot(0, &window, [&] { window.Tool("STOP")->trigger(); });
        window.Tool("PROCESS")->trigger();

        const QStringList messages = f.ListMessages();
        QVERIFY2(messages.contains(kStoppedAfterFirst), qPrintable(messages.join('\n')));
        QVERIFY(!messages.contains("File non riconosciuto."));
        QVERIFY(f.InReceiptFolder("b.pdf"));
        QVERIFY(f.InReceiptFolder("c.pdf"));
        QCOMPARE(f.LogFiles().size(), 1); // the log is saved all the same
        QVERIFY(!window.IsBusy());
        QVERIFY(!window.Tool("STOP")->isEnabled());

        // The next PROCESS starts afresh.
        window.Tool("PROCESS")->trigger();
        QVERIFY(!f.ListMessages().contains(kStoppedAfterFirst));
        QCOMPARE(f.ListMessages().count("File non riconosciuto."), 2);
    }

    void stopWhileTheEngineArchivesInterruptsThatFile() {
        GuiFixture f;
        gui::frmMain& window = f.Open();
        f.Receipt("r01_f24_trasmissione.txt", "a.pdf");
        f.Unknown("b.pdf");
        // The click arrives while the engine's own job stores the single receipts.
        bool clicked = false;
        window.Runner()->DocTel().ConnectTelLogEvent(
            [&](long, const std::string&, const std::string&, const std::string& message) {
                if (!clicked && message.starts_with("Archiviazione progressivo")) {
                    clicked = true;
                    window.Tool("STOP")->trigger();
                }
            });
        window.Tool("PROCESS")->trigger();

        QVERIFY(clicked);
        const QStringList messages = f.ListMessages();
        QVERIFY2(messages.contains(kStoppedAfterFirst), qPrintable(messages.join('\n')));
        QVERIFY(messages.contains("Archiviazione interrotta dall'utente"));
        // Nothing of the interrupted file was kept: it waits for the next run.
        QVERIFY(f.InReceiptFolder("a.pdf"));
        QVERIFY(f.InReceiptFolder("b.pdf"));
    }

    void quittingDuringAPassStopsItAndClosesAfterwards() {
        GuiFixture f;
        gui::frmMain& window = f.Open();
        f.Unknown("a.pdf");
        f.Unknown("b.pdf");
        f.answerYes = false;
        bool stillOpenAfterRefusal = false;
        QTimer::singleShot(0, &window, [&] {
            window.close(); // refused: the pass goes on
            stillOpenAfterRefusal = window.isVisible() && window.IsBusy();
        });
        window.Tool("PROCESS")->trigger();
        QVERIFY(stillOpenAfterRefusal);
        QCOMPARE(f.ListMessages().count("File non riconosciuto."), 2);

        f.answerYes = true;
        bool closedUnderThePass = true;
        QTimer::singleShot(0, &window, [&] {
            window.findChild<QAction*>("mnuQuit")->trigger();
            closedUnderThePass = !window.isVisible();
        });
        window.Tool("PROCESS")->trigger();
        QVERIFY(!closedUnderThePass);
        QVERIFY(f.ListMessages().contains(kStoppedAfterFirst));
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(f.boxes.count(), 2);
        // Closing wrote the settings.
        QCOMPARE(f.Settings().Load().lastFolder, f.ReceiptFolder());
    }

    void changingUserDuringAPassSignsInAfterIt() {
        GuiFixture f;
        gui::frmMain& window = f.Open();
        f.Unknown("a.pdf");
        f.Unknown("b.pdf");
        int promptsDuringPass = -1;
        QTimer::singleShot(0, &window, [&] {
            window.findChild<QAction*>("mnuLogin")->trigger();
            promptsDuringPass = f.signInPrompts;
        });
        f.cancelSignIn = true;
        window.Tool("PROCESS")->trigger();
        QCOMPARE(promptsDuringPass, 1); // only the start-up one
        QVERIFY(f.ListMessages().contains(kStoppedAfterFirst));
        QTRY_COMPARE(f.signInPrompts, 2);
        QVERIFY(!window.LoggedIn());
        QCOMPARE(f.Panel("USER"), QStringLiteral("Utente corrente: <nessuno>"));
    }
};

} // namespace quorvin::test

int RunMainWindowTests(int argc, char** argv) {
    quorvin::test::MainWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainWindowTest.moc"
