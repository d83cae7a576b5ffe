// The original-document search over a real archive of originals, on both back ends.
#include "archiving/ArchivingTestSupport.h"

#include "archive/DorvaneRecordset.h"

#include <set>
#include <utility>

namespace quorvin::test {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;
using Link = std::pair<std::string, long>; // child archive, child record

// A stored receipt to link from.
constexpr long kReceipt = 4242;

class FindOrigDocTest : public ArchivingTest {
protected:
    long AddOriginal(const std::string& archive, const Fields& fields) {
        DorvaneRecordset record(m_env.Connection());
        EXPECT_TRUE(record.Open(archive, DorvaneRecordset::Mode::Updatable));
        EXPECT_TRUE(record.AddNew());
        for (const auto& [field, value] : fields) {
            EXPECT_TRUE(record.SetValue(field, value)) << field << "=" << value;
        }
        EXPECT_TRUE(record.Update()) << m_env.Connection()->LastError();
        return std::stol(record.Value("SYS_RECORD"));
    }

    // The originals linked to the receipt.
    std::set<Link> Links() {
        DorvaneRecordset rs(m_env.Connection());
        EXPECT_TRUE(rs.Open("select DB_SON_SERIALE, DB_SON_RECORD from DB_COLLEGAMENTI where "
                            "DB_PAR_SERIALE='" +
                            std::string(kStdSingle) +
                            "' and DB_PAR_RECORD=" + std::to_string(kReceipt)));
        std::set<Link> links;
        for (; !rs.Eof(); rs.MoveNext()) {
            links.insert({rs.Value("DB_SON_SERIALE"), std::stol(rs.Value("DB_SON_RECORD"))});
        }
        return links;
    }

    // The receipt's own record, holding Periodo as the storing routine leaves it.
    void CurrentPeriodo(const std::string& value) {
        DorvaneRecordset& record = m_tel->CurrentRecord();
        if (record.Editing()) {
            record.CancelUpdate();
        }
        ASSERT_TRUE(record.Open(kStdSingle, DorvaneRecordset::Mode::Updatable));
        ASSERT_TRUE(record.AddNew());
        ASSERT_TRUE(record.SetValue("Periodo", value));
    }

    bool Find(long type, long year, bool checkYear = false) {
        m_found = false;
        return m_tel->FindOrigDoc(kStdSingle, kReceipt, year, checkYear, m_found, type);
    }

    Fields F24(const std::string& taxCode, const std::string& date, const std::string& amount) {
        return {{"Cod_Tipo_doc_F", "111"},
                {"Cod_Fiscale", taxCode},
                {"Data_vers", date},
                {"Importo", amount},
                {"Anno", "2010"}};
    }

