#include "GuiTestSupport.h"

#include "app/LoginDialog.h"
#include "archive/DorvaneUser.h"
#include "tools/fixture/FixtureWriter.h"

#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>

namespace quorvin::test {
namespace {

namespace fs = std::filesystem;

QTemporaryDir& ArchiveDir() {
    static QTemporaryDir dir;
    return dir;
}

std::string PristineArchive() {
    return ArchiveDir().filePath(QStringLiteral("archivio.sqlite")).toStdString();
}

} // namespace

bool GuiFixture::PrepareArchive() {
    if (fs::exists(PristineArchive())) {
        return true;
    }
    QProcess cli;
    cli.start(QString::fromUtf8(QUORVIN_CLI_PATH),
              {QStringLiteral("archivio"), QStringLiteral("init"), QStringLiteral("--esempio"),
               QStringLiteral("--archivio"), QString::fromStdString(PristineArchive())});
    return cli.waitForFinished(120000) && cli.exitStatus() == QProcess::NormalExit &&
           cli.exitCode() == 0;
}

GuiFixture::GuiFixture() {
    QDir(m_dir.path()).mkpath(QStringLiteral("ricevute"));
    gui::MessageBox::SetHandler([this](gui::MessageBox::Kind kind, const QString& text) {
        boxes << text;
        if (kind == gui::MessageBox::Kind::Question) {
            return answerYes ? QMessageBox::Yes : QMessageBox::No;
        }
        return QMessageBox::Ok;
    });
    gui::FolderDialog::SetHandler([](const QString&, const QString&) { return QString(); });
    gui::Desktop::SetHandler([](const QString&) {});
    gui::SignInPrompt::SetHandler(
        [this](const gui::SignInRequest& request) -> std::optional<gui::Credentials> {
            ++signInPrompts;
            if (cancelSignIn || !request.error.isEmpty()) {
                return std::nullopt;
            }
            return gui::Credentials{request.systemAccount, QString()};
        });
}

GuiFixture::~GuiFixture() {
    m_window.reset();
    gui::MessageBox::SetHandler({});
    gui::FolderDialog::SetHandler({});
    gui::Desktop::SetHandler({});
    gui::SignInPrompt::SetHandler({});
}

std::string GuiFixture::Path(const std::string& name) const {
    return m_dir.filePath(QString::fromStdString(name)).toStdString();
}

gui::frmMain& GuiFixture::Open(bool signIn, Rejects rejects) {
    cancelSignIn = !signIn;
    const std::string archive = Path("archivio.sqlite");
    fs::copy_file(PristineArchive(), archive, fs::copy_options::overwrite_existing);
    m_env = std::make_unique<DorvaneEnv>();
    ConnectOptions options;
    options.createSchema = false;
    if (!m_env->Connect(archive, options)) {
        qFatal("archive: %s", m_env->LastError().c_str());
    }
    m_env->BaseFolder(Path("dati"));

    if (rejects == Rejects::Folder) {
        QDir(m_dir.path()).mkpath(QStringLiteral("scarti"));
    }
    // The defaults point at the test's folders; the reject folder's does not exist.
    shell::SettingsFolders folders{ReceiptFolder(), RejectFolder(), Path("ricevute")};
    const std::string ini = Path("Quorvin.conf");
    m_settings = std::make_unique<shell::Settings>(ini, folders);
    std::map<std::string, bool> flags;
    m_settings->LoadTypeFlags(flags); // first-run flags
    if (rejects != Rejects::Folder) {
        QSettings store(QString::fromStdString(ini), QSettings::IniFormat);
        store.setValue(QStringLiteral("Impostazioni/LastFolderNolva"),
                       rejects == Rejects::Empty ? QString()
                                                 : QString::fromStdString(Path("nessuna")));
    }

    return MakeWindow();
}

gui::frmMain& GuiFixture::Reopen() {
    m_window.reset();
    return MakeWindow();
}

gui::frmMain& GuiFixture::MakeWindow() {
    // One second later at each reading, so that every pass saves a log of its own.
    const QDateTime base(QDate(2010, 6, 16), QTime(9, 30, 0));
    m_window = std::make_unique<gui::frmMain>(*m_env, *m_settings,
                                              [this, base] { return base.addSecs(m_ticks++); });
    m_window->show();
    if (!QTest::qWaitFor([this] { return m_window->Activated(); }, 5000)) {
        qFatal("the main window was never activated");
    }
    return *m_window;
}

std::string GuiFixture::Receipt(const std::string& templateName, const std::string& pdfName) {
    const std::string name =
        pdfName.empty() ? fs::path(templateName).stem().string() + ".pdf" : pdfName;
    const std::string out = ReceiptFolder() + "/" + name;
    std::string error;
    if (!fixture::WriteTemplatePdf(
            std::string(QUORVIN_TEST_DATA_DIR) + "/templates/" + templateName, out, &error)) {
        qFatal("%s: %s", templateName.c_str(), error.c_str());
    }
    return out;
}

std::string GuiFixture::Unknown(const std::string& pdfName) {
    const std::string out = ReceiptFolder() + "/" + pdfName;
    std::string error;
    if (!fixture::WritePdf({{"Lettera qualsiasi", "senza alcuna ricevuta"}}, out, &error)) {
        qFatal("%s: %s", pdfName.c_str(), error.c_str());
    }
    return out;
}

bool GuiFixture::InReceiptFolder(const std::string& name) const {
    return fs::exists(ReceiptFolder() + "/" + name);
}

QStringList GuiFixture::LogFiles() const {
    return QDir(QString::fromStdString(Path("dati/Logs/Quorvin")))
        .entryList({QStringLiteral("*.xml")}, QDir::Files);
}

QStringList GuiFixture::ListMessages() const {
    QStringList messages;
    const auto* list = m_window->findChild<QTreeWidget*>(QStringLiteral("lvOperations"));
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        // The engine's opening line of every file says nothing a test needs; the run's
        // closing line has a test of its own.
        const QString message = list->topLevelItem(i)->text(2);
        if (message != QStringLiteral("Inizio elaborazione") &&
            !message.startsWith(QStringLiteral("Ricevute trovate: "))) {
            messages << list->topLevelItem(i)->text(2);
        }
    }
    return messages;
}

QString GuiFixture::Panel(const char* key) const {
    return m_window->findChild<QLabel*>(QStringLiteral("panel") + QString::fromLatin1(key))->text();
}

} // namespace quorvin::test
