#include "shell/LogFiles.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace quorvin::shell {
namespace {

TEST(LogFilesTest, RunsOfTheLastThirtyDaysNewestFirst) {
    test::TempDir dir;
    const QDateTime now(QDate(2010, 6, 16), QTime(9, 30, 0));
    const struct {
        const char* name;
        bool offered;
    } files[] = {
        {"pc_20100616_093000.xml", true},
        {"pc_20100616_080000.xml", true},
        {"altro-pc_20100601_120000.xml", true}, // another machine's run, same folder
        {"pc_20100517_093000.xml", true},       // thirty days ago to the second
        {"pc_20100517_092959.xml", false},
        {"pc_20090616_093000.xml", false},
        {"pc_20100616_093000.txt", false},
        {"pc_20101399_093000.xml", false}, // no such date
        {"appunti.xml", false},
        {"20100616_093000.xml", false}, // no machine name before it
    };
    for (const auto& f : files) {
        test::WriteAll(dir.File(f.name), "<xml/>");
    }
    std::vector<std::string> offered;
    for (const auto& log : RecentLogs(dir.Path().string(), now, 30)) {
        offered.push_back(log.path.substr(log.path.rfind('/') + 1));
    }
    EXPECT_EQ(offered,
              (std::vector<std::string>{"pc_20100616_093000.xml", "pc_20100616_080000.xml",
                                        "altro-pc_20100601_120000.xml", "pc_20100517_093000.xml"}));
    EXPECT_TRUE(RecentLogs(dir.File("nessuna"), now, 30).empty());
}

} // namespace
} // namespace quorvin::shell
