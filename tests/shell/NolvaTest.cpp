#include "DriverTestSupport.h"

#include "archive/DorvaneRecordset.h"
#include "console/bvNolva.h"

#include <gmock/gmock.h>

#include <filesystem>

namespace quorvin::test {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;

TEST(NolvaTextTest, ReadsTheFileWholeAndNormalisesIt) {
    TempDir dir;
    DorvaneEnv env;
    bvNolva nolva(env);
    // Windows-1252 "è" (0xE8); the text starts at the syntax error; line breaks become
    // blanks, equals signs go, double blanks halve in one pass.
    WriteAll(dir.File("a.wri"), "intestazione\r\nERRORE SINTATTICO: campo=errato\r\n"
                                "valore \xE8 nullo  fine   tre    quattro");
    nolva.File(dir.File("a.wri"));
    EXPECT_EQ(nolva.Text(), "ERRORE SINTATTICO: campoerrato valore è nullo fine  tre  quattro");

    WriteAll(dir.File("b.wri"), "A=B\r\nC");
    nolva.File(dir.File("b.wri"));
    EXPECT_EQ(nolva.Text(), "AB C");

    WriteAll(dir.File("vuoto.wri"), "");
    nolva.File(dir.File("vuoto.wri"));
    EXPECT_EQ(nolva.Text(), "");

    // A larger file than one read block is read whole.
    const std::string big(200000, 'x');
    WriteAll(dir.File("grande.wri"), big + "ERRORE SINTATTICO fine");
    nolva.File(dir.File("grande.wri"));
    EXPECT_EQ(nolva.Text(), "ERRORE SINTATTICO fine");

    nolva.File(dir.File("manca.wri"));
    EXPECT_EQ(nolva.File(), dir.File("manca.wri"));
    EXPECT_EQ(nolva.Text(), "");
}

class NolvaTest : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        DorvaneRecordset rs(m_env.Connection());
        ASSERT_TRUE(rs.Open("QUORVINTRASMESSI", DorvaneRecordset::Mode::Updatable));
        ASSERT_TRUE(rs.AddNew());
        ASSERT_TRUE(rs.Update());
        m_record = std::stol(rs.Value("SYS_RECORD"));
        m_runner->m_sNolvaErrFolder = m_rejects.Path().string();
        m_nolva = std::make_unique<bvNolva>(m_env);
        m_nolva->ConnectTelLogEvent([this](long nPriority, const std::string& sFile,
                                           const std::string& sFunc, const std::string& sMsg) {
            EXPECT_EQ(nPriority, 1);
            EXPECT_EQ(sFunc, "UpdateCom()");
            m_events.push_back(sFile + "|" + sMsg);
        });
    }

    // A reject file naming a record of an archive, with its companion.
    std::string Reject(const std::string& serial, const std::string& digits,
                       const std::string& text = "ERRORE SINTATTICO: X=1") {
        const std::string base = "NV" + serial + digits;
        WriteAll(m_rejects.File(base + ".wri"), text);
        WriteAll(m_rejects.File(base + ".xml"), "<x/>");
        return base;
    }
    std::string Digits(long record) const {
        std::string digits = std::to_string(record);
        return std::string(8 - digits.size(), '0') + digits;
    }
    std::pair<std::string, std::string> Stored(long record) {
        DorvaneRecordset rs(m_env.Connection());
        rs.Open("select Scartato, Scartato_Descrizione from " +
                m_env.Database().TableName("QUORVINTRASMESSI") +
                " where SYS_RECORD=" + std::to_string(record));
        return {rs.Value("Scartato"), rs.Value("Scartato_Descrizione")};
    }
    bool Present(const std::string& name) const { return fs::exists(m_rejects.Path() / name); }

    TempDir m_rejects;
    long m_record = 0;
    std::unique_ptr<bvNolva> m_nolva;
    std::vector<std::string> m_events;
};

TEST_F(NolvaTest, UpdateComMarksTheCommunicationRejected) {
    const std::string base = Reject("QUORVINTRASMESSI", Digits(m_record));
    m_nolva->File(m_rejects.File(base + ".wri"));
    EXPECT_TRUE(m_nolva->UpdateCom());
    EXPECT_THAT(m_events, ElementsAre(base + ".wri|Inizio elaborazione.",
                                      base + ".wri|Aggiornamento dati completato."));
    EXPECT_EQ(Stored(m_record),
              std::make_pair(std::string("1"), std::string("ERRORE SINTATTICO: X1")));
}

