// Finding archived records on both back ends: free text, filters, paging, rights, links
// and the stored PDF, and the search table kept in step with every write.
#include "archive/ArchiveTestSupport.h"

#include "archive/ArchiveAdmin.h"
#include "archive/ArchiveSearch.h"
#include "archive/DorvaneArchiveStore.h"
#include "archive/DorvaneRecordset.h"
#include "archive/Quoting.h"
#include "archive/SearchIndex.h"
#include "archive/SearchText.h"

#include <gmock/gmock.h>

#include <fstream>
#include <functional>
#include <map>
#include <set>

namespace quorvin::test {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAreArray;

class SearchTest : public ArchiveTest {
protected:
    void SetUp() override {
        ArchiveTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        // clang-format off
        const std::vector<Fields> singles = {
            {{"Ditta", "D'ANGELO ROSA"},        {"Cod_Fiscale", "DNGRSO70A41F205X"}, {"Data_doc", "10/01/2010"}, {"Cod_Tipo_doc_F", "131"}, {"Anno", "2010"}, {"Esito", "ACQUISITO"}, {"Protocollo_Attribuito", "10011010000000001"}},
            {{"Ditta", "CITTÀ DI CASTELLO SRL"}, {"Cod_Fiscale", "01234567890"},     {"Data_doc", "16/06/2010"}, {"Cod_Tipo_doc_F", "131"}, {"Anno", "2010"}, {"Esito", "SCARTATO"},  {"Protocollo_Attribuito", "10061610424512345"}},
            {{"Ditta", "SCONTO 50% SRL"},        {"Cod_Fiscale", "09876543217"},     {"Data_doc", "16/06/2011"}, {"Cod_Tipo_doc_F", "133"}, {"Anno", "2011"}, {"Esito", "ACQUISITO"}},
            {{"Ditta", "CONSEGNA 50 EURO"},      {"Cod_Fiscale", "RSSMRA80A01H501U"}, {"Data_doc", "01/02/2009"}, {"Cod_Tipo_doc_F", "131"}, {"Anno", "2009"}},
            {{"Ditta", "A_B SNC"},               {"Cod_Fiscale", "RSSMRA80A01H501U"}, {"Data_doc", "05/05/2010"}, {"Cod_Tipo_doc_F", "178"}, {"Anno", "2010"}},
            {{"Ditta", "AXB SNC"},               {"Cod_Fiscale", "RSSMRA80A01H501U"}},
        };
        // clang-format on
        for (const auto& fields : singles) {
            m_singles.push_back(Add(kSingleCode, fields));
        }
        m_summary = Add(kSummaryCode, {{"Descrizione", "F24 - RICHIESTE DI PAGAMENTO"},
                                       {"Ditta", "RIEPILOGO"},
                                       {"Data_doc", "16/06/2010"},
                                       {"Cod_Tipo_doc_F", "130"}});
        m_original = Add(kOrigAnyCode, {{"Ditta", "ROSSI MARIO"}, {"Cod_Tipo_doc_F", "111"}});
    }

    long Add(const std::string& archive, const Fields& fields) {
        DorvaneRecordset record(m_connection);
        EXPECT_TRUE(record.Open(archive, DorvaneRecordset::Mode::Updatable));
        EXPECT_TRUE(record.AddNew());
        for (const auto& [field, value] : fields) {
            EXPECT_TRUE(record.SetValue(field, value)) << field;
        }
        EXPECT_TRUE(record.Update()) << m_connection->LastError();
        return std::stol(record.Value("SYS_RECORD"));
    }

    search::Finder AsAdmin() {
        return search::Finder(m_connection, admin::UserId(*m_connection, m_admin));
    }

    // The names (Ditta, else the description) of what the query finds, in order.
    std::vector<std::string> Names(const search::Query& query) {
        search::Page page;
        std::string error;
        EXPECT_TRUE(AsAdmin().Search(query, page, error)) << error;
        std::vector<std::string> names;
        for (const auto& row : page.rows) {
            names.push_back(row.name.empty() ? row.description : row.name);
        }
        return names;
    }

