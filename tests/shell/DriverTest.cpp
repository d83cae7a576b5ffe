#include "DriverTestSupport.h"

#include "archive/ArchiveTestSupport.h"
#include "archive/DorvaneFiles.h"
#include "archive/DorvaneRecordset.h"
#include "archive/DorvaneUser.h"
#include "shell/OperationLog.h"
#include "shell/Settings.h"

#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>
#include <set>

namespace quorvin::test {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr const char* kF24 = "r01_f24_trasmissione.txt";
constexpr const char* kF24Esito = "r02_f24_esito.txt";

// Pieces made by FileSplit are temporary files named after the source.
long TemporaryPieces(const std::string& base) {
    long n = 0;
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
        if (entry.path().filename().string().starts_with(base + "_")) {
            ++n;
        }
    }
    return n;
}

// The rules that keep a receipt from being lost or archived twice, on the embedded
// archive and on a PostgreSQL one shared by the office.
class RunOnEachBackEnd : public RunTest, public ::testing::WithParamInterface<BackendKind> {
protected:
    void SetUp() override {
        if (GetParam() == BackendKind::Sqlite) {
            RunTest::SetUp();
            return;
        }
        std::string why;
        m_archive = MakeStandardPostgresArchive(why);
        if (m_archive.empty()) {
            GTEST_SKIP() << why;
        }
        ASSERT_TRUE(m_env.Connect(m_archive)) << m_env.LastError();
        ASSERT_TRUE(m_env.Login(DorvaneUser::SystemAccount(), kPostgresAdminPassword))
            << m_env.LastError();
        FinishSetUp();
    }
};

TEST_F(RunTest, MixedFolderArchivesWhatItCanAndLeavesTheRest) {
    Receipt(kF24);
    Receipt(kF24Esito);
    Receipt("x_nessuna_frase.txt");
    Receipt("r57_forniture_documenti_fiscali.txt"); // 293: off on a first run
    Receipt("x_split_f24_e_unico.txt");
    WriteAll(ReceiptPath("rotto.PDF"), "%PDF-1.4 not really");
    WriteAll(ReceiptPath("appunti.txt"), "not a receipt");

    m_runner->RunProcess();

    const auto& outcome = m_runner->Outcome();
    EXPECT_EQ(outcome.filesFound, 6); // the upper-case .PDF too, never the .txt
    EXPECT_FALSE(InFolder("r01_f24_trasmissione.pdf"));
    EXPECT_FALSE(InFolder("r02_f24_esito.pdf"));
    EXPECT_TRUE(fs::exists(BackupPath("r01_f24_trasmissione.pdf")));
    EXPECT_TRUE(fs::exists(BackupPath("r02_f24_esito.pdf")));
    EXPECT_TRUE(Archived("r01_f24_trasmissione.pdf"));
    EXPECT_TRUE(Archived("r02_f24_esito.pdf"));

    for (const char* left : {"x_nessuna_frase.pdf", "r57_forniture_documenti_fiscali.pdf",
                             "rotto.PDF", "appunti.txt"}) {
        EXPECT_TRUE(InFolder(left)) << left;
        EXPECT_FALSE(fs::exists(BackupPath(left))) << left;
    }
    EXPECT_EQ(m_view.Count("File non riconosciuto."), 2);
    EXPECT_THAT(m_view.Messages(),
                Contains("File non elaborato (archiviazione di 'Fornitura Documenti Fiscali Art. 3 "
                         "comma 3 DPR 404' disattivata nelle impostazioni)."));
    for (const auto& line : m_view.lines) {
        if (line.message == "File non riconosciuto.") {
            EXPECT_EQ(DorvaneFiles::FolderOf(line.file), m_receipts.Path().string() + "/");
        }
    }

    // The split file leaves only when both its receipts were archived; its pieces never
    // outlive the run. Their lines name the source and the piece, never a temporary file.
    long splitDone = 0;
    std::set<std::string> pieceNames;
    for (const auto& line : m_view.lines) {
        if (line.file.starts_with("x_split_f24_e_unico")) {
            pieceNames.insert(line.file);
        }
        splitDone += line.file.starts_with("x_split_f24_e_unico.pdf (parte ") &&
                     line.message == "Elaborazione terminata";
    }
    EXPECT_THAT(pieceNames, ElementsAre("x_split_f24_e_unico.pdf (parte 1)",
                                        "x_split_f24_e_unico.pdf (parte 2)"));
    EXPECT_EQ(InFolder("x_split_f24_e_unico.pdf"), splitDone < 2);
    EXPECT_EQ(TemporaryPieces("x_split_f24_e_unico"), 0);
    EXPECT_EQ(outcome.filesArchived, splitDone == 2 ? 3 : 2);

    // One log file holding every message, the detailed ones too.
    ASSERT_EQ(LogFiles().size(), 1u);
    EXPECT_EQ(m_runner->m_sLastLogFile, LogFiles()[0]);
    std::vector<shell::LogRecord> saved;
    std::string error;
    ASSERT_TRUE(shell::OperationLog::Load(m_runner->m_sLastLogFile, saved, error)) << error;
    EXPECT_GT(saved.size(), m_view.lines.size());
    EXPECT_THAT(m_view.busyStates, ElementsAre(true, false));
    EXPECT_GT(m_view.archivingPumps, 0); // the window stays responsive inside a file too
    EXPECT_EQ(m_view.progress.back(), 0);
}

