// Archive selection on both back ends: candidates, the year, the cache, the insert right.
#include "archive/ArchiveAdmin.h"
#include "archiving/ArchivingTestSupport.h"

namespace quorvin::test {
namespace {

const FakeReader::Pages kF24 = {{kHeaderAG, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE",
                                 "In data 12/03/2010 trasmesso da: RSSMRA80A01H501U"}};

class SelectArchiveTest : public ArchivingTest {
protected:
    void SetUp() override {
        ArchivingTest::SetUp();
        if (!IsSkipped() && !HasFatalFailure()) {
            Load("f24.pdf", kF24);
            m_log.clear();
        }
    }
    // The year SelectArchive worked with, read back from its log line.
    long DerivedYear(long type) {
        m_log.clear();
        std::string code;
        m_tel->SelectArchive(type, code, -1);
        for (const auto& line : LinesOf("SelectArchive()")) {
            const size_t at = line.file.find(";Anno=");
            if (at != std::string::npos) {
                return std::stol(line.file.substr(at + 6));
            }
        }
        ADD_FAILURE() << "no selection line for " << type;
        return -2;
    }
    void GrantUser(const std::string& user, const std::string& code, bool create, long rights) {
        std::string error;
        ASSERT_TRUE(admin::Grant(*m_env.Connection(), user, code, create, rights, error)) << error;
    }
};

TEST_P(SelectArchiveTest, ArchiveBoundToTheYearBeatsAnArchiveForAnyYear) {
    AddArchiveLike(kStdSingle, "SINGOLE2010ANNO1", "Ricevute singole 2010", 2010);
    std::string code;
    ASSERT_TRUE(m_tel->SelectArchive(131, code, 2010));
    EXPECT_EQ(code, "SINGOLE2010ANNO1");
    EXPECT_EQ(m_log, (std::vector<LogLine>{{2, "TipoDoc=131;Anno=2010;Mittente=", "SelectArchive()",
                                            "Trovato archivio destinazione: 'Ricevute singole "
                                            "2010'"}}));
    ASSERT_TRUE(m_tel->SelectArchive(131, code, 2011));
    EXPECT_EQ(code, kStdSingle) << "no archive bound to 2011";
}

TEST_P(SelectArchiveTest, TwoArchivesForAnyYearAreAnError) {
    AddArchiveLike(kStdSingle, "SINGOLEBIS000001", "Ricevute singole bis", 0);
    m_tel->Info().SenderCode = "VRDGPP60A01F205Z";
    std::string code = "prima";
    EXPECT_FALSE(m_tel->SelectArchive(131, code, 2010));
    EXPECT_EQ(code, "prima");
    EXPECT_EQ(m_log, (std::vector<LogLine>{{1, "TipoDoc=131;Anno=2010;Mittente=VRDGPP60A01F205Z",
                                            "SelectArchive()",
                                            "Trovati più archivi destinazione compatibili."}}));
}

TEST_P(SelectArchiveTest, OnlyArchivesWhereTheUserCreatesRecordsAreCandidates) {
    AddArchiveLike(kStdSingle, "SINGOLEBIS000001", "Ricevute singole bis", 0);
    std::string error;
    ASSERT_GE(admin::AddUser(*m_env.Connection(), "impiegato", "parola", false, error), 0) << error;
    GrantUser("impiegato", kStdSingle, false, kAllRights);
    GrantUser("impiegato", "SINGOLEBIS000001", true, kAllRights);
    SignInAs("impiegato", "parola");
    Load("f24.pdf", kF24);
    m_log.clear();
    std::string code;
    ASSERT_TRUE(m_tel->SelectArchive(131, code, 2010));
    EXPECT_EQ(code, "SINGOLEBIS000001");
    EXPECT_FALSE(m_tel->SelectArchive(130, code, 2010)) << "no right at all on the summaries";
    EXPECT_EQ(m_log.back(), (LogLine{1, "TipoDoc=130;Anno=2010;Mittente=", "SelectArchive()",
                                     "Nessun archivio destinazione compatibile"}));
}

TEST_P(SelectArchiveTest, CacheHitRunsNoQueryAndFailuresAreNotCached) {
    std::string summary;
    ASSERT_TRUE(m_tel->SelectArchive(130, summary, 2010));
    EXPECT_EQ(m_tel->RefTipoDoc(), 111);
    // Without rights any query would now find nothing.
    ASSERT_TRUE(Run("delete from UTENTE_PERMESSI"));
    m_log.clear();
    std::string again;
    ASSERT_TRUE(m_tel->SelectArchive(130, again, 2010));
    EXPECT_EQ(again, kStdSummary) << "the cache hands back the archive it found";
    EXPECT_EQ(m_tel->RefTipoDoc(), 111);
    EXPECT_TRUE(m_log.empty());

    EXPECT_FALSE(m_tel->SelectArchive(130, again, 2011));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Nessun archivio destinazione compatibile"});
    std::string error;
    ASSERT_TRUE(admin::Grant(*m_env.Connection(), m_admin, kStdSummary, true, kAllRights, error))
        << error;
    m_log.clear();
    ASSERT_TRUE(m_tel->SelectArchive(130, again, 2011)) << "a failure is queried again";
    ASSERT_EQ(m_log.size(), 1u);
    EXPECT_EQ(m_log[0].priority, 2);
}

TEST_P(SelectArchiveTest, ReferenceTypeFollowsTheRequestedType) {
    std::string code;
    ASSERT_TRUE(m_tel->SelectArchive(130, code, 2010));
    EXPECT_EQ(m_tel->RefTipoDoc(), 111);
    ASSERT_TRUE(m_tel->SelectArchive(131, code, 2010));
    EXPECT_EQ(m_tel->RefTipoDoc(), 111) << "types without a row leave it";
    ASSERT_TRUE(m_tel->SelectArchive(172, code, 2010));
    EXPECT_EQ(m_tel->RefTipoDoc(), 0);
    ASSERT_TRUE(m_tel->SelectArchive(111, code, 2010));
    EXPECT_EQ(code, kStdOriginals);
}

TEST_P(SelectArchiveTest, CheckPermissionsNamesUserAndArchive) {
    EXPECT_TRUE(m_tel->CheckPermissions(kStdSingle));
    std::string error;
    ASSERT_GE(admin::AddUser(*m_env.Connection(), "impiegato", "parola", false, error), 0) << error;
    GrantUser("impiegato", kStdSingle, true, kAllRights & ~kRightInsertDocuments);
    SignInAs("impiegato", "parola");
    EXPECT_FALSE(m_tel->CheckPermissions(kStdSingle));
    EXPECT_EQ(m_log, (std::vector<LogLine>{{1, "Archivio 'Ricevute telematiche - singole'",
                                            "CheckPermissions()",
                                            "L'utente impiegato non ha il permesso di inserimento "
                                            "documenti"}}));
}

TEST_P(SelectArchiveTest, YearFromTheReceiptDateOrTheReferenceRule) {
    m_tel->Info().ReceiptDate = "12/03/2010";
    m_tel->Info().DocDate = "05/01/2009";
    EXPECT_EQ(DerivedYear(131), 2010);
    EXPECT_EQ(DerivedYear(133), 2009) << "the outcome's own date";
    std::string code;
    ASSERT_TRUE(m_tel->SelectArchive(130, code, 2010)); // RefTipoDoc := 111
    m_tel->Info().PaymentDate = "16/12/2008";
    EXPECT_EQ(DerivedYear(111), 2008) << "the payment date first";
    m_tel->Info().PaymentDate.clear();
    EXPECT_EQ(DerivedYear(111), 2010);
    m_tel->Info().ReceiptDate = "non una data";
    EXPECT_EQ(DerivedYear(173), -1);
}

TEST_P(SelectArchiveTest, YearFromTheContributionPeriodLine) {
    Load("dm10.pdf", {{"ATTESTAZIONE DELLA DENUNCIA CONTRIBUTIVA RELATIVA AL PERIODO:",
                       "MARZO 2010", "Matricola azienda: 1234567890"}});
    ASSERT_EQ(m_tel->DocType(), 404);
    EXPECT_EQ(DerivedYear(404), 2010);
    Load("dm10.pdf",
         {{"ATTESTAZIONE DELLA DENUNCIA CONTRIBUTIVA RELATIVA AL PERIODO:", "MARZO DUEMILADIECI"}});
    EXPECT_EQ(DerivedYear(404), -1);
}

TEST_P(SelectArchiveTest, YearFromTheClosingDateOfARegularityNotice) {
    const std::vector<std::string> quadri = {"Elenco dei quadri della dichiarazione che",
                                             "risultano compilati: FR RN RV"};
    auto notice = [&](const std::string& outcome, const std::string& last) {
        std::vector<std::string> lines = quadri;
        lines.push_back(outcome);
        lines.push_back(last);
        return FakeReader::Pages{lines};
    };
    Load("esito.pdf", notice("La dichiarazione risulta regolare.", "28/10/2010"));
    EXPECT_EQ(DerivedYear(80), 2010);
    Load("esito.pdf", notice("La dichiarazione presenta gli errori che sono evidenziati nelle "
                             "pagine",
                             "02/11/2009"));
    ASSERT_FALSE(m_tel->OutcomeRegular());
    EXPECT_EQ(DerivedYear(80), 2009);
    Load("esito.pdf", notice("La dichiarazione risulta regolare.", "Fine della comunicazione"));
    EXPECT_EQ(DerivedYear(80), -1);
}

TEST_P(SelectArchiveTest, YearOfAModelFromTheLastLineOfPageTwo) {
    Load("irap.pdf",
         {{"MODELLO PER L’ISTANZA DI RIMBORSO IRPEF/IRES PER MANCATA",
           "DEDUZIONE DELL’IRAP RELATIVA ALLE SPESE PER IL PERSONALE DIPENDENTE E ASSIMILATO"},
          {"Quadro RI", "Periodo d'imposta 2009 originale"}});
    ASSERT_EQ(m_tel->DocType(), 99);
    EXPECT_EQ(DerivedYear(99), 2009);
}

INSTANTIATE_TEST_SUITE_P(Backends, SelectArchiveTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