    std::vector<long> m_singles;
    long m_summary = -1;
    long m_original = -1;
};

search::Query Text(const std::string& text) {
    search::Query query;
    query.text = text;
    return query;
}

TEST_P(SearchTest, FreeTextIgnoresCaseAccentsAndApostrophesAndTakesWildcardsLiterally) {
    struct Case {
        std::string text;
        std::set<std::string> names;
    };
    const std::vector<Case> cases = {
        {"d’angelo", {"D'ANGELO ROSA"}},
        {"D`ANGELO", {"D'ANGELO ROSA"}},
        {"città", {"CITTÀ DI CASTELLO SRL"}},
        {"CITTA castello", {"CITTÀ DI CASTELLO SRL"}},
        {"castello città", {"CITTÀ DI CASTELLO SRL"}},
        {"50%", {"SCONTO 50% SRL"}},
        // "50" is in the tax code too.
        {"50", {"SCONTO 50% SRL", "CONSEGNA 50 EURO", "A_B SNC", "AXB SNC"}},
        {"50 euro", {"CONSEGNA 50 EURO"}},
        {"a_b", {"A_B SNC"}},
        {"_", {"A_B SNC"}},
        {"%", {"SCONTO 50% SRL"}},
        {"rssmra80a01h501u", {"CONSEGNA 50 EURO", "A_B SNC", "AXB SNC"}},
        {"ro", {"D'ANGELO ROSA", "ROSSI MARIO", "CONSEGNA 50 EURO"}},
        {"pagamento", {"RIEPILOGO"}},
        {"nessuno", {}},
        {"'; drop table DB_ELENCO; --", {}},
    };
    for (const auto& c : cases) {
        const auto names = Names(Text(c.text));
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), c.names) << c.text;
    }
}

TEST_P(SearchTest, FiltersSortNewestFirstAndPage) {
    search::Query all;
    // Same day: by archive code; no date: last.
    EXPECT_THAT(Names(all),
                ElementsAre("SCONTO 50% SRL", "RIEPILOGO", "CITTÀ DI CASTELLO SRL", "A_B SNC",
                            "D'ANGELO ROSA", "CONSEGNA 50 EURO", "ROSSI MARIO", "AXB SNC"));
    struct Case {
        const char* what;
        std::function<void(search::Query&)> set;
        std::vector<std::string> names;
    };
    const std::vector<Case> cases = {
        {"tax code",
         [](auto& q) { q.taxCode = " rssmra80a01h501u "; },
         {"A_B SNC", "CONSEGNA 50 EURO", "AXB SNC"}},
        {"protocol", [](auto& q) { q.protocol = "10061610424512345"; }, {"CITTÀ DI CASTELLO SRL"}},
        {"type",
         [](auto& q) { q.docType = 131; },
         {"CITTÀ DI CASTELLO SRL", "D'ANGELO ROSA", "CONSEGNA 50 EURO"}},
        {"dates",
         [](auto& q) {
             q.from = Date{2010, 1, 10};
             q.to = Date{2010, 6, 16};
         },
         {"RIEPILOGO", "CITTÀ DI CASTELLO SRL", "A_B SNC", "D'ANGELO ROSA"}},
        {"year", [](auto& q) { q.year = 2011; }, {"SCONTO 50% SRL"}},
        {"outcome", [](auto& q) { q.outcome = "scart"; }, {"CITTÀ DI CASTELLO SRL"}},
        {"archive", [](auto& q) { q.archive = kOrigAnyCode; }, {"ROSSI MARIO"}},
        {"text and type",
         [](auto& q) {
             q.text = "50";
             q.docType = 131;
         },
         {"CONSEGNA 50 EURO"}},
        {"oldest first",
         [](auto& q) {
             q.taxCode = "RSSMRA80A01H501U";
             q.descending = false;
         },
         {"CONSEGNA 50 EURO", "A_B SNC", "AXB SNC"}},
        {"by name",
         [](auto& q) {
             q.taxCode = "RSSMRA80A01H501U";
             q.sort = search::SortKey::Name;
             q.descending = false;
         },
         {"AXB SNC", "A_B SNC", "CONSEGNA 50 EURO"}},
        {"second page",
         [](auto& q) {
             q.limit = 3;
             q.offset = 3;
         },
         {"A_B SNC", "D'ANGELO ROSA", "CONSEGNA 50 EURO"}},
        {"past the end", [](auto& q) { q.offset = 50; }, {}},
    };
    for (const auto& c : cases) {
        search::Query query;
        c.set(query);
        EXPECT_EQ(Names(query), c.names) << c.what;
    }
    search::Query paged;
    paged.limit = 2;
    paged.offset = 100;
    search::Page page;
    std::string error;
    ASSERT_TRUE(AsAdmin().Search(paged, page, error)) << error;
    EXPECT_EQ(page.total, 8);
    paged.offset = 0;
    ASSERT_TRUE(AsAdmin().Search(paged, page, error)) << error;
    EXPECT_EQ(page.total, 8);
    ASSERT_EQ(page.rows.size(), 2u);
    EXPECT_EQ(page.rows[0].date, "16/06/2011");
    EXPECT_EQ(page.rows[0].docType, "133");
    EXPECT_EQ(page.rows[0].docTypeName, "Esito F24 singolo");
    EXPECT_EQ(page.rows[0].archiveName, "Ricevute - singole");
    EXPECT_EQ(page.rows[0].outcome, "ACQUISITO");
    EXPECT_EQ(page.rows[0].taxCode, "09876543217");
    EXPECT_EQ(page.rows[1].archive, kSummaryCode);
    EXPECT_EQ(page.rows[1].record, m_summary);
}

