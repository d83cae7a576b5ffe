// Users, sign-in and rights on both back ends.
#include "archive/ArchiveTestSupport.h"

#include "archive/ArchiveAdmin.h"
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneUser.h"

namespace quorvin::test {
namespace {

class UsersTest : public ArchiveTest {
protected:
    // A session of the user's own, as a program signing in opens it: on a server the
    // server checks the password.
    bool SignIn(DorvaneEnv& env, const std::string& name, const std::string& password) {
        ConnectOptions existing;
        existing.createSchema = false;
        return env.Connect(m_locator, existing) && env.Login(name, password);
    }
};

TEST_P(UsersTest, TheCreatorIsAdministratorWithRightsOnEveryArchive) {
    DorvaneEnv env;
    ASSERT_TRUE(SignIn(env, m_admin, "segreta")) << env.LastError();
    DorvaneUser& user = env.CurrentUser();
    EXPECT_EQ(user.Name(), m_admin);
    EXPECT_GE(user.Id(), 1);
    EXPECT_TRUE(user.IsAdministrator());
    for (const char* code : {kSummaryCode, kSingleCode, kOrig2010Code, kOrigAnyCode}) {
        EXPECT_TRUE(user.HasPermission(kRightInsertDocuments, code)) << code;
    }
    EXPECT_FALSE(user.HasPermission(kRightInsertDocuments, "NONESISTE"));
    // An archive added later is the administrator's too.
    std::string error;
    ASSERT_TRUE(
        admin::AddArchive(*m_connection, {"NUOVO", "Nuovo", 9, 0, "", "", {}, {}, ""}, error))
        << error;
    EXPECT_TRUE(user.HasPermission(kRightInsertDocuments, "NUOVO"));
}

TEST_P(UsersTest, PasswordsAreCheckedAndRightsFollowGrantsAndRevokes) {
    std::string error;
    ASSERT_GE(admin::AddUser(*m_connection, "mario", "Pa$$w0rd'", false, error), 0) << error;
    EXPECT_LT(admin::AddUser(*m_connection, "mario", "altra", false, error), 0);
    EXPECT_LT(admin::AddUser(*m_connection, " ", "x", false, error), 0);
    db::Result stored;
    ASSERT_TRUE(m_connection->Query("select HASH_PASSWORD from UTENTI where NOME='mario'", stored));
    // A server keeps the password itself, as the role's SCRAM verifier.
    EXPECT_EQ(stored.rows.at(0).at(0).value_or("").rfind("$argon2id$", 0),
              GetParam() == BackendKind::Sqlite ? 0U : std::string::npos);

    for (const auto& [name, password] :
         {std::pair{"mario", "sbagliata"}, std::pair{"nessuno", "x"}, std::pair{"mario", ""}}) {
        DorvaneEnv refused;
        EXPECT_FALSE(SignIn(refused, name, password)) << name;
        EXPECT_EQ(refused.LastError(), db::kSignInRefused) << name << " " << password;
    }
    DorvaneEnv env;
    ASSERT_TRUE(SignIn(env, "mario", "Pa$$w0rd'")) << env.LastError();
    DorvaneUser& user = env.CurrentUser();
    EXPECT_FALSE(user.IsAdministrator());
    EXPECT_FALSE(user.HasPermission(kRightInsertDocuments, kSingleCode));
    ASSERT_TRUE(
        admin::Grant(*m_connection, "mario", kSingleCode, true, kRightInsertDocuments, error))
        << error;
    EXPECT_TRUE(user.HasPermission(kRightInsertDocuments, kSingleCode));
    EXPECT_FALSE(user.HasPermission(kRightInsertDocuments, kSummaryCode));
    EXPECT_FALSE(user.HasPermission(kRightInsertDocuments | 512, kSingleCode));
    ASSERT_TRUE(admin::Revoke(*m_connection, "mario", kSingleCode, error)) << error;
    EXPECT_FALSE(user.HasPermission(kRightInsertDocuments, kSingleCode));
    EXPECT_FALSE(admin::Revoke(*m_connection, "mario", "NONESISTE", error));
    EXPECT_EQ(error, "Archivio 'NONESISTE' inesistente.");
    // A new password replaces the old one.
    ASSERT_TRUE(admin::SetPassword(*m_connection, "mario", "nuova", error)) << error;
    DorvaneEnv again;
    EXPECT_FALSE(SignIn(again, "mario", "Pa$$w0rd'"));
    EXPECT_TRUE(SignIn(again, "mario", "nuova")) << again.LastError();
    EXPECT_FALSE(admin::Grant(*m_connection, "mario", "NONESISTE", true, 1, error));
    EXPECT_FALSE(admin::Grant(*m_connection, "nessuno", kSingleCode, true, 1, error));
}

TEST_P(UsersTest, TheEmbeddedArchiveSignsInTheSystemAccountWithoutPassword) {
    DorvaneEnv env;
    ASSERT_TRUE(env.Connect(m_locator)) << env.LastError();
    if (GetParam() == BackendKind::Sqlite) {
        ASSERT_TRUE(env.Login()) << env.LastError();
        EXPECT_EQ(env.CurrentUser().Name(), DorvaneUser::SystemAccount());
    } else {
        EXPECT_FALSE(env.Login());
        EXPECT_FALSE(env.LastError().empty());
        ASSERT_TRUE(env.Login(m_admin, "segreta")) << env.LastError();
    }
    EXPECT_TRUE(env.CurrentUser().HasPermission(kRightInsertDocuments, kSingleCode));
    EXPECT_EQ(env.Archives().Name(kSingleCode), "Ricevute - singole");
    EXPECT_EQ(env.Database().TableName(kSingleCode), "arc_singole000000001");
    EXPECT_EQ(env.Database().TableName("NONESISTE"), "");
    env.BaseFolder("/tmp/dati");
    EXPECT_EQ(env.BaseFolder(), "/tmp/dati/");
}

TEST(DorvaneEnvTest, ANewEmbeddedArchiveBelongsToTheSystemAccount) {
    TempDir dir;
    DorvaneEnv env;
    ASSERT_TRUE(env.Connect(dir.File("nuovo/archivio.sqlite"))) << env.LastError();
    ASSERT_TRUE(env.Login()) << env.LastError();
    EXPECT_TRUE(env.CurrentUser().IsAdministrator());
    DorvaneEnv again;
    ASSERT_TRUE(again.Connect(dir.File("nuovo/archivio.sqlite"))) << again.LastError();
    EXPECT_FALSE(again.Connection()->Created());
    ASSERT_TRUE(again.Login());
    EXPECT_EQ(again.CurrentUser().Id(), env.CurrentUser().Id());
}

INSTANTIATE_TEST_SUITE_P(Backends, UsersTest,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