TEST_F(RunTest, StepsCountFilesAndPiecesAndTheClosingLineSumsUp) {
    Receipt("x_split_f24_e_unico.txt");
    Receipt("x_nessuna_frase.txt", "z.pdf");
    m_runner->RunProcess();
    // The split makes the pass one file longer as soon as it is known.
    EXPECT_THAT(m_view.steps, ElementsAre("1/3 x_split_f24_e_unico.pdf (parte 1)",
                                          "2/3 x_split_f24_e_unico.pdf (parte 2)", "3/3 z.pdf"));
    const shell::RunOutcome& outcome = m_runner->Outcome();
    EXPECT_EQ(shell::ClosingLine(outcome),
              "Ricevute trovate: 2, archiviate: " + std::to_string(outcome.filesArchived) +
                  ", con errori: 0, rimaste nella cartella: " +
                  std::to_string(2 - outcome.filesArchived) + ".");
    EXPECT_TRUE(InFolder("z.pdf"));

    // No pass, no closing line.
    EXPECT_EQ(shell::ClosingLine(shell::RunOutcome{}), "");
}

TEST_F(RunTest, LogFileNameIsHostDateAndTime) {
    Receipt("x_nessuna_frase.txt");
    m_runner->RunProcess();
    ASSERT_EQ(LogFiles().size(), 1u);
    const std::string name = DorvaneFiles::FileName(LogFiles()[0], true);
    EXPECT_EQ(name,
              DorvaneFiles::LocalName() + "_20100616_" + name.substr(name.size() - 10, 6) + ".xml");
    EXPECT_TRUE(name.substr(name.size() - 10, 6).starts_with("0930"));
}

TEST_F(RunTest, WithoutBackupsArchivedFilesAreDeletedAndNoBackupFolderIsMade) {
    Receipt(kF24);
    m_runner->m_bSaveBackups = false;
    m_runner->RunProcess();
    EXPECT_FALSE(InFolder("r01_f24_trasmissione.pdf"));
    EXPECT_TRUE(Archived("r01_f24_trasmissione.pdf"));
    EXPECT_FALSE(fs::exists(m_receipts.Path() / "BACKUP"));
    EXPECT_EQ(m_runner->Outcome().filesArchived, 1);
}

TEST_F(RunTest, FailedBackupCopyKeepsTheArchivedFile) {
    Receipt(kF24);
    Receipt(kF24Esito);
    // A folder where the copy should go: the copy fails whatever the user's rights.
    fs::create_directories(BackupPath("r01_f24_trasmissione.pdf"));
    m_runner->RunProcess();
    EXPECT_TRUE(Archived("r01_f24_trasmissione.pdf"));
    EXPECT_TRUE(InFolder("r01_f24_trasmissione.pdf"));
    EXPECT_FALSE(InFolder("r02_f24_esito.pdf"));
    EXPECT_EQ(m_runner->Outcome().filesArchived, 1);
}