// Each archive hands the union only its first rows in the page's order: pages of two,
// laid end to end, must give the one long page, for every order and with text too.
TEST_P(SearchTest, PagesLaidEndToEndGiveTheWholeListInEveryOrder) {
    using search::SortKey;
    for (const SortKey key :
         {SortKey::Date, SortKey::Type, SortKey::Name, SortKey::TaxCode, SortKey::Protocol,
          SortKey::Outcome, SortKey::Description, SortKey::Archive}) {
        for (const bool descending : {true, false}) {
            for (const std::string text : {"", "srl"}) {
                search::Query query;
                query.sort = key;
                query.descending = descending;
                query.text = text;
                const std::string what = "order " + std::to_string(static_cast<int>(key)) +
                                         (descending ? " desc" : " asc") + " text '" + text + "'";
                const std::vector<std::string> whole = Names(query);
                ASSERT_FALSE(whole.empty()) << what;
                std::vector<std::string> paged;
                query.limit = 2;
                for (query.offset = 0; query.offset < 10; query.offset += 2) {
                    const auto page = Names(query);
                    paged.insert(paged.end(), page.begin(), page.end());
                }
                EXPECT_EQ(paged, whole) << what;
            }
        }
    }
}

TEST_P(SearchTest, RightsHideAnArchiveItsRecordsAndLinksToIt) {
    std::string error;
    ASSERT_GE(admin::AddUser(*m_connection, "lettore", "", false, error), 0) << error;
    ASSERT_TRUE(admin::Grant(*m_connection, "lettore", kSingleCode, false, 0, error)) << error;
    ASSERT_TRUE(m_connection->Execute(
        "insert into DB_COLLEGAMENTI (DB_PAR_SERIALE, DB_PAR_RECORD, DB_SON_SERIALE, DB_SON_RECORD)"
        " values ('" +
        std::string(kSummaryCode) + "', " + std::to_string(m_summary) + ", '" + kSingleCode +
        "', " + std::to_string(m_singles[1]) + ")"));
    search::Finder reader(m_connection, admin::UserId(*m_connection, "lettore"));
    ASSERT_EQ(reader.ReadableArchives().size(), 1u);
    search::Page page;
    ASSERT_TRUE(reader.Search(Text("rosa"), page, error)) << error;
    ASSERT_EQ(page.rows.size(), 1u);
    EXPECT_EQ(page.rows[0].name, "D'ANGELO ROSA");
    search::Detail detail;
    EXPECT_FALSE(reader.Read(kSummaryCode, m_summary, detail, error));
    std::string bytes;
    EXPECT_FALSE(reader.Pdf(kSummaryCode, m_summary, bytes, error));
    ASSERT_TRUE(reader.Read(kSingleCode, m_singles[1], detail, error)) << error;
    EXPECT_TRUE(detail.parents.empty());
    ASSERT_TRUE(AsAdmin().Read(kSingleCode, m_singles[1], detail, error)) << error;
    EXPECT_EQ(detail.parents.size(), 1u);
    search::Finder nobody(m_connection, -1);
    ASSERT_TRUE(nobody.Search(Text("ro"), page, error));
    EXPECT_TRUE(page.rows.empty());
}

