// The engine's SQL texts, as it builds them, run unchanged on both back ends; values from
// receipts go through the library's quoting and are stored and searched literally.
#include "archive/ArchiveTestSupport.h"

#include "archive/ArchiveAdmin.h"
#include "archive/DorvaneDatabase.h"
#include "archive/DorvaneRecordset.h"
#include "archive/DorvaneUser.h"
#include "archive/Quoting.h"
#include "catalogue/StandardCatalogue.h"

#include <set>

namespace quorvin::test {
namespace {

using Mode = DorvaneRecordset::Mode;

// SelectArchive's base text for a user and a document type.
std::string SelectArchiveBase(long user, long type) {
    return "select distinct DB_ELENCO.SYS_SERIALE, DB_ELENCO.ARCHIVIO "
           "from ((((DB_ELENCO left join DB_PERMESSI on "
           "DB_ELENCO.SYS_SERIALE=DB_PERMESSI.SYS_SERIALE) "
           "left join PERMESSI on DB_PERMESSI.ID_PERMESSO=PERMESSI.ID_PERMESSO) "
           "left join UTENTE_PERMESSI on PERMESSI.ID_PERMESSO=UTENTE_PERMESSI.ID_PERMESSO) "
           "left join SYS_TATD on DB_ELENCO.TIPO_ARCH=SYS_TATD.ID_TIPOARC) "
           "left join SYS_TIPO_DOC_F on SYS_TATD.ID_TIPODOC=SYS_TIPO_DOC_F.ID_TIPODOC "
           "where (PERMESSI.CREA_REC<>0) and (UTENTE_PERMESSI.ID_UTENTE=" +
           std::to_string(user) + ") and SYS_TATD.ID_TIPODOC=" + std::to_string(type);
}

// The archives SelectArchive finds: year-bound first, then those for any year.
std::vector<std::string> SelectArchive(const std::shared_ptr<DorvaneConnection>& connection,
                                       long user, long type, long year) {
    DorvaneRecordset set(connection);
    EXPECT_TRUE(
        set.Open(SelectArchiveBase(user, type) + " and DB_ELENCO.ANNO=" + std::to_string(year),
                 Mode::ReadOnly))
        << connection->LastError();
    if (set.RecordCount() == 0) {
        EXPECT_TRUE(set.Open(SelectArchiveBase(user, type) +
                             " and (DB_ELENCO.ANNO=0 or DB_ELENCO.ANNO is null)"))
            << connection->LastError();
    }
    std::vector<std::string> codes;
    for (; !set.Eof(); set.MoveNext()) {
        codes.push_back(set.Value("SYS_SERIALE"));
    }
    return codes;
}

FieldType FromCatalogue(catalogue::FieldType type) {
    switch (type) {
    case catalogue::FieldType::Date:
        return FieldType::Date;
    case catalogue::FieldType::Integer:
        return FieldType::Integer;
    case catalogue::FieldType::Decimal:
        return FieldType::Decimal;
    case catalogue::FieldType::Boolean:
        return FieldType::Boolean;
    case catalogue::FieldType::Text:
        break;
    }
    return FieldType::Text;
}

class EngineQueriesTest : public ArchiveTest {
protected:
    void SetUp() override {
        ArchiveTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        m_userId = admin::UserId(*m_connection, m_admin);
        ASSERT_GE(m_userId, 0);
    }

    long Store(const char* code, const std::vector<std::pair<std::string, std::string>>& values) {
        DorvaneRecordset record(m_connection);
        EXPECT_TRUE(record.Open(code, Mode::Updatable));
        EXPECT_TRUE(record.AddNew());
        for (const auto& [field, value] : values) {
            EXPECT_TRUE(record.SetValue(field, value)) << field << "=" << value;
        }
        EXPECT_TRUE(record.Update()) << m_connection->LastError();
        return std::stol(record.Value("SYS_RECORD"));
    }

    long Count(const std::string& sql) {
        DorvaneRecordset set(m_connection);
        EXPECT_TRUE(set.Open(sql)) << sql << ": " << m_connection->LastError();
        return set.RecordCount();
    }

