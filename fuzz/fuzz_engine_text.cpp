// Random page text (a receipt template: "#!" header lines, pages cut by form feeds) laid
// out by the fake page reader over a blank PDF of as many pages, then everything the
// engine does with a file: the split decision, classification, first-page rules and the
// archiving job into an in-memory archive, and afterwards the summary writer and some
// of the single writers, writing into a new record that is never saved.
#include "archive/ArchiveAdmin.h"
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneRecordset.h"
#include "archive/StandardCatalogueSpecs.h"
#include "engine/FakeReader.h"
#include "engine/bvTel.h"
#include "tools/fixture/FixtureWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace quorvin;

namespace {

// More pages add little the first pages do not reach, and cost a PDF each.
constexpr size_t kMaxPages = 12;
constexpr size_t kMaxLinesPerPage = 120;
constexpr size_t kWritersPerInput = 4;

using Writer = std::function<bool(bvTel&, const std::string&)>;

// clang-format off
const std::vector<Writer> kSingleWriters = {
    [](bvTel& t, const std::string& s) { return t.WriteFieldsF24Sing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsF24EsitoSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsDichiarazioniSing(s, true, false); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsDichiarazioniSing(s, true, true); },
    [](bvTel& t, const std::string& s) { return t.WriteFields730FieldsSing(s, true, false); },
    [](bvTel& t, const std::string& s) { return t.WriteFields730FieldsSing(s, true, true); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsEMENSSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsENPALSSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsDM10Sing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsINAILAutoliqSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsComAgenSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsAccCredImpSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsAnaRappSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsAnnullamentoSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsBlackListSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsComPoliSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsCompensiSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsComunicazione730_4Sing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsComunicazioneFornDocFisc(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsComunicazioneINPGISing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsCredSicSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsElencoCFSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsIRAPRimbSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsIvaAttivitaSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsIvaTrRimbSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsRichiestaSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsRiqEnergSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsStudiSettSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsLocazioneRicSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsLocSuccSing(s, 1); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsLocSuccEsitoSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsRegoOKSing(s); },
    [](bvTel& t, const std::string& s) { return t.WriteFieldsModelli(s); },
};
// clang-format on

struct Setting {
    fs::path folder;
    std::string documents;
    DorvaneEnv env;
    std::vector<std::string> archives;
    Setting() {
        folder = fs::temp_directory_path() / ("quorvin-fuzz-motore-" + std::to_string(getpid()));
        fs::create_directories(folder / "vuoti");
        documents = (folder / "documenti").string();
        ConnectOptions options;
        options.documentsRoot = documents;
        std::string error;
        const auto specs = StandardArchiveSpecs(documents);
        if (!env.Connect(":memory:", options) ||
            !admin::AddCatalogue(*env.Connection(), StandardDocTypeSpecs(), specs, error) ||
            !env.Login()) {
            std::abort();
        }
        for (const auto& spec : specs) {
            archives.push_back(spec.code);
        }
    }
    ~Setting() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    // A blank PDF of n pages, made once: the job cuts the single receipts out of it.
    std::string Blank(size_t n) {
        const fs::path path = folder / "vuoti" / (std::to_string(n) + ".pdf");
        if (!fs::exists(path) &&
            !fixture::WritePdf(std::vector<std::vector<std::string>>(n), path.string(), nullptr)) {
            std::abort();
        }
        return path.string();
    }
    // Every input starts from empty archives and an empty documents folder.
    void Empty() {
        for (const auto& code : archives) {
            env.Connection()->Execute("delete from " + env.Database().TableName(code));
        }
        env.Connection()->Execute("delete from DB_COLLEGAMENTI");
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(documents, ec)) {
            for (const auto& file : fs::directory_iterator(entry.path(), ec)) {
                fs::remove_all(file.path(), ec);
            }
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Setting setting;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    test::FakeReader::Pages pages = fixture::ParseTemplate(std::string(input)).pages;
    if (pages.empty() || pages.size() > kMaxPages) {
        return 0;
    }
    for (auto& lines : pages) {
        if (lines.size() > kMaxLinesPerPage) {
            lines.resize(kMaxLinesPerPage);
        }
    }
    const std::string name = "ricevuta.pdf";
    const std::string path = (setting.folder / name).string();
    std::error_code ec;
    fs::copy_file(setting.Blank(pages.size()), path, fs::copy_options::overwrite_existing, ec);
    test::FakeReader reader;
    reader.Add(path, pages);

    bvTel tel(setting.env, reader);
    FileTable files{{path, name, true}};
    if (tel.FileSplit(files, 0) == 1) {
        for (const auto& row : files) {
            fs::remove(row.path, ec);
        }
        fs::copy_file(setting.Blank(pages.size()), path, fs::copy_options::overwrite_existing, ec);
    }
    tel.Init();
    tel.File(path);
    tel.FileNameOrig(name);
    if (tel.IsOpen()) {
        tel.Process();
    }

    // The writers themselves, whatever the file was taken for.
    tel.File(path);
    if (tel.IsOpen() && !tel.PageText().empty()) {
        const struct {
            const char* archive;
            bool summary;
        } records[] = {{"QUORVINRIEPILOGO", true}, {"QUORVINSINGOLE00", false}};
        for (const auto& [archive, summary] : records) {
            tel.ClearDocInfo();
            tel.DocumentCount(0);
            DorvaneRecordset& record = tel.CurrentRecord();
            if (!record.Open(archive, DorvaneRecordset::Mode::Updatable) || !record.AddNew()) {
                std::abort();
            }
            // The summary writer reads the first page. The single writers read any page:
            // the first and the last stand for them, and each input goes through a few of
            // them chosen by its bytes (all of them would take most of the time).
            const auto& texts = tel.PageText();
            if (summary) {
                tel.WriteSummaryFields(texts.front());
            } else {
                const size_t first = std::hash<std::string_view>{}(input) % kSingleWriters.size();
                for (size_t k = 0; k < kWritersPerInput; ++k) {
                    const Writer& writer =
                        kSingleWriters[(first + k * kSingleWriters.size() / kWritersPerInput) %
                                       kSingleWriters.size()];
                    writer(tel, texts.front());
                    if (texts.size() > 1) {
                        writer(tel, texts.back());
                    }
                }
            }
            record.CancelUpdate();
            record.Close();
        }
    }
    fs::remove(path, ec);
    setting.Empty();
    return 0;
}