TEST_P(SearchTest, RecordShowsEveryFieldAndItsLinksInBothDirections) {
    const std::string link = "insert into DB_COLLEGAMENTI (DB_PAR_SERIALE, DB_PAR_RECORD,"
                             " DB_SON_SERIALE, DB_SON_RECORD) values ";
    ASSERT_TRUE(m_connection->Execute(link + "('" + kSummaryCode + "', " +
                                      std::to_string(m_summary) + ", '" + kSingleCode + "', " +
                                      std::to_string(m_singles[1]) + ");" + link + "('" +
                                      kSingleCode + "', " + std::to_string(m_singles[1]) + ", '" +
                                      kOrigAnyCode + "', " + std::to_string(m_original) + ")"));
    search::Detail detail;
    std::string error;
    ASSERT_TRUE(AsAdmin().Read(kSingleCode, m_singles[1], detail, error)) << error;
    EXPECT_EQ(detail.archiveName, "Ricevute - singole");
    std::map<std::string, std::string> fields;
    for (const auto& field : detail.fields) {
        fields[field.name] = field.value;
    }
    EXPECT_EQ(fields.size(), 19u);
    EXPECT_EQ(fields["Ditta"], "CITTÀ DI CASTELLO SRL");
    EXPECT_EQ(fields["Data_doc"], "16/06/2010");
    EXPECT_EQ(fields["Esito"], "SCARTATO");
    ASSERT_EQ(detail.parents.size(), 1u);
    EXPECT_EQ(detail.parents[0].archive, kSummaryCode);
    EXPECT_EQ(detail.parents[0].record, m_summary);
    EXPECT_EQ(detail.parents[0].date, "16/06/2010");
    ASSERT_EQ(detail.children.size(), 1u);
    EXPECT_EQ(detail.children[0].archiveName, "Originali");
    EXPECT_EQ(detail.children[0].record, m_original);
    ASSERT_TRUE(AsAdmin().Read(kOrigAnyCode, m_original, detail, error)) << error;
    ASSERT_EQ(detail.parents.size(), 1u);
    EXPECT_EQ(detail.parents[0].record, m_singles[1]);
    EXPECT_TRUE(detail.children.empty());
    EXPECT_FALSE(AsAdmin().Read(kSingleCode, 999999, detail, error));
    EXPECT_FALSE(AsAdmin().Read("NESSUNO", 1, detail, error));
}

TEST_P(SearchTest, StoredPdfComesBackByteForByte) {
    std::string content = "%PDF-1.4\n";
    for (int i = 0; i < 2000; ++i) {
        content += static_cast<char>(i % 256);
    }
    const std::string source = m_dir.File("ricevuta.pdf");
    std::ofstream(source, std::ios::binary) << content;
    DorvaneRecordset record(m_connection);
    DorvaneArchiveStore store(m_connection);
    std::string destination;
    ASSERT_TRUE(record.Open(kSingleCode, DorvaneRecordset::Mode::Updatable));
    ASSERT_TRUE(record.AddNew());
    ASSERT_TRUE(store.StoreFile(record, source, "ricevuta.pdf", destination));
    ASSERT_TRUE(record.Update());
    const long stored = std::stol(record.Value("SYS_RECORD"));
    std::string bytes;
    std::string error;
    ASSERT_TRUE(AsAdmin().Pdf(kSingleCode, stored, bytes, error)) << error;
    EXPECT_EQ(bytes, content);
    search::Detail detail;
    ASSERT_TRUE(AsAdmin().Read(kSingleCode, stored, detail, error));
    EXPECT_EQ(detail.storedFile, "ricevuta.pdf");
    EXPECT_FALSE(search::StoredPdf(m_connection, kSingleCode, m_singles[0], bytes, error));
    EXPECT_EQ(error, "Nessun file archiviato per il record " + std::to_string(m_singles[0]) +
                         " dell'archivio '" + kSingleCode + "'.");
}

