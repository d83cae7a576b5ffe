// Daily use of the window: the first start, what a run tells, STOP, the remembered layout
// and the older logs.
#include "GuiTestSupport.h"

#include "app/LoginDialog.h"
#include "app/Startup.h"
#include "archive/ArchiveAdmin.h"
#include "archive/Connection.h"
#include "archive/ThrowawayPostgres.h"
#include "engine/bvTel.h"
#include "shell/OperationLog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSplitter>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>

namespace quorvin::test {
namespace {

// An environment variable for the length of a test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name)) {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }
    ~ScopedEnv() {
        if (m_had) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

QTreeWidget* List(gui::frmMain& window) {
    return window.findChild<QTreeWidget*>("lvOperations");
}

void SaveLog(const std::string& path, const std::string& message) {
    shell::OperationLog log;
    log.Append(shell::LogRecord{QDateTime(QDate(2010, 6, 1), QTime(8, 0)), "", message,
                                "ProcessTelFiles()"});
    std::string error;
    if (!log.Save(path, error)) {
        qFatal("%s", error.c_str());
    }
}

// The tooltip pointing at widget shows.
QString ToolTipOf(QWidget* widget) {
    QToolTip::hideText();
    QHelpEvent event(QEvent::ToolTip, QPoint(2, 2), widget->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(widget, &event);
    return QToolTip::text();
}

const QString kSkipped =
    QStringLiteral("File di scarto: non elaborati, elaborazione interrotta dall'utente.");

} // namespace

class DailyUseTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(GuiFixture::PrepareArchive()); }

    void firstStartAsksBeforeCreatingTheArchive() {
        GuiFixture f;
        QTemporaryDir data;
        const ScopedEnv home("XDG_DATA_HOME", data.path().toUtf8());
        const ScopedEnv named("QUORVIN_ARCHIVIO", QByteArray());
        const QString folder = data.filePath("Belvast/Quorvin");
        const QString archive = folder + "/archivio.sqlite";
        const gui::StartOptions options;

        f.answerYes = false;
        DorvaneEnv declined;
        QCOMPARE(gui::StartArchive(declined, options), gui::ArchiveStart::Declined);
        QCOMPARE(f.boxes, QStringList({"Nessun archivio trovato. Creare un nuovo archivio in " +
                                       folder + "?"}));
        QVERIFY(!QFile::exists(archive));

        f.answerYes = true;
        DorvaneEnv env;
        QCOMPARE(gui::StartArchive(env, options), gui::ArchiveStart::Open);
        QVERIFY(QFile::exists(archive));
        // The window over it signs the system account in and is ready to archive.
        shell::Settings settings(f.Path("Quorvin.conf"),
                                 {f.ReceiptFolder(), f.RejectFolder(), f.ReceiptFolder()});
        {
            gui::frmMain window(env, settings);
            window.show();
            QTRY_VERIFY(window.Activated());
            QVERIFY(window.LoggedIn());
            QVERIFY(window.Tool("PROCESS")->isEnabled());
            f.Receipt("r01_f24_trasmissione.txt");
            window.Tool("PROCESS")->trigger();
            QVERIFY(!f.InReceiptFolder("r01_f24_trasmissione.pdf"));
        }

        // The next start asks nothing.
        f.boxes.clear();
        DorvaneEnv again;
        QCOMPARE(gui::StartArchive(again, options), gui::ArchiveStart::Open);
        QVERIFY(f.boxes.isEmpty());
    }

