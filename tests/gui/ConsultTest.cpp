// "Consulta archivio": reached from the main window's list and command, searching as the
// user types, sorting, the detail pane with its links, and the PDF saved and opened.
#include "GuiTestSupport.h"

#include "app/frmConsulta.h"
#include "archive/ArchiveSearch.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>

namespace quorvin::test {
namespace {

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The names (Ditta) of the result list, in order.
QStringList Names(gui::frmConsulta& consult) {
    QStringList names;
    for (int row = 0; row < consult.Model()->rowCount(); ++row) {
        names << QString::fromStdString(consult.Model()->Row(row)->name);
    }
    return names;
}

} // namespace

class ConsultTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(GuiFixture::PrepareArchive()); }

    void aRowOfTheLastPassOpensItsRecordAndTheWindowSearchesAsYouType() {
        GuiFixture f;
        gui::frmMain& window = f.Open();
        f.Receipt("r01_f24_trasmissione.txt", "f24.pdf");
        window.Tool("PROCESS")->trigger();
        auto* list = window.findChild<QTreeWidget*>(QStringLiteral("lvOperations"));
        QTreeWidgetItem* done = nullptr;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            if (list->topLevelItem(i)->text(1) == QStringLiteral("f24.pdf")) {
                done = list->topLevelItem(i);
            }
        }
        QVERIFY(done != nullptr);
        window.OpenArchivedRecord(done);
        gui::frmConsulta* consult = window.LastConsult();
        QVERIFY(consult != nullptr);
        QCOMPARE(consult->Current().archive, std::string("QUORVINRIEPILOGO"));
        QCOMPARE(consult->Current().children.size(), 4u);
        QVERIFY(consult->windowTitle() == QStringLiteral("Consulta archivio"));

        // Typing searches by itself once the typing stops.
        auto* box = consult->findChild<QLineEdit*>(QStringLiteral("txtCerca"));
        QTest::keyClicks(box, QStringLiteral("rssmra80a01h501u"));
        QTRY_COMPARE(consult->Model()->rowCount(), 1);
        QCOMPARE(Names(*consult), QStringList{QStringLiteral("ROSSI MARIO")});
        QCOMPARE(consult->findChild<QLabel*>(QStringLiteral("lblRisultati"))->text(),
                 QStringLiteral("1 documento trovato"));
        QCOMPARE(consult->Current().archive, std::string("QUORVINSINGOLE00"));
        auto* links = consult->findChild<QTreeWidget*>(QStringLiteral("twCollegati"));
        QCOMPARE(links->topLevelItemCount(), 1);
        QCOMPARE(links->topLevelItem(0)->text(0), QStringLiteral("Superiore"));
        auto* fields = consult->findChild<QTreeWidget*>(QStringLiteral("twCampi"));
        QVERIFY(!fields->findItems(QStringLiteral("Cod_Fiscale"), Qt::MatchExactly).isEmpty());

        // The PDF: saved where the dialog says, opened from a copy of its own.
        std::string stored;
        std::string error;
        QVERIFY(search::Finder(f.Env().Connection(), f.Env().CurrentUser().Id())
                    .Pdf(consult->Current().archive, consult->Current().record, stored, error));
        const QString target = QString::fromStdString(f.Path("salvato.pdf"));
        QString suggested;
        gui::PdfSeams::SetSaveHandler([&](const QString& name) {
            suggested = name;
            return target;
        });
        consult->findChild<QPushButton*>(QStringLiteral("cmdSalvaPdf"))->click();
        QVERIFY(suggested.endsWith(QStringLiteral("f24.pdf")));
        QCOMPARE(Bytes(target), QByteArray::fromStdString(stored));
        QString opened;
        gui::PdfSeams::SetOpenHandler([&](const QString& path) { opened = path; });
        consult->findChild<QPushButton*>(QStringLiteral("cmdApriPdf"))->click();
        QCOMPARE(Bytes(opened), QByteArray::fromStdString(stored));
        gui::PdfSeams::SetSaveHandler([](const QString&) { return QString(); });
        QFile::remove(target);
        consult->SavePdf();
        QVERIFY(!QFile::exists(target));

        // A link walks to the summary; the list sorts by a clicked column.
        Q_EMIT links->itemActivated(links->topLevelItem(0), 0);
        QCOMPARE(consult->Current().archive, std::string("QUORVINRIEPILOGO"));
        box->clear();
        consult->Search();
        QCOMPARE(consult->Model()->Total(), 5L);
        auto* view = consult->findChild<QTableView*>(QStringLiteral("tvRisultati"));
        view->horizontalHeader()->setSortIndicator(2, Qt::AscendingOrder);
        QCOMPARE(
            Names(*consult).mid(0, 2),
            (QStringList{QStringLiteral("FERRAMENTA \"IL CHIODO\" S.N.C. DI GALLO ANTONIO & C."),
                         QStringLiteral("L'ANGOLO DEL CAFFE' S.R.L.")}));
        auto* year = consult->findChild<QLineEdit*>(QStringLiteral("txtAnno"));
        year->setText(QStringLiteral("2009"));
        consult->Search();
        QCOMPARE(consult->Model()->rowCount(), 0);
        QVERIFY(!consult->findChild<QPushButton*>(QStringLiteral("cmdApriPdf"))->isEnabled());
        consult->close();
        QCOMPARE(f.boxes, QStringList());
        gui::PdfSeams::SetSaveHandler({});
        gui::PdfSeams::SetOpenHandler({});
    }

    void theWindowRemembersItsSizeAndColumns() {
        GuiFixture f;
        f.Open();
        const QString store = QString::fromStdString(f.Path("consulta.ini"));
        auto* first = new gui::frmConsulta(f.Env(), store);
        first->resize(1150, 650);
        auto* header =
            first->findChild<QTableView*>(QStringLiteral("tvRisultati"))->horizontalHeader();
        header->resizeSection(2, 333);
        first->show();
        QVERIFY(QTest::qWaitForWindowExposed(first));
        first->close();
        auto* second = new gui::frmConsulta(f.Env(), store);
        second->show();
        QVERIFY(QTest::qWaitForWindowExposed(second));
        QCOMPARE(second->size(), QSize(1150, 650));
        QCOMPARE(second->findChild<QTableView*>(QStringLiteral("tvRisultati"))
                     ->horizontalHeader()
                     ->sectionSize(2),
                 333);
        second->close();
    }
};

} // namespace quorvin::test

int RunConsultTests(int argc, char** argv) {
    quorvin::test::ConsultTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ConsultTest.moc"