TEST_F(RunTest, BackupFolderThatCannotBeMadeStopsBeforeThePass) {
    Receipt(kF24);
    WriteAll(ReceiptPath("BACKUP"), "a file in the way");
    const std::string folder = m_receipts.Path().string() + "/BACKUP";
    m_runner->m_sTelFolder = m_receipts.Path().string(); // typed without a separator
    m_runner->RunProcess();
    EXPECT_THAT(m_view.boxes, ElementsAre("Errore nella creazione della cartella '" + folder +
                                          "'. Elaborazione interrotta."));
    EXPECT_THAT(m_view.boxStyles, ElementsAre(shell::RunView::kExclamation));
    EXPECT_TRUE(InFolder("r01_f24_trasmissione.pdf"));
    EXPECT_EQ(RecordCount("QUORVINRIEPILOGO"), 0);
    EXPECT_THAT(LogFiles(), IsEmpty());
    EXPECT_FALSE(m_runner->Outcome().receiptPassStarted);
}

TEST_F(RunTest, MissingOrEmptyFolderSavesNoLog) {
    m_runner->m_sTelFolder = m_dir.File("nessuna");
    m_runner->RunProcess();
    EXPECT_THAT(m_view.boxes, ElementsAre(shell::FolderMissingMessage(m_dir.File("nessuna"))));
    EXPECT_THAT(m_view.boxStyles, ElementsAre(shell::RunView::kInformation));
    EXPECT_THAT(m_view.lines, IsEmpty());

    m_runner->m_sTelFolder = m_receipts.Path().string();
    m_runner->RunProcess();
    EXPECT_THAT(m_view.Messages(), ElementsAre("Non ci sono file da elaborare."));
    EXPECT_THAT(LogFiles(), IsEmpty());
    EXPECT_TRUE(m_runner->m_sLastLogFile.empty());
}

TEST_F(RunTest, StopAfterTheFirstFileReportsZero) {
    Receipt(kF24, "a.pdf");
    Receipt(kF24, "b.pdf");
    m_view.stopOnMessage = "Elaborazione terminata";
    m_runner->RunProcess();
    EXPECT_EQ(m_view.lines.back().message, "Elaborazione interrotta dall'utente dopo 0 file.");
    EXPECT_EQ(m_view.lines.back().file, "");
    EXPECT_FALSE(InFolder("a.pdf")); // finished before the stop was noticed
    EXPECT_TRUE(InFolder("b.pdf"));
    EXPECT_FALSE(Archived("b.pdf"));
    EXPECT_EQ(LogFiles().size(), 1u); // saved all the same
    EXPECT_TRUE(m_runner->Outcome().stopped);
}

TEST_F(RunTest, StopWhileTheEngineArchivesLeavesTheFileAndSkipsTheRejectPass) {
    Receipt(kF24, "a.pdf");
    Receipt(kF24, "b.pdf");
    TempDir rejects;
    WriteAll(rejects.File("uno.wri"), "x");
    WriteAll(rejects.File("due.wri"), "y");
    m_runner->m_sNolvaErrFolder = rejects.Path().string();
    m_view.stopOnMessage = "Archiviazione progressivo 000001 riuscita";
    m_runner->RunProcess();

    const auto messages = m_view.Messages();
    EXPECT_THAT(messages, Contains("Elaborazione interrotta dall'utente dopo 0 file."));
    EXPECT_THAT(messages, Contains("Archiviazione interrotta dall'utente"));
    // What the engine stored of an interrupted file stays stored, but the file is not
    // removed: it is offered again on the next run.
    EXPECT_TRUE(InFolder("a.pdf"));
    EXPECT_FALSE(fs::exists(BackupPath("a.pdf")));
    EXPECT_TRUE(InFolder("b.pdf"));
    EXPECT_FALSE(Archived("b.pdf"));
    // STOP ends the whole run: the reject files wait for the next one, and the saved log
    // says why.
    EXPECT_EQ(m_view.lines.back().message,
              "File di scarto: non elaborati, elaborazione interrotta dall'utente.");
    EXPECT_EQ(m_view.Count("Inizio elaborazione."), 0);
    EXPECT_TRUE(fs::exists(rejects.File("uno.wri")));
    EXPECT_EQ(m_runner->Outcome().rejectsFound, 0);
    std::vector<shell::LogRecord> saved;
    std::string error;
    ASSERT_TRUE(shell::OperationLog::Load(m_runner->m_sLastLogFile, saved, error)) << error;
    EXPECT_EQ(saved.back().message, m_view.lines.back().message);
}