    void startOnAnOfficeServerSignsTheUserInFirst() {
        ThrowawayPostgres server;
        std::string why;
        if (!server.Start(why)) {
            QSKIP(why.c_str());
        }
        std::string error;
        auto super = db::OpenPostgres(server.Url() + "/postgres", error);
        QVERIFY2(super && super->Execute("create database studio"), error.c_str());
        {
            auto archive = DorvaneConnection::Open(server.Url() + "/studio", {}, error);
            QVERIFY2(archive, error.c_str());
            QVERIFY2(admin::MakeAdministrator(*archive, "rossi", "parola", error), error.c_str());
        }
        GuiFixture f;
        QStringList asked;
        gui::SignInPrompt::SetHandler(
            [&](const gui::SignInRequest& request) -> std::optional<gui::Credentials> {
                asked << request.error;
                if (asked.size() > 2) {
                    return std::nullopt;
                }
                return gui::Credentials{"rossi", asked.size() == 1 ? "sbagliata" : "parola"};
            });
        // Nothing from the environment: the session is the user's, asked for at start.
        const ScopedEnv user("QUORVIN_UTENTE", QByteArray());
        const ScopedEnv password("QUORVIN_PASSWORD", QByteArray());
        const ScopedEnv role("PGUSER", "nessuno");
        gui::StartOptions options;
        options.archive = server.BareUrl() + "/studio";
        DorvaneEnv env;
        QCOMPARE(gui::StartArchive(env, options), gui::ArchiveStart::Open);
        QCOMPARE(asked, QStringList({QString(), QStringLiteral("Accesso non riuscito: Nome utente "
                                                               "o password non validi.")}));
        QCOMPARE(env.Connection()->SessionUser(), std::string("rossi"));
        // The window's first sign-in is that session: nothing asked again.
        shell::Settings settings(f.Path("Quorvin.conf"),
                                 {f.ReceiptFolder(), f.RejectFolder(), f.ReceiptFolder()});
        gui::frmMain window(env, settings);
        window.show();
        QTRY_VERIFY(window.Activated());
        QVERIFY(window.LoggedIn());
        QCOMPARE(asked.size(), 2);
    }

