// The F24 receipts printed by other PDF producers are archived with the same field
// values, the same stored pieces and the same links as the fixture writer's PDFs.
#include "archiving/F24Test.h"

#include <map>

namespace quorvin::test {
namespace {

// What one archiving run left, independent of record numbers and stored-file names.
struct Snapshot {
    std::map<std::string, std::vector<Record>> records;     // by archive, storing order
    std::map<std::string, std::vector<std::string>> pieces; // text of each stored PDF
    std::set<std::tuple<std::string, size_t, std::string, size_t>> links; // by position
};

class ProducersF24Test : public F24Test {
protected:
    // Archives the transmission and then its outcome (which links to it) from folder.
    Snapshot ArchiveBoth(const std::string& transmission, const std::string& outcome) {
        EXPECT_TRUE(ArchivePdf(transmission, "f24.pdf"));
        EXPECT_TRUE(ArchivePdf(outcome, "esito.pdf"));
        Snapshot s;
        std::map<std::pair<std::string, long>, size_t> position;
        for (const char* archive : {kStdSummary, kStdSingle, kStdOriginals}) {
            auto& list = s.records[archive];
            for (Record record : Records(archive)) {
                position[{archive, std::stol(record.at("sys_record"))}] = list.size();
                const auto file = record.find("sys_file");
                if (file != record.end() && !file->second.empty()) {
                    s.pieces[archive].push_back(ReadPdf(file->second).second);
                }
                // Numbered and named by the run, not by the receipt.
                record.erase("sys_record");
                record.erase("sys_file");
                list.push_back(std::move(record));
            }
        }
        for (const auto& [parentArchive, parent, childArchive, child] : Links()) {
            s.links.insert({parentArchive, position[{parentArchive, parent}], childArchive,
                            position[{childArchive, child}]});
        }
        return s;
    }

    // Each producer's receipts are archived as new ones into the same archive.
    void ForgetReceipts() {
        ASSERT_TRUE(Run("delete from DB_COLLEGAMENTI"));
        ASSERT_TRUE(Run("delete from " + Table(kStdSummary)));
        ASSERT_TRUE(Run("delete from " + Table(kStdSingle)));
    }
};

TEST_P(ProducersF24Test, SameFieldsPiecesAndLinksWhateverPrintedTheReceipt) {
    AddRecord(kStdOriginals, {{"Cod_Tipo_doc_F", "111"},
                              {"Cod_Fiscale", "RSSMRA80A01H501U"},
                              {"Data_vers", "16/06/2010"},
                              {"Importo", "1250,00"},
                              {"Anno", "2010"}});
    const Snapshot expected = ArchiveBoth(MakeReceipt(m_dir, "r01_f24_trasmissione.txt"),
                                          MakeReceipt(m_dir, "r02_f24_esito.txt"));
    ASSERT_EQ(expected.records.at(kStdSingle).size(), 8u) << "4 payments and 4 outcomes";
    ASSERT_FALSE(expected.links.empty());

    for (const std::string producer :
         {"ghostscript", "groff", "cairo", "reportlab-words", "reportlab-chars"}) {
        SCOPED_TRACE(producer);
        ForgetReceipts();
        std::string message;
        ASSERT_TRUE(RenderWithProducer(m_dir, producer,
                                       {"r01_f24_trasmissione.txt", "r02_f24_esito.txt"}, message))
            << "produttore " << producer << " non disponibile o fallito: " << message;
        const std::string folder = m_dir.File(producer) + "/";
        const Snapshot got =
            ArchiveBoth(folder + "r01_f24_trasmissione.pdf", folder + "r02_f24_esito.pdf");
        EXPECT_EQ(got.records, expected.records);
        EXPECT_EQ(got.links, expected.links);
        ASSERT_EQ(got.pieces.size(), expected.pieces.size());
        for (const auto& [archive, texts] : expected.pieces) {
            ASSERT_EQ(got.pieces.at(archive).size(), texts.size()) << archive;
            for (size_t i = 0; i < texts.size(); ++i) {
                // Ghostscript's Latin-1 prints the euro sign as EUR; F24 receipts have none.
                EXPECT_EQ(got.pieces.at(archive)[i], texts[i]) << archive << " piece " << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, ProducersF24Test,
                         ::testing::Values(BackendKind::Sqlite, BackendKind::Postgres),
                         BackendName);

} // namespace
} // namespace quorvin::test
