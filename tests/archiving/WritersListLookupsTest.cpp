// The lookups over a receipt file's list pages, and the derivations the writers share.
#include "archiving/WritersTestSupport.h"
#include "engine/RuntimeError.h"
#include "engine/writers/WriterSupport.h"

#include <gmock/gmock.h>

namespace quorvin::test {
namespace {

using ::testing::ElementsAre;
using Row = std::vector<std::string>;

class ListLookupsTest : public WritersTest {};

const std::vector<std::string> kListHead = {
    "AGENZIA DELLE ENTRATE - SERVIZIO TELEMATICO ENTRATEL",
    "ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI",
};

// The art. 21 communications: three documents, the third on a second list page.
TEST_F(ListLookupsTest, AListOverTwoPagesIsSearchedLineByLine) {
    LoadTemplate("r52_comunicazioni_art21.txt");
    ASSERT_EQ(m_tel.ListPage(), 4);
    Row row;

    ASSERT_TRUE(m_tel.FindInfoDocInSummary(3, "", "", row));
    EXPECT_THAT(
        row, ElementsAre("SCARTATO", "000003", "04567891231", "IMMOBILIARE LAGO MAGGIORE S.R.L."))
        << "the name keeps its spaces in the last element";

    ASSERT_TRUE(m_tel.FindInfoDocInSummary(-1, "", "", row));
    EXPECT_EQ(row.at(1), "000001") << "-1 without protocol: the first line";

    ASSERT_TRUE(m_tel.FindInfoDocInSummary(7, "", "000002", row)) << "the protocol decides";
    EXPECT_EQ(row.at(2), "03124578968");
    EXPECT_FALSE(m_tel.FindInfoDocInSummary(7, "", "", row));
    EXPECT_TRUE(row.empty());
    EXPECT_FALSE(m_tel.FindInfoDocInSummary(4, "", "000004", row));

    // Lines are counted over the pages: two on the first list page, one on the next.
    ASSERT_TRUE(m_tel.GetInfoDocFromSummary(2, row));
    EXPECT_THAT(row, ElementsAre("ACQUISITO", "000002", "03124578968", "TRASPORTI BRIANZA S.P.A."));
    ASSERT_TRUE(m_tel.GetInfoDocFromSummary(3, row));
    EXPECT_EQ(row.at(1), "000003");
    EXPECT_FALSE(m_tel.GetInfoDocFromSummary(4, row));
    EXPECT_FALSE(m_tel.GetInfoDocFromSummary(0, row));

    long total = 0;
    long acquired = 0;
    ASSERT_TRUE(m_tel.FindNumDocInSummary(total, acquired));
    EXPECT_EQ(total, 3);
    EXPECT_EQ(acquired, 2);
    EXPECT_TRUE(m_log.empty());
}

TEST_F(ListLookupsTest, ALineWithoutANumberMatchesByTaxCode) {
    auto list = kListHead;
    list.insert(list.end(), {"Esito Protocollo Codice fiscale Denominazione", "documenti",
                             "SCARTATO n.d. RSSMRA80A01H501U ROSSI MARIO",
                             "ACQUISITO 000002 VRDNNA75C45L219T VERDI ANNA"});
    Load({{"prima pagina"}, list});
    Row row;
    ASSERT_TRUE(m_tel.FindInfoDocInSummary(9, "RSSMRA80A01H501U", "", row));
    EXPECT_THAT(row, ElementsAre("SCARTATO", "n.d.", "RSSMRA80A01H501U", "ROSSI MARIO"));
    EXPECT_FALSE(m_tel.FindInfoDocInSummary(9, "VRDNNA75C45L219T", "", row))
        << "a numeric protocol column is compared by number only";
    ASSERT_TRUE(m_tel.FindInfoDocInSummary(2, "", "", row));
    EXPECT_EQ(row.at(3), "VERDI ANNA");
}

TEST_F(ListLookupsTest, CertificationListsUseTheirOwnColumnsUnderEitherHeading) {
    for (const char* name :
         {"r17_certificazione_unica.txt", "r17_certificazione_unica_dichiarazione.txt"}) {
        SCOPED_TRACE(name);
        LoadTemplate(name);
        ASSERT_EQ(m_tel.DocType(), 381);
        Row row;
        ASSERT_TRUE(m_tel.FindInfoDocInSummary(2, "", "", row));
        // Outcome, telematic protocol, progressive number, recipient's tax code.
        ASSERT_EQ(row.size(), 5u);
        EXPECT_EQ(row[0], "ACQUISITO");
        EXPECT_EQ(row[1].size(), 17u);
        EXPECT_EQ(row[2], "00002");
        EXPECT_EQ(row[3].size(), 16u);
        EXPECT_EQ(row[4], "");
    }
}

TEST_F(ListLookupsTest, LeaseListRowsAreCountedUnderTheLeaseHeading) {
    auto pages = TemplatePages("r26_contratti_locazione.txt");
    // The lease list prints its column heading with single blanks.
    pages = Replaced(pages, "ProtocolloLocatore          Conduttore         Registr.      Importo",
                     "Protocollo Locatore Conduttore Registr. Importo");
    Load(pages);
    ASSERT_EQ(m_tel.DocType(), 172);
    Row row;
    ASSERT_TRUE(m_tel.GetInfoDocFromSummary(2, row));
    EXPECT_THAT(row,
                ElementsAre("000002", "VRDNNA75C45L219T", "RSSFNC90P63G273X", "3T/004513 210,00"));
}

TEST_F(ListLookupsTest, WithoutAListPageOnlyThePageSearchWorks) {
    Load({{"DOCUMENTI ACQUISITI : 4", "TIPO DI DOCUMENTO : PROVA"}, {"seconda pagina"}});
    ASSERT_EQ(m_tel.ListPage(), -1);
    Row row{"resto"};
    long total = -1;
    long acquired = -1;
    EXPECT_FALSE(m_tel.FindInfoDocInSummary(-1, "", "", row));
    EXPECT_FALSE(m_tel.GetInfoDocFromSummary(1, row));
    EXPECT_FALSE(m_tel.FindNumDocInSummary(total, acquired));
    EXPECT_EQ(total, -1);
    std::string value;
    ASSERT_TRUE(m_tel.FindInfoInSummary("TIPO DI DOCUMENTO : ", "\r\n", false, value));
    EXPECT_EQ(value, "PROVA") << "searched from page 0";
}

TEST_F(ListLookupsTest, CountersWithoutARejectedLine) {
    auto list = kListHead;
    list.insert(list.end(), {"DOCUMENTI ACQUISITI : 12", "Esito Protocollo Codice fiscale"});
    Load({{"prima pagina"}, list});
    long total = 0;
    long acquired = 0;
    ASSERT_TRUE(m_tel.FindNumDocInSummary(total, acquired));
    EXPECT_EQ(total, 12);
    EXPECT_EQ(acquired, 12);
}

TEST_F(ListLookupsTest, ACounterThatDoesNotFitIsLoggedAsTheLookupsFailure) {
    auto list = kListHead;
    list.push_back("DOCUMENTI ACQUISITI : 99999999999");
    Load({{"prima pagina"}, list});
    long total = 0;
    long acquired = 0;
    EXPECT_FALSE(m_tel.FindNumDocInSummary(total, acquired));
    ASSERT_EQ(m_log.size(), 1u);
    EXPECT_EQ(m_log[0].file, "");
    EXPECT_EQ(m_log[0].func, "FindNumDocInSummary()");
    EXPECT_THAT(m_log[0].msg, ::testing::StartsWith("6: "));
}

TEST_F(ListLookupsTest, PageIndexOfAText) {
    Load({{"uno"}, {"Due Tre"}, {"tre"}});
    EXPECT_EQ(m_tel.FindPageIndex(0, "TRE", false), 1);
    EXPECT_EQ(m_tel.FindPageIndex(2, "tre", false), 2);
    EXPECT_EQ(m_tel.FindPageIndex(0, "TRE", true), 0) << "the page before";
    EXPECT_EQ(m_tel.FindPageIndex(0, "quattro", false), 3) << "past the last page";
    EXPECT_EQ(m_tel.FindPageIndex(0, "quattro", true), 2) << "the last page";
    EXPECT_EQ(m_tel.FindPageIndex(7, "uno", false), 7);
    EXPECT_EQ(m_tel.FindPageIndex(7, "uno", true), 6);
}

// ---- Derivations ----

TEST(WriterDerivations, ProtocolsSplitAtTheirSeparator) {
    using writers::SplitProtocol;
    auto parts = SplitProtocol("10061610424512345 - 000001", " - ");
    EXPECT_EQ(parts.protocol, "10061610424512345");
    EXPECT_EQ(parts.number, "000001");
    parts = SplitProtocol("10061610424512345/000004", "/");
    EXPECT_EQ(parts.protocol, "10061610424512345");
    EXPECT_EQ(parts.number, "000004");
    parts = SplitProtocol("10061610424512345 PROG. 000003 ", " prog. ", true);
    EXPECT_TRUE(parts.split);
    EXPECT_EQ(parts.protocol, "10061610424512345");
    EXPECT_EQ(parts.number, "000003");
    parts = SplitProtocol("10061610424512345", "/");
    EXPECT_FALSE(parts.split);
    EXPECT_EQ(parts.protocol, "10061610424512345");
    EXPECT_EQ(parts.number, "");
}

TEST(WriterDerivations, YearsAndPeriods) {
    EXPECT_EQ(writers::YearOfDate("16/06/2010"), 2010);
    EXPECT_THROW(writers::YearOfDate("16 giugno"), RuntimeError);
    EXPECT_EQ(writers::WidenYearText("09"), "2009");
    EXPECT_EQ(writers::WidenYearText("45"), "1945");
    EXPECT_EQ(writers::WidenYearText("2010"), "2010");

    auto period = writers::MonthPeriod(2, "2012");
    EXPECT_EQ(period.from, "01/02/2012");
    EXPECT_EQ(period.to, "29/02/2012") << "leap year";
    period = writers::QuarterPeriod(2, "10");
    EXPECT_EQ(period.from, "01/04/2010");
    EXPECT_EQ(period.to, "30/06/2010");
    period = writers::YearPeriod("2009");
    EXPECT_EQ(period.from, "01/01/2009");
    EXPECT_EQ(period.to, "31/12/2009");
    EXPECT_THROW(writers::MonthPeriod(13, "2010"), RuntimeError);
    EXPECT_THROW(writers::YearPeriod("anno"), RuntimeError);
    EXPECT_EQ(writers::LastDayOfMonthOf("15/02/2011"), "28/02/2011");
    EXPECT_EQ(writers::LastDayOfMonthOf("01/04/2010"), "30/04/2010");
}

TEST(WriterDerivations, CountsAreWholeNumbersOrAbsent) {
    EXPECT_EQ(writers::Count(" 12\r\n"), 12);
    EXPECT_EQ(writers::Count(""), std::nullopt);
    EXPECT_EQ(writers::Count("tre"), std::nullopt);
    EXPECT_EQ(writers::Count("un"), std::nullopt);
    EXPECT_EQ(writers::Count("Un", true), 1);
    EXPECT_THROW(writers::Count("99999999999"), RuntimeError);
    const std::string a = "2";
    const std::string b;
    const std::string c = "x";
    EXPECT_EQ(writers::SumOfCounts({&a, &b, &c, &a}), 4);
}

} // namespace
} // namespace quorvin::test