TEST_F(RunTest, TwoRunsInARow) {
    Receipt(kF24);
    Receipt("x_nessuna_frase.txt");
    m_runner->RunProcess();
    const std::string firstLog = m_runner->m_sLastLogFile;
    EXPECT_FALSE(InFolder("r01_f24_trasmissione.pdf"));
    const long records = RecordCount("QUORVINRIEPILOGO");

    m_runner->RunProcess();
    // Only the second command's messages; the file left behind is offered again.
    EXPECT_THAT(m_view.Messages(), ElementsAre("File non riconosciuto."));
    EXPECT_EQ(RecordCount("QUORVINRIEPILOGO"), records);
    EXPECT_EQ(LogFiles().size(), 2u);
    EXPECT_NE(m_runner->m_sLastLogFile, firstLog);
    EXPECT_EQ(m_runner->Log().Records().size(), 2u); // opening and verdict of that file
}

TEST_F(RunTest, SwitchedOffTypeStaysAndCodeWithoutNameIsNamedByNumber) {
    Receipt(kF24);
    m_runner->m_colTipiDoc.erase("130"); // absent counts as off
    m_runner->RunProcess();
    EXPECT_THAT(m_view.Messages(), ElementsAre("File non elaborato (archiviazione di "
                                               "'Trasmissioni F24' disattivata nelle "
                                               "impostazioni)."));
    EXPECT_TRUE(InFolder("r01_f24_trasmissione.pdf"));

    ASSERT_TRUE(m_env.Database().Execute("delete from SYS_TIPO_DOC_F where ID_TIPODOC=130"));
    m_runner->RunProcess();
    EXPECT_THAT(m_view.Messages(), ElementsAre("File non elaborato (archiviazione di "
                                               "'Tipo doc. 130' disattivata nelle "
                                               "impostazioni)."));
}

TEST_F(RunTest, LogFolderThatCannotBeMadeIsReported) {
    Receipt("x_nessuna_frase.txt");
    WriteAll(m_dir.File("bloccato"), "a file where the data folder should be");
    m_env.BaseFolder(m_dir.File("bloccato"));
    m_runner->RunProcess();
    ASSERT_FALSE(m_view.lines.empty());
    EXPECT_EQ(m_view.lines.back().message, "Creazione cartella dei log non riuscita");
    EXPECT_EQ(m_view.lines.back().file, m_runner->LogFolder());
    EXPECT_TRUE(m_runner->m_sLastLogFile.empty());
    // The user is told that this run has no log, not shown the previous one.
    ASSERT_EQ(m_view.boxes.size(), 1u);
    EXPECT_THAT(m_view.boxes[0], ::testing::StartsWith("Log dell'elaborazione non salvato in"));
    EXPECT_FALSE(m_runner->Outcome().logError.empty());
}

TEST_P(RunOnEachBackEnd, ControlCharactersInLoggedValuesNeverLoseTheLog) {
    const std::string odd = std::string("ricevuta\x01\x1b[31m\x7f.pdf");
    Receipt("x_nessuna_frase.txt", odd);
    m_runner->RunProcess();
    ASSERT_FALSE(m_runner->m_sLastLogFile.empty()) << m_runner->Outcome().logError;
    EXPECT_TRUE(m_runner->Outcome().logError.empty());
    std::vector<shell::LogRecord> saved;
    std::string error;
    ASSERT_TRUE(shell::OperationLog::Load(m_runner->m_sLastLogFile, saved, error)) << error;
    bool found = false;
    for (const auto& record : saved) {
        found =
            found || record.fileName.find("ricevuta\uFFFD\uFFFD[31m\x7f.pdf") != std::string::npos;
    }
    EXPECT_TRUE(found) << "the forbidden characters are replaced, the rest kept";
}