    long m_userId = -1;
};

TEST_P(EngineQueriesTest, SelectArchivePrefersTheYearBoundArchiveAndNeedsCreaRec) {
    EXPECT_EQ(SelectArchive(m_connection, m_userId, 71, 2010),
              std::vector<std::string>{kOrig2010Code});
    EXPECT_EQ(SelectArchive(m_connection, m_userId, 71, 2011),
              std::vector<std::string>{kOrigAnyCode});
    EXPECT_EQ(SelectArchive(m_connection, m_userId, 131, -1),
              std::vector<std::string>{kSingleCode});
    EXPECT_TRUE(SelectArchive(m_connection, m_userId, 999, 2010).empty());

    // A user with only the insert right, without CREA_REC, finds no candidate.
    std::string error;
    const long clerk = admin::AddUser(*m_connection, "impiegato", "pw", false, error);
    ASSERT_GE(clerk, 0) << error;
    ASSERT_TRUE(
        admin::Grant(*m_connection, "impiegato", kSingleCode, false, kRightInsertDocuments, error));
    EXPECT_TRUE(SelectArchive(m_connection, clerk, 131, 2010).empty());
    ASSERT_TRUE(admin::Grant(*m_connection, "impiegato", kSingleCode, true, 0, error));
    EXPECT_EQ(SelectArchive(m_connection, clerk, 131, 2010), std::vector<std::string>{kSingleCode});
}

TEST_P(EngineQueriesTest, FindTelDocListsArchivesAndFindsTheProtocol) {
    const long sent = Store(kSummaryCode, {{"Protocollo_Attribuito", "10031215001234567"},
                                           {"Cod_Tipo_doc_F", "130"},
                                           {"Cod_Fiscale", "RSSMRA80A01H501U"},
                                           {"Trasmesso_Cod", "BNCGNN70B02F205X"},
                                           {"File", "invio.rel"},
                                           {"Data_doc", "16/06/2010"}});
    DorvaneRecordset list(m_connection);
    ASSERT_TRUE(list.Open("select SYS_SERIALE from DB_ELENCO right join SYS_TATD on "
                          "DB_ELENCO.TIPO_ARCH=SYS_TATD.ID_TIPOARC where "
                          "SYS_TATD.ID_TIPODOC in (130, 172, 178, 180) and (DB_ELENCO.ANNO = 2010 "
                          "or DB_ELENCO.ANNO = 0 or DB_ELENCO.ANNO is null)"))
        << m_connection->LastError();
    std::set<std::string> codes;
    for (; !list.Eof(); list.MoveNext()) {
        codes.insert(list.Value("SYS_SERIALE"));
    }
    EXPECT_EQ(codes, (std::set<std::string>{kSummaryCode, kSingleCode}));

    DorvaneDatabase database(m_connection);
    ASSERT_TRUE(database.FieldInfo().HasField(kSummaryCode, "protocollo_attribuito"));
    EXPECT_FALSE(database.FieldInfo().HasField(kOrigAnyCode, "Protocollo_Attribuito"));
    EXPECT_TRUE(database.FieldInfo().HasField(kOrigAnyCode, "Protocollo_Utente"));
    DorvaneRecordset found(m_connection);
    ASSERT_TRUE(found.Open("select * from " + database.TableName(kSummaryCode) +
                           " where Protocollo_Attribuito='" + SqlTextContent("10031215001234567") +
                           "' and Cod_Tipo_doc_F=130" + " and Cod_Fiscale='" +
                           SqlTextContent("RSSMRA80A01H501U") + "'"))
        << m_connection->LastError();
    ASSERT_EQ(found.RecordCount(), 1);
    EXPECT_EQ(found.Value("SYS_SERIALE"), kSummaryCode);
    EXPECT_EQ(found.Value("SYS_RECORD"), std::to_string(sent));
    EXPECT_EQ(found.Value("Trasmesso_Cod"), "BNCGNN70B02F205X");
    EXPECT_EQ(found.Value("File"), "invio.rel");
    EXPECT_EQ(found.Value("Data_doc"), "16/06/2010");
}

TEST_P(EngineQueriesTest, FindOrigDocQueriesMatchPeriodsDatesAmountsAndMonths) {
    DorvaneDatabase database(m_connection);
    ASSERT_NE(database.Kind(), 0);
    const std::string t = database.TableName(kOrig2010Code);
    const long quarter = Store(kOrig2010Code, {{"Cod_Fiscale", "RSSMRA80A01H501U"},
                                               {"Anno", "2010"},
                                               {"Cod_Tipo_doc_F", "86"},
                                               {"Dal", "01/10/2010"},
                                               {"Al", "31/12/2010"}});
    Store(kOrig2010Code, {{"Cod_Fiscale", "RSSMRA80A01H501U"},
                          {"Periodo", "2010"},
                          {"Cod_Tipo_doc_F", "71"},
                          {"Dal", "01/03/2010"},
                          {"Al", "31/03/2010"}});
    Store(kOrig2010Code, {{"Cod_Fiscale", "RSSMRA80A01H501U"},
                          {"Cod_Tipo_doc_F", "111"},
                          {"Data_Vers", "16/06/2010"},
                          {"Importo", "1.250,00"}});
    Store(kOrig2010Code, {{"Cod_Fiscale", "RSSMRA80A01H501U"},
                          {"Cod_Tipo_doc_F", "111"},
                          {"Data_Vers", "16/06/2010"},
                          {"Importo", "99,50"}});
    Store(kOrig2010Code,
          {{"Cod_Fiscale", "RSSMRA80A01H501U"}, {"Cod_Tipo_doc_F", "109"}, {"Mese_Cod", "3"}});
    const std::string b = "select * from " + t + " where Cod_Fiscale like '" +
                          SqlLikeContent("RSSMRA") + "%' escape '!' ";
    const std::string dal = database.DateLiteral({2010, 10, 1});
    const std::string al = database.DateLiteral({2010, 12, 31});
    EXPECT_EQ(dal, "'2010-10-01'");
    DorvaneRecordset set(m_connection);
    ASSERT_TRUE(
        set.Open(b + "and Anno=2010 and Cod_Tipo_doc_F=86 and Dal=" + dal + " and Al=" + al))
        << m_connection->LastError();
    ASSERT_EQ(set.RecordCount(), 1);
    EXPECT_EQ(set.Value("SYS_RECORD"), std::to_string(quarter));
    // Type 76 is written with two blanks before "where".
    EXPECT_EQ(Count("select * from " + t +
                    "  where Cod_Fiscale like 'RSSMRA%' and Anno=2010 and "
                    "Cod_Tipo_doc_F=86"),
              1);
    // A text field compared with a number.
    EXPECT_EQ(Count(b + "and Periodo=2010 and Cod_Tipo_doc_F=71 and Dal='2010-03-01' and "
                        "Al='2010-03-31'"),
              1);
    EXPECT_EQ(Count(b + "and Periodo=2010 and Cod_Tipo_doc_F=71 and Dal>='2010-01-01' and "
                        "Al<='2010-12-31'"),
              1);
    EXPECT_EQ(Count(b + "and Periodo=2011 and Cod_Tipo_doc_F=71"), 0);
    EXPECT_EQ(Count(b + "and Cod_Tipo_doc_F=111 and Data_Vers='2010-06-16'"), 2);
    EXPECT_EQ(Count(b + "and Cod_Tipo_doc_F=111 and Data_Vers='2010-06-16' and Importo=" +
                    SqlNumber(std::string_view("1.250,00")).value()),
              1);
    EXPECT_EQ(Count(b + "and Cod_Tipo_doc_F=109 and Mese_Cod=3"), 1);
    EXPECT_EQ(Count(b + "and Cod_Tipo_doc_F=109 and Mese_Cod=4"), 0);
    // like is case-sensitive on both back ends.
    EXPECT_EQ(Count("select * from " + t + " where Cod_Fiscale like 'rssmra%'"), 0);
}

TEST_P(EngineQueriesTest, UpdatesOfTheOutcomeAndTheRejectRunThroughExecute) {
    const long communication = Store(kOrigAnyCode, {{"Cod_Fiscale", "RSSMRA80A01H501U"}});
    DorvaneDatabase database(m_connection);
    const std::string reason = "Codice fiscale dell'intermediario non valido";
    ASSERT_TRUE(database.Execute("update " + database.TableName(kOrigAnyCode) + " " +
                                 "set Esito='" + SqlTextContent("SCARTATO") + "', " +
                                 "Protocollo_Telematico='" + SqlTextContent("10031215001") +
                                 "', Scartato=1, Scartato_Descrizione='" + SqlTextContent(reason) +
                                 "' where SYS_RECORD=" + std::to_string(communication)))
        << database.LastError();
    DorvaneRecordset set(m_connection);
    ASSERT_TRUE(set.Open("select * from " + database.TableName(kOrigAnyCode)));
    EXPECT_EQ(set.Value("Scartato"), "1");
    EXPECT_EQ(set.Value("Scartato_Descrizione"), reason);
    EXPECT_FALSE(database.Execute("update tabella_inesistente set x=1"));
    EXPECT_NE(database.LastErrorNumber(), 0);
}

TEST_P(EngineQueriesTest, HostileValuesAreStoredAndSearchedLiterally) {
    const std::vector<std::string> values = {"AB%CD",  "AB_CD", "ABXCD",
                                             "O'NEIL", "AB!CD", "x'); drop table DB_ELENCO; --"};
    for (const auto& value : values) {
        Store(kSingleCode, {{"Cod_Fiscale", value}, {"Ditta", value}});
    }
    const std::string t = "select Cod_Fiscale from arc_singole000000001 where Cod_Fiscale like ";
    const auto like = [&](const std::string& prefix) {
        DorvaneRecordset set(m_connection);
        EXPECT_TRUE(set.Open(t + SqlLikePrefix(prefix))) << m_connection->LastError();
        std::set<std::string> found;
        for (; !set.Eof(); set.MoveNext()) {
            found.insert(set.Value("Cod_Fiscale"));
        }
        return found;
    };
    EXPECT_EQ(like("AB%"), std::set<std::string>{"AB%CD"});
    EXPECT_EQ(like("AB_"), std::set<std::string>{"AB_CD"});
    EXPECT_EQ(like("AB!"), std::set<std::string>{"AB!CD"});
    EXPECT_EQ(like("O'N"), std::set<std::string>{"O'NEIL"});
    EXPECT_EQ(like("AB").size(), 4U);
    for (const auto& value : values) {
        EXPECT_EQ(Count("select * from arc_singole000000001 where Cod_Fiscale=" + SqlText(value)),
                  1)
            << value;
        DorvaneRecordset set(m_connection);
        ASSERT_TRUE(set.Open(kSingleCode, Mode::Updatable));
        EXPECT_TRUE(set.Find("Ditta=" + SqlText(value))) << value;
    }
    EXPECT_EQ(Count("select * from DB_ELENCO"), 4);
}

TEST_P(EngineQueriesTest, StandardCatalogueGivesEveryTypeExactlyOneArchive) {
    const std::string locator = NewLocator();
    auto connection = OpenEmpty(locator);
    ASSERT_TRUE(connection);
    std::vector<DocTypeSpec> types;
    for (const auto& type : catalogue::StandardDocTypes()) {
        types.push_back({type.code, type.name});
    }
    std::vector<ArchiveSpec> archives;
    std::set<long> codes;
    for (const auto& def : catalogue::StandardArchives()) {
        ArchiveSpec spec{def.code,
                         def.name,
                         def.tipoArch,
                         def.anno,
                         def.descriptionTemplate,
                         m_dir.File("std/" + def.code),
                         {},
                         def.docTypes,
                         ""};
        for (const auto& field : def.fields) {
            spec.fields.push_back({field.name, FromCatalogue(field.type), field.defaultValue});
        }
        codes.insert(def.docTypes.begin(), def.docTypes.end());
        archives.push_back(std::move(spec));
    }
    std::string error;
    ASSERT_TRUE(admin::MakeAdministrator(*connection, m_admin, "", error)) << error;
    ASSERT_TRUE(admin::AddCatalogue(*connection, types, archives, error)) << error;
    const long user = admin::UserId(*connection, m_admin);
    DorvaneUser signedIn(connection);
    if (GetParam() == BackendKind::Sqlite) {
        ASSERT_TRUE(signedIn.SignIn());
    }
    for (const long code : codes) {
        EXPECT_EQ(SelectArchive(connection, user, code, 2010).size(), 1U) << code;
        if (GetParam() == BackendKind::Sqlite) {
            const auto found = SelectArchive(connection, user, code, 2010);
            ASSERT_FALSE(found.empty());
            EXPECT_TRUE(signedIn.HasPermission(kRightInsertDocuments, found[0])) << code;
        }
    }
    // Every placeholder of every template names a field of its archive.
    for (const auto& def : catalogue::StandardArchives()) {
        DorvaneRecordset record(connection);
        ASSERT_TRUE(record.Open(def.code, Mode::Updatable));
        EXPECT_TRUE(record.SetDescription(def.descriptionTemplate, "SYS_DESCR", " ")) << def.code;
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, EngineQueriesTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
