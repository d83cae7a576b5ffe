#include "app/LoginDialog.h"

#include "app/Icons.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quorvin::gui {
namespace {

SignInPrompt::Handler& PromptHandler() {
    static SignInPrompt::Handler handler;
    return handler;
}

} // namespace

LoginDialog::LoginDialog(const SignInRequest& request, QWidget* parent)
    : QDialog(parent), m_user(new QLineEdit(this)), m_password(new QLineEdit(this)) {
    setObjectName(QStringLiteral("dlgLogin"));
    setWindowTitle(QStringLiteral("Accesso all'archivio"));
    setWindowIcon(Icon(QStringLiteral("login")));

    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        request.embedded
            ? QStringLiteral(
                  "Lasciare vuota la password per accedere come utente del sistema (%1).")
                  .arg(request.systemAccount)
            : QStringLiteral("Inserire nome utente e password dell'archivio."),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* form = new QFormLayout;
    m_user->setObjectName(QStringLiteral("txtUser"));
    m_user->setText(request.lastUser.isEmpty() ? request.systemAccount : request.lastUser);
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("&Utente:"), m_user);
    form->addRow(QStringLiteral("&Password:"), m_password);
    layout->addLayout(form);

    if (!request.error.isEmpty()) {
        auto* error = new QLabel(request.error, this);
        error->setObjectName(QStringLiteral("lblError"));
        error->setWordWrap(true);
        error->setStyleSheet(QStringLiteral("color: #b00020;"));
        layout->addWidget(error);
    }

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Accedi"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("A&nnulla"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    (m_user->text().isEmpty() ? m_user : m_password)->setFocus();
    setMinimumWidth(360);
}

Credentials LoginDialog::Entered() const {
    return Credentials{m_user->text().trimmed(), m_password->text()};
}

std::optional<Credentials> SignInPrompt::Ask(QWidget* parent, const SignInRequest& request) {
    if (PromptHandler()) {
        return PromptHandler()(request);
    }
    if (request.startUp && request.embedded && request.error.isEmpty()) {
        return Credentials{request.systemAccount, QString()};
    }
    LoginDialog dialog(request, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Entered();
}

void SignInPrompt::SetHandler(Handler handler) {
    PromptHandler() = std::move(handler);
}

} // namespace quorvin::gui