    bool m_found = false;
};

TEST_P(FindOrigDocTest, F24PaymentIsFoundByTaxCodeAndDateAndTheAmountBreaksTies) {
    const long wanted =
        AddOriginal(kStdOriginals, F24("RSSMRA80A01H501U", "16/06/2010", "1250,00"));
    AddOriginal(kStdOriginals, F24("RSSMRA80A01H501U", "16/06/2010", "99,50"));
    AddOriginal(kStdOriginals, F24("RSSMRA80A01H501U", "17/06/2010", "1250,00"));
    const long other = AddOriginal(kStdOriginals, F24("09876543217", "16/06/2010", "7,00"));
    TelInfo& info = m_tel->Info();
    info.TaxCode = "RSSMRA80A01H501U";
    info.PaymentDate = "16/06/2010";
    info.Amount = "1.250,00";
    ASSERT_TRUE(Find(111, 2010));
    EXPECT_TRUE(m_found);
    EXPECT_EQ(Links(), (std::set<Link>{{kStdOriginals, wanted}}));

    // One payment of the day: the amount is not looked at.
    info.TaxCode = "09876543217";
    info.Amount = "1,00";
    ASSERT_TRUE(Find(111, 2010));
    EXPECT_TRUE(m_found);
    EXPECT_EQ(Links(), (std::set<Link>{{kStdOriginals, wanted}, {kStdOriginals, other}}));
}

TEST_P(FindOrigDocTest, UnusableReceiptValuesMatchNothingWithoutError) {
    AddOriginal(kStdOriginals, F24("RSSMRA80A01H501U", "16/06/2010", "1250,00"));
    AddOriginal(kStdOriginals, F24("RSSMRA80A01H501U", "16/06/2010", "99,50"));
    TelInfo& info = m_tel->Info();
    info.TaxCode = "RSSMRA80A01H501U";
    info.PaymentDate = "16/06/2010";
    info.Amount = "non leggibile";
    EXPECT_TRUE(Find(111, 2010));
    EXPECT_FALSE(m_found);

    // Quotes and like wildcards in a tax code are text, not SQL.
    info.Amount = "1.250,00";
    for (const char* taxCode : {"RSSMRA80A01H501U' or '1'='1", "%", "_SSMRA80A01H501U"}) {
        info.TaxCode = taxCode;
        EXPECT_TRUE(Find(111, 2010)) << taxCode;
        EXPECT_FALSE(m_found) << taxCode;
    }
    EXPECT_TRUE(Links().empty());
    EXPECT_EQ(RecordCount(kStdOriginals), 2);
}

// A query that cannot be written fails the search (the receipt then says its original
// was not found) instead of passing for a search that found nothing.
TEST_P(FindOrigDocTest, QueryThatCannotBeWrittenFailsTheSearch) {
    AddOriginal(kStdOriginals, F24("RSSMRA80A01H501U", "16/06/2010", "1250,00"));
    TelInfo& info = m_tel->Info();
    info.TaxCode = "RSSMRA80A01H501U";
    struct Case {
        long type;
        const char* receiptDate;
        const char* paymentDate;
        const char* period;
    };
    const Case cases[] = {
        {111, "", "31/02/2010", ""},                               // impossible payment date
        {76, "non è una data", "", ""},                            // VAT activity without a year
        {312, "20/04/2012", "", "Anno 2012 Mese: 0"},              // month 0
        {312, "20/04/2012", "", "Anno 2012 Trimestre: 5 Formato"}, // quarter 5
        {86, "20/04/2012", "", "Anno 2012 Mese 13"},               // black list month 13
    };
    for (const auto& c : cases) {
        info.ReceiptDate = c.receiptDate;
        info.PaymentDate = c.paymentDate;
        info.Period = c.period;
        CurrentPeriodo("");
        EXPECT_FALSE(Find(c.type, 2012)) << c.type << " " << c.period;
        EXPECT_FALSE(m_found) << c.type;
    }
    EXPECT_TRUE(Links().empty());
}

TEST_P(FindOrigDocTest, LastQuarterIsSearchedInTheArchiveOfItsOwnYear) {
    AddArchiveLike(kStdOriginals, "TRASMESSI2010", "Documenti trasmessi 2010", 2010);
    const long original = AddOriginal("TRASMESSI2010", {{"Cod_Tipo_doc_F", "86"},
                                                        {"Cod_Fiscale", "RSSMRA80A01H501U"},
                                                        {"Anno", "2010"},
                                                        {"Dal", "01/10/2010"},
                                                        {"Al", "31/12/2010"}});
    TelInfo& info = m_tel->Info();
    info.TaxCode = "RSSMRA80A01H501U";
    info.ReceiptDate = "20/01/2011";
    info.Period = "ANNO 2010 TRIMESTRE 4";
    ASSERT_TRUE(Find(86, 2011));
    EXPECT_TRUE(m_found);
    EXPECT_EQ(Links(), (std::set<Link>{{"TRASMESSI2010", original}}));

    // Not the last quarter: no search in the previous year's archive.
    info.Period = "ANNO 2010 TRIMESTRE 3";
    EXPECT_TRUE(Find(86, 2011));
    EXPECT_FALSE(m_found);
}

TEST_P(FindOrigDocTest, MonthsAndQuartersSelectByDalAndAl) {
    const auto original = [&](long type, const std::string& periodo, const std::string& dal,
                              const std::string& al) {
        return AddOriginal(kStdOriginals, {{"Cod_Tipo_doc_F", std::to_string(type)},
                                           {"Cod_Fiscale", "RSSMRA80A01H501U"},
                                           {"Anno", periodo},
                                           {"Periodo", periodo},
                                           {"Dal", dal},
                                           {"Al", al}});
    };
    const long march = original(71, "2010", "01/03/2010", "31/03/2010");
    const long april = original(71, "2010", "01/04/2010", "30/04/2010");
    const long second = original(312, "2010", "01/04/2010", "30/06/2010");
    const long third = original(311, "2010", "01/07/2010", "30/09/2010");
    TelInfo& info = m_tel->Info();
    info.TaxCode = "RSSMRA80A01H501U";
    info.ReceiptDate = "20/07/2010";

    info.Period = "Anno: 2010 Mese: 3";
    ASSERT_TRUE(Find(71, 2010));
    EXPECT_EQ(Links(), (std::set<Link>{{kStdOriginals, march}}));

    // A month that cannot be read: the whole year's originals.
    info.Period = "Anno: 2010 Mese: ?";
    ASSERT_TRUE(Find(71, 2010));
    EXPECT_EQ(Links(), (std::set<Link>{{kStdOriginals, march}, {kStdOriginals, april}}));

    CurrentPeriodo("2010");
    info.Period = "trim: 2";
    ASSERT_TRUE(Find(312, 2010));
    EXPECT_TRUE(Links().count({kStdOriginals, second}));

    // An empty Periodo of the receipt: the year argument is used.
    CurrentPeriodo("");
    info.Period = "Trimestre: 3 Formato: ordinario";
    ASSERT_TRUE(Find(311, 2010));
    EXPECT_TRUE(Links().count({kStdOriginals, third}));
    EXPECT_EQ(Links().size(), 4u);
}

TEST_P(FindOrigDocTest, QuarterlyRefundFallsBackToTheQuarterWords) {
    const auto refund = [&](const std::string& dataDoc, const std::string& al) {
        return AddOriginal(kStdOriginals, {{"Cod_Tipo_doc_F", "109"},
                                           {"Cod_Fiscale", "RSSMRA80A01H501U"},
                                           {"Data_doc", dataDoc},
                                           {"Al", al}});
    };
    refund("20/04/2010", "31/03/2010");
    const long second = refund("20/07/2010", "30/06/2010");
    TelInfo& info = m_tel->Info();
    info.TaxCode = "RSSMRA80A01H501U";
    info.ReceiptDate = "25/07/2010";
    info.Period = "SECONDO TRIMESTRE 2010";
    ASSERT_TRUE(Find(109, 2010));
    EXPECT_TRUE(m_found);
    EXPECT_EQ(Links(), (std::set<Link>{{kStdOriginals, second}}));
}

TEST_P(FindOrigDocTest, IrapReceiptFallsBackToUnicoOfNonCommercialBodies) {
    Load("irap.pdf", {{kHeaderSD, "MODELLO DI DICHIARAZIONE IRAP 2010"}});
    ASSERT_EQ(m_tel->DocType(), 168);
    const long unico =
        AddOriginal(kStdOriginals, {{"Cod_Tipo_doc_F", "105"}, {"Cod_Fiscale", "80012345678"}});
    m_tel->Info().TaxCode = "80012345678";
    ASSERT_TRUE(Find(87, 2010));
    EXPECT_TRUE(m_found);
    EXPECT_EQ(Links(), (std::set<Link>{{kStdOriginals, unico}}));
}

TEST_P(FindOrigDocTest, YearCheckSkipsOriginalsFiledWithinAYearOfTheirPeriod) {
    auto late = F24("RSSMRA80A01H501U", "16/06/2010", "10,00");
    late.push_back({"Periodo", "2010"});
    auto onTime = late;
    late[4] = {"Anno", "2012"};
    const long kept = AddOriginal(kStdOriginals, late);
    AddOriginal(kStdOriginals, onTime);
    TelInfo& info = m_tel->Info();
    info.TaxCode = "RSSMRA80A01H501U";
    info.PaymentDate = "16/06/2010";
    info.Amount = "10,00";
    ASSERT_TRUE(Find(111, 2010, true));
    EXPECT_TRUE(m_found);
    EXPECT_EQ(Links(), (std::set<Link>{{kStdOriginals, kept}}));
}

TEST_P(FindOrigDocTest, TypeWithoutArchiveFails) {
    m_tel->Info().ReceiptDate = "16/06/2010";
    EXPECT_FALSE(Find(999, 2010));
    EXPECT_FALSE(m_found);
}

INSTANTIATE_TEST_SUITE_P(Backends, FindOrigDocTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
