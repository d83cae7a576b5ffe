#include "archiving/F24Test.h"

#include "archive/DorvaneRecordset.h"
#include "archive/Utf8.h"

#include <filesystem>

namespace quorvin::test {

void F24Test::SetUp() {
    ArchivingTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    m_engine = std::make_unique<bvTel>(m_env);
    m_engine->ConnectTelLogEvent([this](long nPriority, const std::string& sFile,
                                        const std::string& sFunc, const std::string& sMsg) {
        m_log.push_back({nPriority, sFile, sFunc, sMsg});
    });
    m_engine->Init();
}

void F24Test::TearDown() {
    m_engine.reset();
    ArchivingTest::TearDown();
}

bool F24Test::Archive(const std::string& templateName, const std::string& fileName) {
    return ArchivePdf(MakeReceipt(m_dir, templateName, fileName), fileName);
}

bool F24Test::ArchivePdf(const std::string& pdf, const std::string& fileName) {
    m_log.clear();
    m_engine->File(pdf);
    m_engine->FileNameOrig(fileName);
    return m_engine->Process();
}

long F24Test::AddRecord(const std::string& archive, const Fields& fields) {
    DorvaneRecordset record(m_env.Connection());
    EXPECT_TRUE(record.Open(archive, DorvaneRecordset::Mode::Updatable));
    EXPECT_TRUE(record.AddNew());
    for (const auto& [field, value] : fields) {
        EXPECT_TRUE(record.SetValue(field, value)) << field << "=" << value;
    }
    EXPECT_TRUE(record.Update()) << m_env.Connection()->LastError();
    return std::stol(record.Value("SYS_RECORD"));
}

std::vector<Record> F24Test::Records(const std::string& archive) {
    DorvaneRecordset rs(m_env.Connection());
    EXPECT_TRUE(rs.Open("select * from " + Table(archive) + " order by SYS_RECORD"));
    std::vector<Record> records;
    for (; !rs.Eof(); rs.MoveNext()) {
        Record record;
        for (const auto& field : rs.FieldNames()) {
            record[Lower(field)] = rs.Value(field);
        }
        // The stored file, written out of the database under its stored name, so that a
        // test reads it as a PDF.
        if (!record["sys_file"].empty()) {
            const std::string folder =
                m_dir.File("estratti/" + archive + "_" + record["sys_record"]);
            std::filesystem::create_directories(folder);
            const std::string path = folder + "/" + record["sys_file"];
            EXPECT_TRUE(m_env.ArchiveStore().ExtractStoredFile(
                archive, std::stol(record["sys_record"]), path))
                << m_env.Connection()->LastError();
            record["sys_file"] = path;
        }
        records.push_back(std::move(record));
    }
    return records;
}

std::set<LinkRow> F24Test::Links() {
    DorvaneRecordset rs(m_env.Connection());
    EXPECT_TRUE(rs.Open("select DB_PAR_SERIALE, DB_PAR_RECORD, DB_SON_SERIALE, DB_SON_RECORD "
                        "from DB_COLLEGAMENTI"));
    std::set<LinkRow> links;
    for (; !rs.Eof(); rs.MoveNext()) {
        links.insert({rs.Value("DB_PAR_SERIALE"), std::stol(rs.Value("DB_PAR_RECORD")),
                      rs.Value("DB_SON_SERIALE"), std::stol(rs.Value("DB_SON_RECORD"))});
    }
    return links;
}

long F24Test::CountLines(const std::string& func, const std::string& msg) const {
    long n = 0;
    for (const auto& line : m_log) {
        n += line.func == func && line.msg == msg ? 1 : 0;
    }
    return n;
}

std::pair<long, std::string> F24Test::ReadPdf(const std::string& path) {
    bvTel reader;
    reader.File(path);
    std::string text;
    for (const auto& page : reader.PageText()) {
        text += page;
    }
    return {reader.PageCount(), text};
}

} // namespace quorvin::test