TEST_P(SearchTest, SearchTableFollowsEveryWriteAndOlderArchivesAreMigrated) {
    const std::string table = m_connection->Archive(kSingleCode)->table;
    // Written as the engine's own SQL texts write, not through a record set.
    ASSERT_TRUE(m_connection->Execute(
        "update " + table +
        " set Ditta='NUOVO NOME' where sys_record=" + std::to_string(m_singles[5])));
    EXPECT_THAT(Names(Text("nuovo")), ElementsAre("NUOVO NOME"));
    EXPECT_TRUE(Names(Text("axb")).empty());
    ASSERT_TRUE(m_connection->Execute("delete from " + table +
                                      " where sys_record=" + std::to_string(m_singles[4])));
    EXPECT_TRUE(Names(Text("a_b")).empty());

    // An archive of the previous schema: no search rows, no indexes.
    ASSERT_TRUE(m_connection->Execute(
        "delete from QUORVIN_RICERCA; drop index " + table +
        "_cod_fiscale;"
        " update QUORVIN_INFO set VALORE='3' where CHIAVE='versione_schema'"));
    EXPECT_TRUE(Names(Text("castello")).empty());
    m_connection.reset();
    m_connection = OpenEmpty(m_locator);
    ASSERT_TRUE(m_connection);
    EXPECT_THAT(Names(Text("castello")), ElementsAre("CITTÀ DI CASTELLO SRL"));
    const std::string indexes =
        GetParam() == BackendKind::Sqlite
            ? "select count(*) from sqlite_master where type='index' and name like '" + table +
                  "_%'"
            : "select count(*) from pg_indexes where indexname like '" + table +
                  "_%' and indexname not like '%pkey'";
    db::Result result;
    ASSERT_TRUE(m_connection->Query(indexes, result));
    EXPECT_EQ(result.rows[0][0].value_or(""), "4");
    // Opening again changes nothing.
    m_connection.reset();
    m_connection = OpenEmpty(m_locator);
    EXPECT_THAT(Names(Text("castello")), ElementsAre("CITTÀ DI CASTELLO SRL"));
}

