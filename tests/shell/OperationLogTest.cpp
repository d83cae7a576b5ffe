#include "shell/OperationLog.h"

#include "support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorvin::shell {
namespace {

using ::testing::HasSubstr;

LogRecord Record(int second, std::string file, std::string message, std::string function) {
    return LogRecord{QDateTime(QDate(2010, 3, 12), QTime(10, 11, second)), std::move(file),
                     std::move(message), std::move(function)};
}

TEST(OperationLogTest, SavedLogLoadsBackWithEveryRecordInOrder) {
    test::TempDir dir;
    OperationLog log;
    // Same second, any priority, awkward characters: all come back as written.
    log.Append(Record(5, "/r/a.pdf", "Inizio elaborazione", "PDFOpen()"));
    log.Append(Record(5, "", "Archivio 'X' & <Y> \"Z\"", "Process()"));
    log.Append(Record(6, "città.pdf", "riga uno\r\nriga due\tfine", "ProcessTelFiles()"));
    log.Append(Record(6, "", "", ""));
    const std::string path = dir.File("log.xml");
    std::string error;
    ASSERT_TRUE(log.Save(path, error)) << error;

    std::vector<LogRecord> loaded;
    ASSERT_TRUE(OperationLog::Load(path, loaded, error)) << error;
    EXPECT_EQ(loaded, log.Records());
}

TEST(OperationLogTest, FileIsAnAdoRowsetWithTheFourFieldsInOrder) {
    test::TempDir dir;
    OperationLog log;
    log.Append(Record(1, "a.pdf", "m", "F()"));
    std::string error;
    ASSERT_TRUE(log.Save(dir.File("log.xml"), error));
    const std::string xml = test::ReadAll(dir.File("log.xml"));
    EXPECT_THAT(xml, HasSubstr("xmlns:s=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\""));
    EXPECT_THAT(xml, HasSubstr("xmlns:dt=\"uuid:C2F41010-65B3-11d1-A29F-00AA00C14882\""));
    EXPECT_THAT(xml, HasSubstr("xmlns:rs=\"urn:schemas-microsoft-com:rowset\""));
    EXPECT_THAT(xml, HasSubstr("xmlns:z=\"#RowsetSchema\""));
    const size_t d = xml.find("name=\"DataOra\"");
    const size_t f = xml.find("name=\"FileName\"");
    const size_t m = xml.find("name=\"Message\"");
    const size_t fn = xml.find("name=\"Function\"");
    const size_t data = xml.find("<rs:data>");
    ASSERT_NE(d, std::string::npos);
    EXPECT_LT(d, f);
    EXPECT_LT(f, m);
    EXPECT_LT(m, fn);
    EXPECT_LT(fn, data);
    EXPECT_THAT(xml, HasSubstr("<z:row DataOra=\"2010-03-12T10:11:01\" FileName=\"a.pdf\" "
                               "Message=\"m\" Function=\"F()\"/>"));
}

TEST(OperationLogTest, ReadsRowsetsWrittenByOtherTools) {
    // Single quotes, pending inserts and a field left out (a null), as ADO itself writes.
    test::TempDir dir;
    test::WriteAll(dir.File("ado.xml"),
                   "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\n"
                   " xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\n"
                   " xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>\n"
                   "<s:Schema id='RowsetSchema'/>\n"
                   "<rs:data><rs:insert>\n"
                   "<z:row DataOra='2010-03-12T10:11:12' Message='uno' Function='A()'/>\n"
                   "<z:row DataOra='2010-03-12T10:11:13' FileName='b.pdf' Message='due'/>\n"
                   "</rs:insert></rs:data></xml>\n");
    std::vector<LogRecord> loaded;
    std::string error;
    ASSERT_TRUE(OperationLog::Load(dir.File("ado.xml"), loaded, error)) << error;
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0], Record(12, "", "uno", "A()"));
    EXPECT_EQ(loaded[1], Record(13, "b.pdf", "due", ""));
}

TEST(OperationLogTest, UnreadableFilesLoadNothing) {
    test::TempDir dir;
    std::vector<LogRecord> loaded{Record(1, "x", "y", "z")};
    std::string error;
    EXPECT_FALSE(OperationLog::Load(dir.File("manca.xml"), loaded, error));
    test::WriteAll(dir.File("rotto.xml"), "<xml><rs:data><z:row");
    EXPECT_FALSE(OperationLog::Load(dir.File("rotto.xml"), loaded, error));
    EXPECT_EQ(loaded.size(), 1u);
}

TEST(OperationLogTest, UnwritablePathLeavesNoFile) {
    test::TempDir dir;
    OperationLog log;
    log.Append(Record(1, "a", "b", "c"));
    std::string error;
    EXPECT_FALSE(log.Save(dir.File("manca/log.xml"), error));
    EXPECT_FALSE(error.empty());
}

TEST(OperationLogTest, LongValuesAreCutToTheFieldSize) {
    OperationLog log;
    const std::string longText(300, 'x');
    log.Append(Record(1, longText, "è" + longText, "F()"));
    EXPECT_EQ(log.Records()[0].fileName.size(), 255u);
    EXPECT_EQ(QString::fromStdString(log.Records()[0].message).size(), 255);
}

} // namespace
} // namespace quorvin::shell