TEST_P(RunOnEachBackEnd, AReceiptIsArchivedOnceWhateverItsNameAndASplitPieceOnceWhateverTheRun) {
    Receipt(kF24, "a.pdf");
    Receipt(kF24, "copia di a.pdf");
    Receipt("x_split_f24_e_unico.txt", "doppia.pdf");
    m_runner->m_colTipiDoc["144"] = false; // the split file's second receipt
    m_runner->RunProcess();
    const long summaries = RecordCount("QUORVINRIEPILOGO");
    const long singles = RecordCount("QUORVINSINGOLE00");
    EXPECT_EQ(summaries, 2) << "a.pdf and the F24 piece of the split file";
    // The copy: told, backed up and removed like an archived file.
    const auto& lines = m_view.lines;
    const auto copy = std::find_if(lines.begin(), lines.end(), [](const auto& line) {
        return line.message.starts_with("Ricevuta già archiviata il ");
    });
    ASSERT_NE(copy, lines.end());
    EXPECT_EQ(DorvaneFiles::FileName(copy->file, true), "copia di a.pdf");
    EXPECT_THAT(copy->message, ::testing::MatchesRegex(
                                   "Ricevuta già archiviata il [0-9]{2}/[0-9]{2}/[0-9]{4} "
                                   "\\(Ricevute telematiche - riepiloghi, record [0-9]+\\)\\."));
    EXPECT_FALSE(InFolder("copia di a.pdf"));
    EXPECT_TRUE(fs::exists(BackupPath("copia di a.pdf")));
    EXPECT_TRUE(InFolder("doppia.pdf")) << "its second receipt is not archived";
    EXPECT_EQ(m_runner->Outcome().filesArchived, 2);

    // Next run: the archived piece is skipped, the other still off; nothing twice.
    m_runner->RunProcess();
    EXPECT_EQ(RecordCount("QUORVINRIEPILOGO"), summaries);
    EXPECT_EQ(RecordCount("QUORVINSINGOLE00"), singles);
    EXPECT_EQ(std::count_if(m_view.lines.begin(), m_view.lines.end(),
                            [](const auto& line) {
                                return line.message.starts_with("Ricevuta già archiviata il ");
                            }),
              1);
    EXPECT_TRUE(InFolder("doppia.pdf"));

    // Switched on: only the missing piece is archived, and the file leaves.
    m_runner->m_colTipiDoc["144"] = true;
    m_runner->RunProcess();
    EXPECT_EQ(RecordCount("QUORVINRIEPILOGO"), summaries + 1);
    EXPECT_FALSE(InFolder("doppia.pdf"));
    EXPECT_EQ(m_runner->Outcome().filesArchived, 1);
    EXPECT_EQ(m_runner->Outcome().filesWithErrors, 0);
    // The stored pieces carry the user's file name, never a temporary one.
    DorvaneRecordset rs(m_env.Connection());
    ASSERT_TRUE(rs.Open("select NOME from DB_FILE"));
    for (; !rs.Eof(); rs.MoveNext()) {
        EXPECT_TRUE(rs.Value("NOME").starts_with("a") || rs.Value("NOME").starts_with("doppia"))
            << rs.Value("NOME");
    }
}

TEST_P(RunOnEachBackEnd, AFileWhoseSummaryKeepsAFailedPaymentCountsAsArchivedWithErrors) {
    Receipt("f24_trasmissione_importo_illeggibile.txt", "f24.pdf");
    m_runner->RunProcess();
    EXPECT_FALSE(InFolder("f24.pdf"));
    EXPECT_EQ(m_runner->Outcome().filesArchived, 1);
    EXPECT_EQ(m_runner->Outcome().filesWithErrors, 1);
    EXPECT_EQ(m_view.Count("Memorizzazione dati non riuscita"), 1);
}

TEST_F(RunTest, FileThatVanishesOrGoesBadAfterListingIsNotRecognised) {
    Receipt(kF24, "a.pdf");
    Receipt(kF24, "b.pdf");
    Receipt(kF24, "c.pdf");
    // Another program takes b away and truncates c while a is processed.
    m_view.onFile = [this](const std::string& name) {
        if (name == "a.pdf") {
            fs::remove(ReceiptPath("b.pdf"));
            WriteAll(ReceiptPath("c.pdf"), "%PDF-1.4");
        }
    };
    m_runner->RunProcess();
    EXPECT_EQ(m_view.Count("File non riconosciuto."), 2);
    EXPECT_FALSE(InFolder("a.pdf"));
    EXPECT_TRUE(InFolder("c.pdf"));
    EXPECT_EQ(m_runner->Outcome().filesArchived, 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, RunOnEachBackEnd,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