// Inside a file's transaction the text index may catch up only at the commit: whatever
// the transaction adds, changes, removes or drops, the index ends as if kept row by row.
TEST_P(SearchTest, TheTextIndexAfterATransactionIsAsIfKeptRowByRow) {
    const std::string table = m_connection->Archive(kSingleCode)->table;
    const auto set = [&](long record, const std::string& name) {
        return m_connection->Execute("update " + table + " set Ditta=" + SqlText(name) +
                                     " where sys_record=" + std::to_string(record));
    };
    const auto remove = [&](long record, const std::string& from = kSingleCode) {
        return m_connection->Execute("delete from " + m_connection->Archive(from)->table +
                                     " where sys_record=" + std::to_string(record));
    };
    // Dropped: nothing of it is found, and the next transaction starts clean.
    ASSERT_TRUE(m_connection->Begin());
    Add(kSingleCode, {{"Ditta", "ANNULLATA SPA"}});
    ASSERT_TRUE(m_connection->Rollback());
    EXPECT_TRUE(Names(Text("annullata")).empty());

    ASSERT_TRUE(m_connection->Begin());
    Add(kSingleCode, {{"Ditta", "NUOVA PRIMA"}});
    // The newest search row goes, so the next one added may take its number again.
    ASSERT_TRUE(remove(m_original, kOrigAnyCode));
    const long kept = Add(kSingleCode, {{"Ditta", "NUOVA UNO"}});
    const long changed = Add(kSingleCode, {{"Ditta", "NUOVA DUE"}});
    const long dropped = Add(kSingleCode, {{"Ditta", "NUOVA TRE"}});
    ASSERT_TRUE(set(changed, "CAMBIATA DUE"));
    // The search row of a record dropped here is taken again by the next one.
    ASSERT_TRUE(remove(dropped));
    Add(kSingleCode, {{"Ditta", "NUOVA QUATTRO"}});
    ASSERT_TRUE(set(m_singles[0], "VECCHIA CAMBIATA"));
    ASSERT_TRUE(remove(m_singles[1]));
    ASSERT_TRUE(m_connection->PartBegin());
    Add(kSingleCode, {{"Ditta", "NUOVA PARTE"}});
    ASSERT_TRUE(m_connection->PartUndo());
    ASSERT_TRUE(remove(Add(kSingleCode, {{"Ditta", "NUOVA ULTIMA"}})));
    ASSERT_TRUE(m_connection->Commit()) << m_connection->LastError();

    EXPECT_THAT(Names(Text("nuova")),
                UnorderedElementsAreArray({"NUOVA PRIMA", "NUOVA UNO", "NUOVA QUATTRO"}));
    EXPECT_THAT(Names(Text("cambiata")),
                UnorderedElementsAreArray({"CAMBIATA DUE", "VECCHIA CAMBIATA"}));
    EXPECT_TRUE(Names(Text("castello")).empty());
    EXPECT_TRUE(Names(Text("rossi")).empty());
    EXPECT_TRUE(Names(Text("d'angelo")).empty());
    EXPECT_THAT(Names(Text("sconto")), ElementsAre("SCONTO 50% SRL"));
    EXPECT_GT(kept, 0);
    if (GetParam() == BackendKind::Sqlite) {
        // Every indexed word of every row, as kept, then as rebuilt from the rows.
        const std::string fts = search::kFtsTable;
        ASSERT_TRUE(
            m_connection->Execute("create virtual table temp.PAROLE using fts5vocab(main, " +
                                  SqlText(fts) + ", 'instance')"));
        db::Result kept;
        db::Result rebuilt;
        db::Result deferrals;
        const std::string words = "select term, doc, offset from temp.PAROLE order by 1, 2, 3";
        ASSERT_TRUE(m_connection->Query(words, kept));
        ASSERT_TRUE(
            m_connection->Execute("insert into " + fts + " (" + fts + ") values ('rebuild')"));
        ASSERT_TRUE(m_connection->Query(words, rebuilt));
        EXPECT_FALSE(kept.rows.empty());
        EXPECT_TRUE(kept.rows == rebuilt.rows);
        ASSERT_TRUE(m_connection->Query(std::string("select count(*) from ") + search::kDeferTable,
                                        deferrals));
        EXPECT_EQ(deferrals.rows.at(0).at(0), "0");
    }
}

TEST_P(SearchTest, DatabaseFoldsAsTheLibraryDoes) {
    for (const std::string text :
         {"D’ANGELO", "Città  DI\tCastello", "ÀÉÎÕÜ çñ ÿ", "50% a_b", "ﬁne ﬂusso", "  -x- ",
          "Straße Ωmega", "l'angolo del caffe' s.r.l."}) {
        db::Result result;
        ASSERT_TRUE(m_connection->Query(
            std::string("select ") + search::kFoldFunction + "(" + SqlText(text) + ")", result))
            << m_connection->LastError();
        EXPECT_EQ(result.rows[0][0].value_or(""), search::Fold(text)) << text;
    }
    EXPECT_EQ(search::Fold("D’Angelo, CITTÀ 50%"), "d angelo citta 50%");
}

INSTANTIATE_TEST_SUITE_P(Backends, SearchTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

TEST(SqliteConnectionTest, TextWithANulCharacterFailsInsteadOfLooping) {
    TempDir dir;
    std::string error;
    auto db = db::OpenSqlite(dir.File("a.sqlite"), {}, error);
    ASSERT_TRUE(db) << error;
    EXPECT_FALSE(db->Execute(std::string("select 1;\0select 2", 18)));
    EXPECT_EQ(db->LastError(), "Testo SQL non valido: contiene un carattere nullo.");
    EXPECT_TRUE(db->Execute("select 1"));
}

} // namespace
} // namespace quorvin::test
