// Schema, record sets, field conversion, Find, descriptions and links on both back ends.
#include "archive/ArchiveTestSupport.h"

#include "archive/ArchiveAdmin.h"
#include "archive/DorvaneArchiveStore.h"
#include "archive/DorvaneArchives.h"
#include "archive/DorvaneRecordset.h"
#include "archive/Schema.h"

#include <thread>

namespace quorvin::test {
namespace {

using Mode = DorvaneRecordset::Mode;

class RecordsetTest : public ArchiveTest {
protected:
    // Adds a record to the single archive with the given field values; its SYS_RECORD.
    long Add(const std::vector<std::pair<std::string, std::string>>& values) {
        DorvaneRecordset record(m_connection);
        EXPECT_TRUE(record.Open(kSingleCode, Mode::Updatable));
        EXPECT_TRUE(record.AddNew());
        for (const auto& [field, value] : values) {
            EXPECT_TRUE(record.SetValue(field, value)) << field << "=" << value;
        }
        EXPECT_TRUE(record.Update()) << m_connection->LastError();
        return std::stol(record.Value("SYS_RECORD"));
    }

    // A new database left at the first schema version, as an old archive would be.
    void MakeVersionOne(const std::string& locator) {
        std::string error;
        auto raw = GetParam() == BackendKind::Sqlite ? db::OpenSqlite(locator, {}, error)
                                                     : db::OpenPostgres(locator, error);
        ASSERT_TRUE(raw) << error;
        ASSERT_TRUE(schema::Migrate(*raw, 1, error)) << error;
        EXPECT_EQ(schema::Version(*raw), 1);
    }
};

TEST_P(RecordsetTest, SchemaIsCurrentAndReopeningKeepsIt) {
    db::Result result;
    ASSERT_TRUE(m_connection->Query(
        "select VALORE from QUORVIN_INFO where CHIAVE='versione_schema'", result));
    EXPECT_EQ(result.rows.at(0).at(0).value_or(""), std::to_string(schema::kVersion));
    for (const char* table : {"DB_ELENCO", "SYS_TATD", "SYS_TIPO_DOC_F", "PERMESSI", "DB_PERMESSI",
                              "UTENTE_PERMESSI", "UTENTI", "DB_CAMPI", "DB_COLLEGAMENTI"}) {
        EXPECT_TRUE(m_connection->Execute(std::string("select * from ") + table)) << table;
    }
    m_connection.reset();
    std::string error;
    ConnectOptions options;
    options.createSchema = false;
    auto again = DorvaneConnection::Open(m_locator, options, error);
    ASSERT_TRUE(again) << error;
    EXPECT_FALSE(again->Created());
    EXPECT_NE(again->Archive(kSingleCode), nullptr);
}

TEST_P(RecordsetTest, ProgramsOpeningAnOldArchiveAtOnceAllGetItMigratedOnce) {
    const std::string locator = NewLocator();
    ASSERT_NO_FATAL_FAILURE(MakeVersionOne(locator));
    // Each migrates only after taking the write lock, so the later ones find it done.
    std::vector<std::string> errors(3);
    std::vector<std::thread> openers;
    for (auto& reason : errors) {
        openers.emplace_back([&locator, &reason] {
            ConnectOptions options;
            options.createSchema = false;
            options.busyTimeoutMs = 20000;
            if (!DorvaneConnection::Open(locator, options, reason)) {
                reason = "failed: " + reason;
            }
        });
    }
    for (auto& opener : openers) {
        opener.join();
    }
    for (const auto& reason : errors) {
        EXPECT_EQ(reason, "");
    }
}

TEST_P(RecordsetTest, OlderSchemaIsMigratedForwardAndNewerIsRefused) {
    const std::string locator = NewLocator();
    ASSERT_NO_FATAL_FAILURE(MakeVersionOne(locator));
    auto migrated = OpenEmpty(locator);
    ASSERT_TRUE(migrated);
    db::Result result;
    ASSERT_TRUE(
        migrated->Query("select VALORE from QUORVIN_INFO where CHIAVE='versione_schema'", result));
    EXPECT_EQ(result.rows.at(0).at(0).value_or(""), std::to_string(schema::kVersion));
    ASSERT_TRUE(migrated->Execute("update QUORVIN_INFO set VALORE='99' where"
                                  " CHIAVE='versione_schema'"));
    migrated.reset();
    std::string error;
    EXPECT_FALSE(DorvaneConnection::Open(locator, {}, error));
    EXPECT_NE(error.find("più recente"), std::string::npos) << error;
}

TEST_P(RecordsetTest, UpdateAssignsRecordNumbersAndReadOnlySetsReadThemBack) {
    const long first = Add({{"Ditta", "Rossi S.r.l."}, {"Anno", "2010"}});
    const long second = Add({{"ditta", "Bianchi"}, {"ANNO", "2011"}});
    EXPECT_GT(first, 0);
    EXPECT_EQ(second, first + 1);

    DorvaneRecordset set(m_connection);
    ASSERT_TRUE(set.Open("select * from " + std::string("arc_") + "singole000000001" +
                         " order by SYS_RECORD"));
    EXPECT_TRUE(set.IsOpen());
    EXPECT_EQ(set.RecordCount(), 2);
    EXPECT_TRUE(set.HasField("DITTA"));
    EXPECT_FALSE(set.HasField("Nessuno"));
    EXPECT_EQ(set.Value("Ditta"), "Rossi S.r.l.");
    EXPECT_EQ(set.Value("sys_serialE"), kSingleCode);
    EXPECT_TRUE(set.MoveNext());
    EXPECT_EQ(set.Value("anno"), "2011");
    EXPECT_FALSE(set.MoveNext());
    EXPECT_TRUE(set.Eof());
    EXPECT_EQ(set.Value("Ditta"), "");
    // A read-only set refuses changes.
    set.MoveFirst();
    EXPECT_FALSE(set.Edit());
    EXPECT_FALSE(set.AddNew());
    set.Close();
    EXPECT_FALSE(set.IsOpen());
    EXPECT_FALSE(set.Open("select * from tabella_inesistente"));
    EXPECT_FALSE(m_connection->LastError().empty());
}

TEST_P(RecordsetTest, SetValueConvertsToTheFieldTypeOrRefuses) {
    DorvaneRecordset record(m_connection);
    ASSERT_TRUE(record.Open(kSingleCode, Mode::Updatable));
    ASSERT_TRUE(record.AddNew());
    EXPECT_TRUE(record.SetValue("Data_doc", "12/03/2010"));
    EXPECT_TRUE(record.SetValue("Dal", "1 marzo 2010"));
    EXPECT_TRUE(record.SetValue("Importo", "1.250,00"));
    EXPECT_TRUE(record.SetValue("Anno", 2010));
    EXPECT_TRUE(record.SetValue("Scartato", true));
    EXPECT_TRUE(record.SetValue("Periodo", "2010"));
    EXPECT_TRUE(record.SetValue("Ditta", "x"));
    EXPECT_TRUE(record.SetValue("Ditta", "")); // empty stores NULL

    EXPECT_FALSE(record.SetValue("Data_doc", "31/02/2010"));
    EXPECT_FALSE(record.SetValue("Anno", "duemila"));
    EXPECT_FALSE(record.SetValue("Importo", "12 euro"));
    EXPECT_FALSE(record.SetValue("Scartato", "forse"));
    EXPECT_FALSE(record.SetValue("Inesistente", "1"));
    EXPECT_FALSE(record.SetValue("SYS_RECORD", "7"));
    EXPECT_EQ(record.Value("Data_doc"), "12/03/2010"); // a refused value changes nothing
    ASSERT_TRUE(record.Update()) << m_connection->LastError();
    const std::string number = record.Value("SYS_RECORD");

    DorvaneRecordset back(m_connection);
    ASSERT_TRUE(back.Open("select * from arc_singole000000001 where Data_doc='2010-03-12'"
                          " and Dal='2010-03-01' and Importo=1250.00 and Anno=2010 and"
                          " Scartato=1 and Periodo=2010"));
    ASSERT_EQ(back.RecordCount(), 1);
    EXPECT_EQ(back.Value("SYS_RECORD"), number);
    EXPECT_EQ(back.Value("Data_doc"), "12/03/2010");
    EXPECT_EQ(back.Value("Importo"), "1250.00");
    EXPECT_EQ(back.Value("Scartato"), "1");
    EXPECT_TRUE(back.IsNull("Ditta"));
    EXPECT_EQ(back.Value("Ditta"), "");
}

TEST_P(RecordsetTest, FindPositionsOnNumbersAndQuotedTexts) {
    Add({{"Ditta", "L'Aquila Servizi"}, {"Anno", "2009"}});
    Add({{"Ditta", "Rossi"}, {"Anno", "2010"}, {"Data_doc", "05/06/2010"}});
    DorvaneRecordset types(m_connection);
    ASSERT_TRUE(types.Open("select * from SYS_TIPO_DOC_F"));
    ASSERT_TRUE(types.Find("ID_TIPODOC=133"));
    EXPECT_EQ(types.Value("DESCRIZIONE"), "Esito F24 singolo");
    // Each search starts from the first row, whatever the position.
    ASSERT_TRUE(types.Find("ID_TIPODOC=71"));
    EXPECT_EQ(types.Value("DESCRIZIONE"), "F24 trasmesso");
    EXPECT_FALSE(types.Find("ID_TIPODOC=9999"));
    EXPECT_TRUE(types.Eof());
    EXPECT_FALSE(types.Find("ID_TIPODOC=abc"));

    DorvaneRecordset records(m_connection);
    ASSERT_TRUE(records.Open(kSingleCode, Mode::Updatable));
    ASSERT_TRUE(records.Find("Ditta='L''Aquila Servizi'"));
    EXPECT_EQ(records.Value("Anno"), "2009");
    ASSERT_TRUE(records.Find("Data_doc='05/06/2010'"));
    EXPECT_EQ(records.Value("Ditta"), "Rossi");
    EXPECT_FALSE(records.Find("Ditta='L'Aquila'"));

    DorvaneArchives archives(m_connection);
    auto& list = archives.List();
    ASSERT_TRUE(list.Find(std::string("SYS_SERIALE='") + kOrig2010Code + "'"));
    EXPECT_EQ(list.Value("ARCHIVIO"), "Originali 2010");
    EXPECT_EQ(archives.Name(), "Originali 2010");
    EXPECT_EQ(archives.Name(kSummaryCode), "Ricevute - riepiloghi");
}

TEST_P(RecordsetTest, EditChangesTheCurrentRecordAndCancelDropsIt) {
    const long number = Add({{"Ditta", "Prima"}});
    DorvaneRecordset record(m_connection);
    // The console's reject update: an updatable set over a query on one archive table.
    ASSERT_TRUE(record.Open("select Scartato, Scartato_Descrizione, SYS_RECORD from "
                            "arc_singole000000001 where SYS_RECORD=" +
                                std::to_string(number),
                            Mode::Updatable));
    ASSERT_EQ(record.RecordCount(), 1);
    ASSERT_TRUE(record.Edit());
    ASSERT_TRUE(record.SetValue("Scartato", true));
    ASSERT_TRUE(record.SetValue("Scartato_Descrizione", "ERRORE SINTATTICO riga 3"));
    ASSERT_TRUE(record.Update()) << m_connection->LastError();

    DorvaneRecordset archive(m_connection);
    ASSERT_TRUE(archive.Open(kSingleCode, Mode::Updatable));
    ASSERT_TRUE(archive.Find("SYS_RECORD=" + std::to_string(number)));
    EXPECT_EQ(archive.Value("Scartato_Descrizione"), "ERRORE SINTATTICO riga 3");
    EXPECT_EQ(archive.Value("Ditta"), "Prima");
    ASSERT_TRUE(archive.SetValue("Ditta", "Seconda")); // edits the current row
    ASSERT_TRUE(archive.CancelUpdate());
    EXPECT_EQ(archive.Value("Ditta"), "Prima");
    ASSERT_TRUE(archive.AddNew());
    ASSERT_TRUE(archive.SetValue("Ditta", "Mai salvata"));
    ASSERT_TRUE(archive.CancelUpdate());
    DorvaneRecordset count(m_connection);
    ASSERT_TRUE(count.Open("select * from arc_singole000000001"));
    EXPECT_EQ(count.RecordCount(), 1);
    // A record deleted by someone else since it was read cannot be saved.
    ASSERT_TRUE(m_connection->Execute("delete from arc_singole000000001"));
    ASSERT_TRUE(archive.SetValue("Ditta", "Terza"));
    EXPECT_FALSE(archive.Update());
    EXPECT_NE(m_connection->LastError().find("non è più presente"), std::string::npos);
}

TEST_P(RecordsetTest, DescriptionsFillTheTemplateAndCloseGaps) {
    DorvaneArchiveStore store(m_connection);
    DorvaneRecordset record(m_connection);
    ASSERT_TRUE(record.Open(kSingleCode, Mode::Updatable));
    ASSERT_EQ(store.DescriptionTemplate(kSingleCode), "{Ditta} {Cod_Fiscale} {Data_doc}");
    ASSERT_TRUE(record.SetDescription(store.DescriptionTemplate(kSingleCode), "SYS_DESCR", " "));
    ASSERT_TRUE(store.AddRecord(record));
    ASSERT_TRUE(record.SetValue("Cod_Fiscale", "RSSMRA80A01H501U"));
    ASSERT_TRUE(record.SetValue("Data_doc", "12/03/2010"));
    ASSERT_TRUE(record.BuildDescription());
    EXPECT_EQ(record.Value("SYS_DESCR"), "RSSMRA80A01H501U 12/03/2010");
    ASSERT_TRUE(record.SetValue("Ditta", "Rossi"));
    ASSERT_TRUE(record.BuildDescription());
    EXPECT_EQ(record.Value("SYS_DESCR"), "Rossi RSSMRA80A01H501U 12/03/2010");
    ASSERT_TRUE(record.Update());
    EXPECT_EQ(record.Value("SYS_DESCR"), "Rossi RSSMRA80A01H501U 12/03/2010");

    EXPECT_TRUE(record.SetDescription("{{{Ditta}}} - {Anno}", "SYS_DESCR", " - "));
    ASSERT_TRUE(record.AddNew());
    ASSERT_TRUE(record.SetValue("Ditta", "Verdi"));
    ASSERT_TRUE(record.BuildDescription());
    EXPECT_EQ(record.Value("SYS_DESCR"), "{Verdi}");
    EXPECT_FALSE(record.SetDescription("{Inesistente}", "SYS_DESCR", " "));
    EXPECT_FALSE(record.SetDescription("{Ditta", "SYS_DESCR", " "));
}

TEST_P(RecordsetTest, DefaultsAreCopiedIntoEmptyFieldsOnly) {
    DorvaneArchiveStore store(m_connection);
    DorvaneRecordset defaults;
    ASSERT_TRUE(store.PrepareRecord(defaults, kSingleCode));
    EXPECT_EQ(defaults.Value("Esito"), "IN ATTESA");
    EXPECT_EQ(defaults.Value("Scartato"), "0");
    EXPECT_FALSE(store.PrepareRecord(defaults, "NONESISTE"));

    DorvaneRecordset record(m_connection);
    ASSERT_TRUE(record.Open(kSingleCode, Mode::Updatable));
    ASSERT_TRUE(store.PrepareRecord(defaults, kSingleCode));
    ASSERT_TRUE(store.AddRecord(record));
    ASSERT_TRUE(record.SetValue("Esito", "ACCOLTO"));
    ASSERT_TRUE(store.CopyRecordDefaults(record, defaults, true));
    EXPECT_EQ(record.Value("Esito"), "ACCOLTO");
    EXPECT_EQ(record.Value("Scartato"), "0");
    ASSERT_TRUE(store.CopyRecordDefaults(record, defaults, false));
    EXPECT_EQ(record.Value("Esito"), "IN ATTESA");
}

TEST_P(RecordsetTest, LinksAreAddedThroughTheLinkTable) {
    const long parent = Add({{"Ditta", "Riepilogo"}});
    DorvaneArchiveStore store(m_connection);
    DorvaneRecordset links(m_connection);
    ASSERT_TRUE(store.OpenLinks(links));
    for (long child = 1; child <= 3; ++child) {
        ASSERT_TRUE(links.AddNew());
        ASSERT_TRUE(links.SetValue("DB_PAR_SERIALE", kSingleCode));
        ASSERT_TRUE(links.SetValue("DB_PAR_RECORD", parent));
        ASSERT_TRUE(links.SetValue("DB_SON_SERIALE", kOrigAnyCode));
        ASSERT_TRUE(links.SetValue("DB_SON_RECORD", child));
        ASSERT_TRUE(links.Update()) << m_connection->LastError();
    }
    ASSERT_TRUE(links.AddNew());
    EXPECT_FALSE(links.SetValue("DB_PAR_RECORD", "primo"));
    EXPECT_TRUE(links.CancelUpdate());
    ASSERT_TRUE(links.AddNew());
    EXPECT_FALSE(links.Update()); // a link needs all four values

    DorvaneRecordset check(m_connection);
    ASSERT_TRUE(check.Open("select DB_SON_RECORD from DB_COLLEGAMENTI where DB_PAR_SERIALE='" +
                           std::string(kSingleCode) + "' and DB_PAR_RECORD=" +
                           std::to_string(parent) + " order by DB_SON_RECORD"));
    ASSERT_EQ(check.RecordCount(), 3);
    EXPECT_EQ(check.Value("db_son_record"), "1");
}

TEST_P(RecordsetTest, FieldsNamedLikeSqlKeywordsStillWork) {
    std::string error;
    ASSERT_TRUE(admin::AddArchive(*m_connection,
                                  {"PAROLE",
                                   "Parole chiave",
                                   9,
                                   0,
                                   "{Order} {User}",
                                   "",
                                   {{"Order", FieldType::Text, ""}, {"User", FieldType::Date, ""}},
                                   {},
                                   ""},
                                  error))
        << error;
    DorvaneRecordset record(m_connection);
    ASSERT_TRUE(record.Open("PAROLE", Mode::Updatable));
    ASSERT_TRUE(record.SetDescription(m_connection->Archive("PAROLE")->descriptionTemplate));
    ASSERT_TRUE(record.AddNew());
    ASSERT_TRUE(record.SetValue("order", "primo"));
    ASSERT_TRUE(record.SetValue("USER", "01/02/2011"));
    ASSERT_TRUE(record.BuildDescription());
    ASSERT_TRUE(record.Update()) << m_connection->LastError();
    ASSERT_TRUE(record.Edit());
    ASSERT_TRUE(record.SetValue("Order", "secondo"));
    ASSERT_TRUE(record.Update()) << m_connection->LastError();
    DorvaneRecordset back(m_connection);
    ASSERT_TRUE(back.Open("PAROLE", Mode::Updatable));
    EXPECT_EQ(back.RecordCount(), 1);
    EXPECT_EQ(back.Value("Order"), "secondo");
    EXPECT_EQ(back.Value("SYS_DESCR"), "primo 01/02/2011");
}

// A value given apart from the statement must be stored exactly as its literal would be,
// and a kept statement must serve again after a failure and after the table changed.
TEST_P(RecordsetTest, ValuesGivenApartGoInAsTheirLiteralsAndKeptStatementsServeAgain) {
    using Kind = db::Param::Kind;
    const bool lite = GetParam() == BackendKind::Sqlite;
    ASSERT_TRUE(m_connection->Execute(
        std::string("create table VALORI (N INTEGER, T TEXT, I INTEGER, D NUMERIC, G DATE, B ") +
        (lite ? "BLOB" : "BYTEA") + ", unique (N))"));
    struct Case {
        const char* what;
        db::Param text, integer, decimal, date, bytes;
    };
    const std::string nul("a\0b", 3);
    const Case cases[] = {
        {"quotes",
         {"l'ufficio \"x\" --"},
         {"7", Kind::Number},
         {"101.00", Kind::Number},
         {"2010-06-16"},
         {std::string("\0\xff'", 3), Kind::Bytes}},
        {"placeholder-like text",
         {"$1 $2"},
         {"00123", Kind::Number},
         {"-3.5", Kind::Number},
         {std::nullopt},
         {"", Kind::Bytes}},
        {"not a number",
         {"1--", Kind::Number},
         {"+5", Kind::Number},
         {"1e5", Kind::Number},
         {"2011-01-31"},
         {std::nullopt, Kind::Bytes}},
        {"nul character",
         {nul},
         {"-3", Kind::Number},
         {"0.10", Kind::Number},
         {std::nullopt},
         {"x", Kind::Bytes}},
        {"nulls",
         {std::nullopt},
         {std::nullopt, Kind::Number},
         {std::nullopt, Kind::Number},
         {std::nullopt},
         {std::nullopt, Kind::Bytes}},
    };
    const std::string insert =
        "insert into VALORI (N, T, I, D, G, B) values ($1, $2, $3, $4, $5, $6)";
    const std::string read =
        std::string("select T, I, D, G, ") +
        (lite ? "hex(B), typeof(T), typeof(I), typeof(D), typeof(B)" : "encode(B, 'hex')") +
        " from VALORI where N=$1";
    int n = 0;
    for (const auto& c : cases) {
        const db::Params apart = {
            {std::to_string(++n), Kind::Number}, c.text, c.integer, c.decimal, c.date, c.bytes};
        db::Params written = apart;
        written[0].value = std::to_string(++n);
        db::Result ignored;
        ASSERT_TRUE(m_connection->Query(insert, apart, ignored))
            << c.what << ": " << m_connection->LastError();
        ASSERT_TRUE(
            m_connection->Execute(db::WithLiterals(m_connection->Backend(), insert, written)))
            << c.what << ": " << m_connection->LastError();
        db::Result first;
        db::Result second;
        ASSERT_TRUE(m_connection->Query(read, {apart[0]}, first));
        ASSERT_TRUE(m_connection->Query(read, {written[0]}, second));
        ASSERT_EQ(first.rows.size(), 1u) << c.what;
        EXPECT_EQ(first.rows, second.rows) << c.what;
    }
    db::Result ignored;
    // A duplicate fails alone, and the same statement then works.
    EXPECT_FALSE(m_connection->Query(insert, {{"1", Kind::Number}}, ignored));
    EXPECT_TRUE(m_connection->Query(insert, {{"100", Kind::Number}}, ignored))
        << m_connection->LastError();
    ASSERT_TRUE(m_connection->Execute("alter table VALORI add column E TEXT"));
    EXPECT_TRUE(m_connection->Query(insert, {{"101", Kind::Number}, {"dopo"}}, ignored))
        << m_connection->LastError();
    db::Result count;
    ASSERT_TRUE(m_connection->Query("select count(*) from VALORI where T=$1 or N=$2",
                                    {{"dopo"}, {"100", Kind::Number}}, count));
    EXPECT_EQ(count.rows.at(0).at(0), "2");
    // A placeholder inside a quoted literal is text, not a value.
    ASSERT_TRUE(m_connection->Query("select '$1', $1", {{"x"}}, count));
    EXPECT_EQ(count.rows.at(0), (db::Row{"$1", "x"}));
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordsetTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
