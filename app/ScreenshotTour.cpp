#include "app/ScreenshotTour.h"

#include "app/LogViewer.h"
#include "app/frmMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

namespace quorvin::gui {
namespace {

void Save(QWidget* widget, const QString& folder, const QString& name) {
    if (widget == nullptr) {
        std::fprintf(stderr, "Schermata %s: finestra assente\n", qPrintable(name));
        return;
    }
    QApplication::processEvents();
    const QString path = QDir(folder).filePath(name);
    if (!widget->grab().save(path)) {
        std::fprintf(stderr, "Schermata %s non salvata\n", qPrintable(path));
    }
}

// "Consulta archivio" with a taxpayer's receipts found and the first one's detail.
void SaveConsult(frmMain& window, const QString& folder) {
    frmConsulta* consult = window.OpenConsult();
    if (consult == nullptr) {
        return;
    }
    consult->resize(1280, 800);
    consult->findChild<QLineEdit*>(QStringLiteral("txtCerca"))
        ->setText(QStringLiteral("RSSMRA80A01H501U"));
    consult->Search();
    Save(consult, folder, QStringLiteral("6-consulta-archivio.png"));
    consult->close();
}

void Tour(frmMain& window, const QString& folder, const QString& receipts, const QString& rejects) {
    if (auto* text = window.findChild<QLineEdit*>(QStringLiteral("txtTelFolder"))) {
        text->setText(receipts);
    }
    if (auto* text = window.findChild<QLineEdit*>(QStringLiteral("txtNolvaErrFolder"))) {
        text->setText(rejects);
    }
    Save(&window, folder, QStringLiteral("1-finestra.png"));

    window.DispatchTool(QStringLiteral("PROCESS"));
    Save(&window, folder, QStringLiteral("2-dopo-archiviazione.png"));

    // The dialog is modal: it is pictured and closed from inside its own event loop.
    QTimer::singleShot(400, &window, [folder] {
        QWidget* dialog = QApplication::activeModalWidget();
        Save(dialog, folder, QStringLiteral("3-tipi-ricevute.png"));
        if (dialog != nullptr) {
            dialog->close();
        }
    });
    window.ShowTypeDialog();

    window.DispatchTool(QStringLiteral("LOGVIEW"));
    QTimer::singleShot(400, &window, [&window, folder] {
        Save(window.LastLogViewer(), folder, QStringLiteral("4-log.png"));
        window.LastLogViewer()->close();
        SaveConsult(window, folder);
        QTimer::singleShot(400, &window, [folder] {
            QWidget* dialog = QApplication::activeModalWidget();
            Save(dialog, folder, QStringLiteral("5-accesso.png"));
            if (dialog != nullptr) {
                dialog->close();
            }
        });
        window.ChangeUser(false);
        window.close();
        QApplication::quit();
    });
}

} // namespace

void PictureFirstStart(const QString& folder) {
    QDir().mkpath(folder);
    auto* poll = new QTimer(qApp);
    poll->setInterval(200);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, folder] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->text().startsWith(QStringLiteral("Nessun archivio trovato"))) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        Save(box, folder, QStringLiteral("0-primo-avvio.png"));
        if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
            yes->click();
        }
    });
    poll->start();
    // An archive that exists asks nothing.
    QTimer::singleShot(30000, poll, [poll] {
        poll->stop();
        poll->deleteLater();
    });
}

void StartScreenshotTour(frmMain& window, const QString& folder, const QString& receipts,
                         const QString& rejects) {
    QDir().mkpath(folder);
    auto* poll = new QTimer(&window);
    poll->setInterval(200);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, folder, receipts, rejects] {
        if (!window.Activated() || !window.LoggedIn()) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        Tour(window, folder, receipts, rejects);
    });
    poll->start();
}

} // namespace quorvin::gui
