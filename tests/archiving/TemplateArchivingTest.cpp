// Every complete receipt template is archived: no recognised kind of receipt is left in
// the folder for lack of a page-storing routine or a writer.
#include "archiving/F24Test.h"

#include "tools/fixture/FixtureWriter.h"

#include <map>
#include <set>

namespace quorvin::test {
namespace {

// Templates that are not complete receipts on purpose, and what the job makes of them.
// A payment's amount cannot be read: its record fails, the summary keeps the file.
const std::set<std::string> kWithErrors = {"f24_trasmissione_importo_illeggibile.txt"};

class TemplateArchivingTest : public F24Test {};

TEST_P(TemplateArchivingTest, EveryCompleteReceiptEndsInArchiviazioneCompletata) {
    long archived = 0;
    for (const auto& name : TemplateNames()) {
        const auto t = fixture::ParseTemplate(ReadAll(TemplateFile(name)));
        // Files that carry a second receipt are cut by the folder run before archiving.
        if (t.expect.at("DocType") == "-1" || t.expect.count("Split")) {
            continue;
        }
        SCOPED_TRACE(name);
        const bool ok = Archive(name, name.substr(0, name.size() - 4) + ".pdf");
        std::string last;
        for (const auto& line : m_log) {
            if (line.func == "m_cJob_OnJob()") {
                last = line.msg;
            }
        }
        EXPECT_EQ(m_engine->ArchivedWithErrors(), kWithErrors.count(name) == 1);
        EXPECT_TRUE(ok);
        EXPECT_EQ(last, "Archiviazione completata");
        archived += ok ? 1 : 0;
    }
    EXPECT_GT(archived, 80);
}

INSTANTIATE_TEST_SUITE_P(Backends, TemplateArchivingTest, ::testing::Values(BackendKind::Sqlite),
                         BackendName);

} // namespace
} // namespace quorvin::test
