// The receipt-type dialog and the log viewer.
#include "GuiTestSupport.h"

#include "app/LogViewer.h"
#include "app/frmTelConfig.h"
#include "catalogue/ReceiptTypes.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace quorvin::test {
namespace {

QListWidget* List(QWidget* dialog) {
    return dialog->findChild<QListWidget*>("lstTipiDoc");
}

void Click(QWidget* dialog, const char* button) {
    QTest::mouseClick(dialog->findChild<QPushButton*>(button), Qt::LeftButton);
}

int Checked(QListWidget* list) {
    int checked = 0;
    for (int i = 0; i < list->count(); ++i) {
        checked += list->item(i)->checkState() == Qt::Checked ? 1 : 0;
    }
    return checked;
}

} // namespace

class DialogsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(GuiFixture::PrepareArchive()); }

    void typeDialogListsTheCatalogueWithStoredChecks() {
        GuiFixture f;
        f.Open();
        // A value other than 1 shows unchecked.
        QSettings store(QString::fromStdString(f.Path("Quorvin.conf")), QSettings::IniFormat);
        store.setValue("Impostazioni/130", 2);
        store.setValue("Impostazioni/132", 1);
        store.sync();

        gui::frmTelConfig dialog(f.Settings());
        dialog.show();
        QListWidget* list = List(&dialog);
        const auto& types = catalogue::ReceiptTypes();
        QCOMPARE(list->count(), static_cast<int>(types.size()));
        QCOMPARE(list->count(), 58);
        for (int i = 0; i < list->count(); ++i) {
            QCOMPARE(list->item(i)->text(), QString::fromStdString(types[i].name));
            QCOMPARE(list->item(i)->data(Qt::UserRole).toInt(), static_cast<int>(types[i].code));
        }
        QCOMPARE(list->item(0)->data(Qt::UserRole).toInt(), 130);
        QCOMPARE(list->item(0)->checkState(), Qt::Unchecked);
        QCOMPARE(list->item(1)->checkState(), Qt::Checked);

        // Showing it again keeps the unsaved checks: the list is filled once.
        list->item(1)->setCheckState(Qt::Unchecked);
        dialog.hide();
        dialog.show();
        QCOMPARE(list->item(1)->checkState(), Qt::Unchecked);
    }

    void selectAllThenCloseBoxStoresEveryFlag() {
        GuiFixture f;
        f.Open();
        {
            gui::frmTelConfig dialog(f.Settings());
            dialog.show();
            Click(&dialog, "cmdSelectAll");
            QCOMPARE(Checked(List(&dialog)), 58);
            dialog.close(); // the window's close box
        }
        for (const auto& [code, on] : f.Settings().ReadTypeFlags()) {
            QVERIFY2(on, qPrintable(QString::number(code)));
        }
        {
            gui::frmTelConfig dialog(f.Settings());
            dialog.show();
            QCOMPARE(Checked(List(&dialog)), 58);
            Click(&dialog, "cmdDeselectAll");
            QCOMPARE(Checked(List(&dialog)), 0);
            Click(&dialog, "cmdClose");
            QVERIFY(!dialog.isVisible());
        }
        for (const auto& [code, on] : f.Settings().ReadTypeFlags()) {
            QVERIFY2(!on, qPrintable(QString::number(code)));
        }
    }

    void typesSwitchedOffInTheDialogAreSkippedByTheNextProcess() {
        GuiFixture f;
        gui::frmMain& window = f.Open();
        f.Receipt("r01_f24_trasmissione.txt");
        bool seen = false;
        QTimer::singleShot(0, &window, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            seen = dialog != nullptr && dialog->objectName() == "frmTelConfig";
            if (seen) {
                Click(dialog, "cmdDeselectAll");
                Click(dialog, "cmdClose");
            }
        });
        window.findChild<QAction*>("mnuTipi")->trigger();
        QVERIFY(seen);

        window.Tool("PROCESS")->trigger();
        QCOMPARE(f.ListMessages(),
                 QStringList({"File non elaborato (archiviazione di 'Trasmissioni F24' "
                              "disattivata nelle impostazioni)."}));
        QVERIFY(f.InReceiptFolder("r01_f24_trasmissione.pdf"));
    }

    void logViewShowsEveryMessageOfTheLastPass() {
        GuiFixture f;
        gui::frmMain& window = f.Open();
        f.Receipt("r01_f24_trasmissione.txt");
        QVERIFY(!window.Tool("LOGVIEW")->isEnabled());
        window.Tool("PROCESS")->trigger();
        QVERIFY(f.ListMessages().contains("Elaborazione terminata"));
        QVERIFY(!f.InReceiptFolder("r01_f24_trasmissione.pdf"));

        window.Tool("LOGVIEW")->trigger();
        gui::LogViewer* viewer = window.LastLogViewer();
        QVERIFY(viewer != nullptr);
        const QAbstractItemModel* model = viewer->Table()->model();
        QCOMPARE(model->columnCount(), 4);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("DataOra"));
        QCOMPARE(model->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Function"));
        QStringList logged;
        for (int row = 0; row < model->rowCount(); ++row) {
            logged << model->index(row, 2).data().toString();
        }
        // Every list row is there, and so are the messages that only reached the status bar.
        for (const QString& message : f.ListMessages()) {
            QVERIFY2(logged.contains(message), qPrintable(message));
        }
        QVERIFY(logged.size() > f.ListMessages().size());
        QVERIFY(std::any_of(logged.begin(), logged.end(), [&](const QString& message) {
            return !f.ListMessages().contains(message);
        }));
        // In the order logged until the user sorts; then by time, not by the date's text.
        QCOMPARE(logged.first(), QStringLiteral("Inizio elaborazione"));
        QVERIFY(viewer->Table()->isSortingEnabled());
        viewer->Table()->sortByColumn(0, Qt::DescendingOrder);
        QCOMPARE(model->index(0, 2).data().toString(), logged.last());
        QCOMPARE(viewer->Table()->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    void unreadableLogIsReportedOnce() {
        GuiFixture f;
        gui::frmMain& window = f.Open();
        window.LogShow(f.Path("manca.xml"));
        QCOMPARE(f.boxes.size(), 1);
        QVERIFY(f.boxes[0].startsWith("frmMain.LogShow()"));
        QVERIFY(window.LastLogViewer() == nullptr);
    }
};

} // namespace quorvin::test

int RunDialogsTests(int argc, char** argv) {
    quorvin::test::DialogsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DialogsTest.moc"
