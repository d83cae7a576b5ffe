#include "app/Seams.h"

#include "app/Startup.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QPushButton>
#include <QUrl>

namespace quorvin::gui {
namespace {

MessageBox::Handler& BoxHandler() {
    static MessageBox::Handler handler;
    return handler;
}

FolderDialog::Handler& FolderHandler() {
    static FolderDialog::Handler handler;
    return handler;
}

Desktop::Handler& OpenHandler() {
    static Desktop::Handler handler;
    return handler;
}

QString Title() {
    return ApplicationTitle(QApplication::applicationDisplayName());
}

} // namespace

QMessageBox::StandardButton MessageBox::Show(QWidget* parent, Kind kind, const QString& title,
                                             const QString& text) {
    if (BoxHandler()) {
        return BoxHandler()(kind, text);
    }
    switch (kind) {
    case Kind::Information:
        return QMessageBox::information(parent, title, text);
    case Kind::Warning:
        return QMessageBox::warning(parent, title, text);
    case Kind::Question: {
        QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                        parent);
        // The program speaks Italian whatever Qt's own translations installed.
        box.button(QMessageBox::Yes)->setText(QStringLiteral("&Sì"));
        box.button(QMessageBox::No)->setText(QStringLiteral("&No"));
        box.setDefaultButton(QMessageBox::No);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    }
    case Kind::About:
        QMessageBox::about(parent, title, text);
        return QMessageBox::Ok;
    }
    return QMessageBox::NoButton;
}

void MessageBox::Information(QWidget* parent, const QString& text) {
    Show(parent, Kind::Information, Title(), text);
}

void MessageBox::Warning(QWidget* parent, const QString& text) {
    Show(parent, Kind::Warning, Title(), text);
}

bool MessageBox::Question(QWidget* parent, const QString& text) {
    return Show(parent, Kind::Question, Title(), text) == QMessageBox::Yes;
}

void MessageBox::About(QWidget* parent, const QString& title, const QString& text) {
    Show(parent, Kind::About, title, text);
}

void MessageBox::SetHandler(Handler handler) {
    BoxHandler() = std::move(handler);
}

QString FolderDialog::Ask(QWidget* parent, const QString& title, const QString& start) {
    if (FolderHandler()) {
        return FolderHandler()(title, start);
    }
    return QFileDialog::getExistingDirectory(parent, title, start);
}

void FolderDialog::SetHandler(Handler handler) {
    FolderHandler() = std::move(handler);
}

void Desktop::OpenFolder(const QString& folder) {
    if (OpenHandler()) {
        OpenHandler()(folder);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void Desktop::SetHandler(Handler handler) {
    OpenHandler() = std::move(handler);
}

} // namespace quorvin::gui