    void runTellsHowItWent() {
        // Whatever the user's language, the list's dates read the same.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        GuiFixture f;
        gui::frmMain& window = f.Open();
        f.Receipt("r01_f24_trasmissione.txt", "a.pdf");
        f.Unknown("b.pdf");
        auto* bar = window.findChild<QProgressBar*>("pbFiles");
        QStringList during;
        window.Runner()->DocTel().ConnectTelLogEvent(
            [&](long, const std::string&, const std::string&, const std::string& message) {
                if (message == "Inizio elaborazione") {
                    during << bar->text() + " | " + f.Panel("FILE");
                }
            });
        window.Tool("PROCESS")->trigger();
        QLocale::setDefault(QLocale::system());

        QCOMPARE(during, QStringList({"1 di 2 - a.pdf | a.pdf", "2 di 2 - b.pdf | b.pdf"}));
        QVERIFY(!bar->isTextVisible());
        const QString closing = QStringLiteral(
            "Ricevute trovate: 2, archiviate: 1, con errori: 0, rimaste nella cartella: 1.");
        QCOMPARE(f.Panel("MSG"), closing);
        QTreeWidget* list = List(window);
        QTreeWidgetItem* last = list->topLevelItem(list->topLevelItemCount() - 1);
        QCOMPARE(last->text(2), closing);
        QCOMPARE(list->currentItem(), last);

        const QRegularExpression stamp(QStringLiteral("^16/06/2010 09:\\d\\d:\\d\\d$"));
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QVERIFY2(stamp.match(list->topLevelItem(i)->text(0)).hasMatch(),
                     qPrintable(list->topLevelItem(i)->text(0)));
        }
        // Long texts lose their end, not their middle; the whole is in the tooltip, and the
        // user can widen the column.
        QCOMPARE(list->textElideMode(), Qt::ElideRight);
        const auto rows = list->findItems("File non riconosciuto.", Qt::MatchExactly, 2);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0]->toolTip(1), QString::fromStdString(f.ReceiptFolder() + "/b.pdf"));
        QCOMPARE(list->header()->sectionResizeMode(1), QHeaderView::Interactive);
    }

    // What does not fit in the status bar is cut when drawn; pointing at it shows the whole.
    void statusBarShowsLongNamesWholeInTooltips() {
        GuiFixture f;
        gui::frmMain& window = f.Open();
        const QString name = QStringLiteral("ricevuta_%1.pdf").arg(QString(80, 'x'));
        f.Unknown(name.toStdString());
        auto* bar = window.findChild<QProgressBar*>("pbFiles");
        auto* panel = window.findChild<QLabel*>("panelFILE");
        QStringList seen; // the bar's text and tooltip, the panel's text and tooltip
        window.Runner()->DocTel().ConnectTelLogEvent(
            [&](long, const std::string&, const std::string&, const std::string& message) {
                if (message == "Inizio elaborazione") {
                    seen << bar->text() << ToolTipOf(bar) << panel->text() << ToolTipOf(panel);
                }
            });
        window.Tool("PROCESS")->trigger();
        QCOMPARE(seen.size(), 4);
        QVERIFY2(seen[0].startsWith("1 di 1 - ricevuta_x") && seen[0].endsWith("x.pdf") &&
                     seen[0].contains(QChar(0x2026)) && seen[0].size() < name.size(),
                 qPrintable(seen[0]));
        QCOMPARE(seen.mid(1), QStringList({"1 di 1 - " + name, name, name}));
    }

    // Adding, selecting and scrolling to each new row laid the whole list out again at every
    // row: a long run got slower with every file. Rows now go into the list a few times a
    // second; none may be lost or moved, and the list still follows the run while it goes.
    void longRunShowsEveryRowInOrderWhileItGoes() {
        GuiFixture f;
        gui::frmMain& window = f.Open();
        constexpr int kFiles = 20;
        QStringList unknown;
        for (int i = 0; i < kFiles; ++i) {
            unknown << QString::fromStdString(f.Unknown("u" + std::to_string(100 + i) + ".pdf"));
        }
        int selections = 0;
        QTreeWidget* list = List(window);
        connect(list, &QTreeWidget::currentItemChanged, this, [&] { ++selections; });
        // Files slow enough for the list to be shown several times before the run ends.
        QList<int> shownAtEachFile;
        window.Runner()->DocTel().ConnectTelLogEvent(
            [&](long, const std::string&, const std::string&, const std::string& message) {
                if (message == "Inizio elaborazione") {
                    shownAtEachFile << list->topLevelItemCount();
                    QTest::qSleep(40);
                }
            });
        window.Tool("PROCESS")->trigger();

        QCOMPARE(shownAtEachFile.size(), kFiles);
        QVERIFY2(shownAtEachFile.last() > 0, "no row was shown before the run ended");
        // The fixture's clock moves on at each line: the rows' times say their order.
        QStringList notRecognised;
        QDateTime previous;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* row = list->topLevelItem(i);
            const QDateTime when = QDateTime::fromString(row->text(0), "dd/MM/yyyy HH:mm:ss");
            QVERIFY2(!previous.isValid() || when > previous, qPrintable(row->text(0)));
            previous = when;
            if (row->text(2) == "File non riconosciuto.") {
                notRecognised << row->text(1);
            }
        }
        QCOMPARE(notRecognised, unknown);
        QCOMPARE(list->findItems("Inizio elaborazione", Qt::MatchExactly, 2).size(), kFiles);
        QVERIFY2(selections <= kFiles + 2, qPrintable(QString::number(selections)));
        QCOMPARE(list->currentItem(), list->topLevelItem(list->topLevelItemCount() - 1));
    }

    // A box shown during a run stands over the lines that led to it.
    void boxDuringARunComesAfterItsLines() {
        GuiFixture f;
        gui::frmMain& window = f.Open();
        f.Unknown("a.pdf");
        // The log folder cannot be made where a file stands in its way.
        QDir().mkpath(QString::fromStdString(f.Path("dati")));
        QFile blocker(QString::fromStdString(f.Path("dati/Logs")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QStringList lastRowAtBox; // the box's text up to the path, and the last row then
        gui::MessageBox::SetHandler([&](gui::MessageBox::Kind, const QString& text) {
            const QTreeWidget* list = List(window);
            const int rows = list->topLevelItemCount();
            lastRowAtBox << text.section(" in '", 0, 0) + " | " +
                                (rows > 0 ? list->topLevelItem(rows - 1)->text(2) : QString());
            return QMessageBox::Ok;
        });
        window.Tool("PROCESS")->trigger();
        QCOMPARE(lastRowAtBox, QStringList({"Log dell'elaborazione non salvato | Creazione "
                                            "cartella dei log non riuscita"}));
    }

    void stopSkipsTheRejectPass() {
        GuiFixture f;
        gui::frmMain& window = f.Open(true, GuiFixture::Rejects::Folder);
        f.Unknown("a.pdf");
        f.Unknown("b.pdf");
        const std::string reject = f.RejectFolder() + "/NVQUORVINTRASMESSI00000001.wri";
        QFile file(QString::fromStdString(reject));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("ERRORE SINTATTICO");
        file.close();

        QTimer::singleShot(0, &window, [&] { window.Tool("STOP")->trigger(); });
        window.Tool("PROCESS")->trigger();
        const QStringList messages = f.ListMessages();
        QVERIFY2(messages.contains(kSkipped), qPrintable(messages.join('\n')));
        QVERIFY(!messages.contains("File di scarto: non ci sono file da elaborare."));
        QVERIFY(QFile::exists(QString::fromStdString(reject)));
        QVERIFY(f.InReceiptFolder("b.pdf"));

        // Without STOP the reject pass runs, and its lines name it.
        QFile::remove(QString::fromStdString(reject));
        window.Tool("PROCESS")->trigger();
        QVERIFY(f.ListMessages().contains("File di scarto: non ci sono file da elaborare."));
        QVERIFY(!f.ListMessages().contains(kSkipped));
    }

    void layoutIsRestoredAfterARestart() {
        GuiFixture f;
        gui::frmMain& first = f.Open();
        first.resize(1000, 700);
        auto* splitter = first.findChild<QSplitter*>("splMain");
        splitter->setSizes({220, 400});
        List(first)->header()->resizeSection(1, 333);
        const QList<int> sizes = splitter->sizes();
        first.close();

        gui::frmMain& second = f.Reopen();
        QCOMPARE(second.size(), QSize(1000, 700));
        QCOMPARE(second.findChild<QSplitter*>("splMain")->sizes(), sizes);
        QCOMPARE(List(second)->header()->sectionSize(1), 333);
    }

    void olderLogsAreOfferedNewestFirst() {
        GuiFixture f;
        const QString folder = QString::fromStdString(f.Path("dati/Logs/Quorvin"));
        QDir().mkpath(folder);
        // The fixture's clock says 16/06/2010.
        SaveLog(f.Path("dati/Logs/Quorvin/pc_20100520_080000.xml"), "di maggio");
        SaveLog(f.Path("dati/Logs/Quorvin/pc_20100615_120000.xml"), "di ieri");
        SaveLog(f.Path("dati/Logs/Quorvin/pc_20100501_080000.xml"), "troppo vecchio");
        gui::frmMain& window = f.Open();
        QVERIFY(window.Tool("LOGVIEW")->isEnabled()); // before any run of this session

        window.FillLogMenu();
        QStringList offered;
        for (QAction* action : window.LogMenu()->actions()) {
            offered << action->text();
        }
        QCOMPARE(offered, QStringList({"15/06/2010 12:00:00", "20/05/2010 08:00:00", "",
                                       "Apri cartella log"}));
        window.LogMenu()->actions()[1]->trigger();
        QVERIFY(window.LastLogViewer() != nullptr);
        QCOMPARE(window.LastLogViewer()->Table()->model()->index(0, 2).data().toString(),
                 QStringLiteral("di maggio"));

        // The tool itself opens the newest.
        window.Tool("LOGVIEW")->trigger();
        QCOMPARE(window.LastLogViewer()->Table()->model()->index(0, 2).data().toString(),
                 QStringLiteral("di ieri"));

        QStringList opened;
        gui::Desktop::SetHandler([&](const QString& path) { opened << path; });
        window.LogMenu()->actions().last()->trigger();
        window.findChild<QAction*>("mnuOpenLogFolder")->trigger();
        QCOMPARE(opened, QStringList({folder, folder}));
    }
};

} // namespace quorvin::test

int RunDailyUseTests(int argc, char** argv) {
    quorvin::test::DailyUseTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DailyUseTest.moc"
