// The acknowledged document found by protocol, and link rows, on both back ends.
#include "archive/ArchiveAdmin.h"
#include "archive/Quoting.h"
#include "archiving/ArchivingTestSupport.h"

namespace quorvin::test {
namespace {

class LinksTest : public ArchivingTest {
protected:
    long AddTransmission(const std::string& protocol, const std::string& taxCode = "",
                         const std::string& archive = kStdSummary) {
        return AddRecord(archive, {{"Protocollo_Attribuito", protocol},
                                   {"Cod_Tipo_doc_F", "130"},
                                   {"Cod_Fiscale", taxCode},
                                   {"Trasmesso_Cod", "RSSMRA80A01H501U"},
                                   {"File", "F24_0312.rel"},
                                   {"Data_doc", "12/03/2010"}});
    }
    bool Find(long type) {
        m_log.clear();
        return m_tel->FindTelDoc(type, m_code, m_records, m_dates);
    }
    long Links(long child) {
        return CountRows("select * from DB_COLLEGAMENTI where DB_SON_RECORD=" + SqlNumber(child));
    }

    std::string m_code;
    std::vector<long> m_records;
    std::vector<long> m_dates;
};

TEST_P(LinksTest, FindsTheTransmissionByProtocol) {
    AddTransmission("10031200000001");
    const long rec = AddTransmission("10031212345678");
    m_tel->Info().Protocol = "10031212345678";
    ASSERT_TRUE(Find(130));
    EXPECT_EQ(m_code, kStdSummary);
    EXPECT_EQ(m_records, std::vector<long>{rec});
    EXPECT_EQ(m_dates, std::vector<long>{40249}) << "12/03/2010 as a day number";
    EXPECT_EQ(m_tel->Info().SenderCode, "RSSMRA80A01H501U");
    EXPECT_EQ(m_tel->Info().SentFile, "F24_0312.rel");
    EXPECT_TRUE(m_log.empty());
}

TEST_P(LinksTest, AProtocolFoundTwiceGivesBothRecordsAndNoDate) {
    const long first = AddTransmission("10031212345678");
    const long second = AddTransmission("10031212345678");
    m_tel->Info().Protocol = "10031212345678";
    ASSERT_TRUE(Find(130));
    EXPECT_EQ(m_records, (std::vector<long>{first, second}));
    EXPECT_TRUE(m_dates.empty());
    EXPECT_EQ(m_log, (std::vector<LogLine>{{1, "Archivio 'Ricevute telematiche - riepiloghi'",
                                            "FindTelDoc()",
                                            "Tipo doc. 130 - Protocollo 10031212345678: "
                                            "trovati 2 documenti"}}));
}

TEST_P(LinksTest, ASearchThatFindsNothingStillSucceeds) {
    AddTransmission("10031212345678");
    m_tel->Info().Protocol = "999";
    EXPECT_TRUE(Find(130));
    EXPECT_TRUE(m_code.empty());
    EXPECT_TRUE(m_records.empty());
    EXPECT_EQ(m_log, (std::vector<LogLine>{
                         {1, "", "FindTelDoc()", "Tipo doc. 130 - Protocollo 999: non trovato"}}));
    // No archive admits 401 with a protocol field: the search itself fails.
    EXPECT_FALSE(Find(401));
    EXPECT_FALSE(Find(9999)) << "no archive admits the type";
    EXPECT_EQ(m_log.back().msg, "Tipo doc. 9999 - Protocollo 999: non trovato");
}

TEST_P(LinksTest, AnArchiveWithoutProtocolFieldIsSkipped) {
    ArchiveSpec bare;
    bare.code = "SENZAPROTOCOLLO1";
    bare.name = "Senza protocollo";
    bare.tipoArch = 9;
    bare.fields = {{"Cod_Tipo_doc_F", FieldType::Integer, ""},
                   {"Descrizione", FieldType::Text, ""}};
    bare.docTypes = {130};
    bare.folder = m_dir.File("documenti/bare");
    std::string error;
    ASSERT_TRUE(admin::AddArchive(*m_env.Connection(), bare, error)) << error;
    const long rec = AddTransmission("10031212345678");
    m_tel->Info().Protocol = "10031212345678";
    ASSERT_TRUE(Find(130));
    EXPECT_EQ(m_code, kStdSummary);
    EXPECT_EQ(m_records, std::vector<long>{rec});
}

TEST_P(LinksTest, TaxCodeConditionOnlyWhenKnown) {
    const long rec = AddTransmission("10031212345678");
    m_tel->Info().Protocol = "10031212345678";
    m_tel->Info().TaxCode = "BNCLRA75C41F205X";
    ASSERT_TRUE(Find(130));
    EXPECT_TRUE(m_records.empty()) << "the record has no tax code";
    m_tel->Info().TaxCode.clear();
    ASSERT_TRUE(Find(130));
    EXPECT_EQ(m_records, std::vector<long>{rec});
}

TEST_P(LinksTest, AnyOfTheFourOutcomeTypesBelowOne) {
    const long rec =
        AddRecord(kStdSummary, {{"Protocollo_Attribuito", "P-172"}, {"Cod_Tipo_doc_F", "172"}});
    m_tel->Info().Protocol = "P-172";
    ASSERT_TRUE(Find(130));
    EXPECT_TRUE(m_records.empty()) << "type 130 only";
    ASSERT_TRUE(Find(-1));
    EXPECT_EQ(m_records, std::vector<long>{rec});
}

TEST_P(LinksTest, ReceiptDateLimitsTheArchivesToItsYear) {
    AddArchiveLike(kStdSummary, "RIEPILOGHI2009AA", "Riepiloghi 2009", 2009);
    const long rec = AddTransmission("10031212345678", "", "RIEPILOGHI2009AA");
    m_tel->Info().Protocol = "10031212345678";
    m_tel->Info().DocDate = "13/03/2010";
    ASSERT_TRUE(Find(130));
    EXPECT_TRUE(m_records.empty());
    m_tel->Info().DocDate = "13/03/2009";
    ASSERT_TRUE(Find(130));
    EXPECT_EQ(m_records, std::vector<long>{rec});
    m_tel->Info().DocDate.clear();
    ASSERT_TRUE(Find(130));
    EXPECT_EQ(m_records, std::vector<long>{rec});
}

TEST_P(LinksTest, QuotesInTheProtocolAndTaxCodeAreJustText) {
    const long rec = AddTransmission("10031'2 OR '1'='1", "RSS'MRA");
    AddTransmission("10031212345678", "RSS'MRA");
    m_tel->Info().Protocol = "10031'2 OR '1'='1";
    m_tel->Info().TaxCode = "RSS'MRA";
    ASSERT_TRUE(Find(130));
    EXPECT_EQ(m_records, std::vector<long>{rec});
    m_tel->Info().Protocol = "x' or ''='";
    ASSERT_TRUE(Find(130));
    EXPECT_TRUE(m_records.empty());
    EXPECT_EQ(m_log.back().msg, "Tipo doc. 130 - Protocollo x' or ''=': non trovato");
}

TEST_P(LinksTest, LinksToEveryParent) {
    EXPECT_TRUE(m_tel->DocLinkCreate(kStdOriginals, std::vector<long>{4, 5, 6}, kStdSingle, 77));
    EXPECT_EQ(Links(77), 3);
    EXPECT_EQ(CountRows("select * from DB_COLLEGAMENTI where DB_PAR_RECORD=5 and "
                        "DB_PAR_SERIALE='QUORVINTRASMESSI' and DB_SON_SERIALE='QUORVINSINGOLE00'"),
              1);
    EXPECT_TRUE(m_tel->DocLinkCreate(kStdSummary, 9, kStdSingle, 78));
    EXPECT_EQ(Links(78), 1);
    EXPECT_FALSE(m_tel->DocLinkCreate(kStdSummary, std::vector<long>{}, kStdSingle, 79));
    EXPECT_EQ(Links(79), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, LinksTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
