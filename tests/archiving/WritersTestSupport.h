#pragma once
// The field writers under test: a receipt engine over a fake page reader, its current
// record a new record of the standard summary archive on SQLite, every log line kept.
#include "archive/ArchiveAdmin.h"
#include "archive/DorvaneConnection.h"
#include "archive/DorvaneRecordset.h"
#include "archive/DorvaneText.h"
#include "archiving/ArchivingTestSupport.h"
#include "engine/FakeReader.h"
#include "engine/bvTel.h"
#include "support/TestSupport.h"
#include "tools/fixture/FixtureWriter.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace quorvin::test {

// One archive database for the whole executable: the writers never save a record.
inline std::shared_ptr<DorvaneConnection> WritersArchive() {
    static TempDir dir;
    static std::shared_ptr<DorvaneConnection> connection = [] {
        std::string error;
        ConnectOptions options;
        options.documentsRoot = dir.File("documenti");
        auto opened = DorvaneConnection::Open(dir.File("writers.sqlite"), options, error);
        if (!opened || !admin::AddCatalogue(*opened, StandardDocTypeSpecs(),
                                            StandardArchiveSpecs(options.documentsRoot), error)) {
            ADD_FAILURE() << "archive not created: " << error;
        }
        return opened;
    }();
    return connection;
}

// The pages of a receipt template, optionally with one text replaced on every page.
inline FakeReader::Pages TemplatePages(const std::string& name) {
    return fixture::ParseTemplate(ReadAll(TemplateFile(name))).pages;
}

inline FakeReader::Pages Replaced(FakeReader::Pages pages, const std::string& find,
                                  const std::string& with) {
    for (auto& page : pages) {
        for (auto& line : page) {
            line = DorvaneText::Replace(line, find, with);
        }
    }
    return pages;
}

class WritersTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_tel.ConnectTelLogEvent(
            [this](long p, const std::string& f, const std::string& fn, const std::string& m) {
                m_log.push_back({p, f, fn, m});
            });
    }

    // The receipt's pages assigned to the engine, and a new summary record to fill.
    void Load(const FakeReader::Pages& pages, const std::string& archive = kStdSummary) {
        m_reader.Add("ricevuta.pdf", pages);
        m_tel.File("ricevuta.pdf");
        // As at the start of every file.
        m_tel.ClearDocInfo();
        m_tel.DocumentCount(0);
        m_log.clear();
        DorvaneRecordset& record = m_tel.CurrentRecord();
        record.Connection(WritersArchive());
        ASSERT_TRUE(record.Open(archive, DorvaneRecordset::Mode::Updatable));
        ASSERT_TRUE(record.AddNew());
    }
    void LoadTemplate(const std::string& name) { Load(TemplatePages(name)); }

    bool WriteSummary() { return m_tel.WriteSummaryFields(m_tel.PageText().at(0)); }
    std::string Field(const std::string& name) { return m_tel.CurrentRecord().Value(name); }
    bool IsNull(const std::string& name) { return m_tel.CurrentRecord().IsNull(name); }

    FakeReader m_reader;
    bvTel m_tel{m_reader};
    std::vector<LogLine> m_log;
};

} // namespace quorvin::test
