#pragma once
// Signing in to the archive: the dialog, and the seam through which the window asks.
#include <QDialog>
#include <QString>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;

namespace quorvin::gui {

struct SignInRequest {
    bool startUp = false;  // the sign-in of the window's first activation
    bool embedded = true;  // an embedded archive signs the system account in without password
    QString systemAccount; // the operating-system account
    QString lastUser;      // proposed in the dialog
    QString error;         // why the previous attempt failed, shown in the dialog
};

struct Credentials {
    QString user;
    QString password;
};

class LoginDialog : public QDialog {
    Q_OBJECT
public:
    LoginDialog(const SignInRequest& request, QWidget* parent = nullptr);
    Credentials Entered() const;

private:
    QLineEdit* m_user;
    QLineEdit* m_password;
};

class SignInPrompt {
public:
    // nullopt: the user cancelled.
    using Handler = std::function<std::optional<Credentials>(const SignInRequest&)>;

    // At start-up an embedded archive signs the system account in without asking.
    static std::optional<Credentials> Ask(QWidget* parent, const SignInRequest& request);
    static void SetHandler(Handler handler);
};

} // namespace quorvin::gui