TEST_F(NolvaTest, NamesThatNameNothingAreReported) {
    const std::string cannot = "Impossibile determinare la comunicazione da aggiornare.";
    const struct {
        std::string name;
        std::string message;
    } cases[] = {
        {"corto.wri", cannot},
        {"NVQUORVINTRASMESSI0000001.wri", cannot}, // 25 characters before the extension
        {"NVQUORVINTRASMESSI00000000.wri", cannot},
        {"NVQUORVINTRASMESSI0000000A.wri", cannot},
        {"NVQUORVINNESSUNO00" + Digits(m_record) + ".wri",
         "Archivio della comunicazione da aggiornare non trovato."},
        {"NVQUORVIN'OR'1'='1" + Digits(m_record) + ".wri",
         "Archivio della comunicazione da aggiornare non trovato."},
        {"NVQUORVINTRASMESSI" + Digits(m_record + 7) + ".wri",
         "Archivio 'Documenti trasmessi', record " + std::to_string(m_record + 7) +
             " non trovato."},
    };
    for (const auto& c : cases) {
        m_events.clear();
        WriteAll(m_rejects.File(c.name), "testo");
        m_nolva->File(m_rejects.File(c.name));
        EXPECT_FALSE(m_nolva->UpdateCom()) << c.name;
        EXPECT_THAT(m_events,
                    ElementsAre(c.name + "|Inizio elaborazione.", c.name + "|" + c.message));
    }
    EXPECT_NE(Stored(m_record).first, "1");
}

TEST_F(NolvaTest, RejectPassDeletesOnlyWhatItUpdated) {
    const std::string good = Reject("QUORVINTRASMESSI", Digits(m_record));
    const std::string bad = Reject("QUORVINTRASMESSI", Digits(m_record + 100));
    WriteAll(m_rejects.File("nota.txt"), "non è uno scarto");
    m_runner->RunProcess();

    EXPECT_FALSE(Present(good + ".wri"));
    EXPECT_FALSE(Present(good + ".xml"));
    EXPECT_TRUE(Present(bad + ".wri"));
    EXPECT_TRUE(Present(bad + ".xml"));
    EXPECT_TRUE(Present("nota.txt"));
    // The receipt pass came first, with nothing to do; no log is saved for this pass.
    EXPECT_EQ(m_view.Messages().front(), "Non ci sono file da elaborare.");
    EXPECT_EQ(m_view.Count("Inizio elaborazione."), 2);
    EXPECT_EQ(m_view.Count("Aggiornamento dati completato."), 1);
    EXPECT_EQ(m_runner->Outcome().rejectsFound, 2);
    EXPECT_EQ(m_runner->Outcome().rejectsDone, 1);
    EXPECT_TRUE(LogFiles().empty());
    EXPECT_EQ(m_runner->Log().Records().back().function, "UpdateCom()");
}

TEST_F(NolvaTest, EmptyRejectFolderLogsOnceAndNoSettingLogsNothing) {
    Receipt("x_nessuna_frase.txt");
    m_runner->RunProcess();
    EXPECT_EQ(m_runner->Log().Records().back().function, "ProcessNolvaFiles()");
    // Named after its pass, so that it reads apart from the receipt pass's line.
    EXPECT_EQ(m_view.lines.back().message, "File di scarto: non ci sono file da elaborare.");

    m_runner->m_sNolvaErrFolder = "";
    m_runner->RunProcess();
    EXPECT_THAT(m_view.Messages(), ElementsAre("File non riconosciuto."));
    EXPECT_TRUE(m_view.boxes.empty());
}

TEST_F(NolvaTest, StopEndsTheRejectPassAfterItsFile) {
    Reject("QUORVINTRASMESSI", Digits(m_record));
    Reject("QUORVINTRASMESSI", Digits(m_record + 1));
    m_view.stopOnMessage = "Inizio elaborazione.";
    m_runner->RunProcess();
    EXPECT_EQ(m_view.Count("Inizio elaborazione."), 1);
    EXPECT_EQ(m_view.lines.back().message,
              "File di scarto: elaborazione interrotta dall'utente dopo 0 files.");
}

} // namespace
} // namespace quorvin::test
