#pragma once
// F24 archiving through real PDFs: receipts generated from the templates, read by the
// engine's own page reader, archived with Process into a fresh standard archive.
#include "archiving/ArchivingTestSupport.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace quorvin::test {

using Fields = std::vector<std::pair<std::string, std::string>>;
using Record = std::map<std::string, std::string>;
// parent archive, parent record, child archive, child record
using LinkRow = std::tuple<std::string, long, std::string, long>;

class F24Test : public ArchivingTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // The template's PDF, written into the receipt folder as fileName, archived.
    bool Archive(const std::string& templateName, const std::string& fileName);
    // A PDF made elsewhere, archived as if the user had saved it as fileName.
    bool ArchivePdf(const std::string& pdf, const std::string& fileName);
    long AddRecord(const std::string& archive, const Fields& fields);
    // Every record of the archive in storing order, each field by its name.
    std::vector<Record> Records(const std::string& archive);
    std::set<LinkRow> Links();
    // Lines of the routine whose message is msg; the file is left out (temporary names).
    long CountLines(const std::string& func, const std::string& msg) const;
    // Page count and text of a stored PDF, read back with the engine.
    std::pair<long, std::string> ReadPdf(const std::string& path);

    // The engine with the real page reader.
    std::unique_ptr<bvTel> m_engine;
};

} // namespace quorvin::test
