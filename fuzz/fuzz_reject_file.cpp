// A reject file of the telematic console, name and Windows-1252 content both random,
// through the reject pass's steps (read, then mark the communication it names) against a
// small in-memory archive whose first records can be named.
#include "archive/ArchiveAdmin.h"
#include "archive/DorvaneEnv.h"
#include "archive/DorvaneRecordset.h"
#include "archive/Quoting.h"
#include "archive/StandardCatalogueSpecs.h"
#include "archive/Utf8.h"
#include "console/bvNolva.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace quorvin;

namespace {

constexpr const char* kSentArchive = "QUORVINTRASMESSI";

struct Setting {
    fs::path folder;
    DorvaneEnv env;
    Setting() {
        folder = fs::temp_directory_path() / ("quorvin-fuzz-scarti-" + std::to_string(getpid()));
        fs::create_directories(folder);
        ConnectOptions options;
        options.documentsRoot = (folder / "documenti").string();
        std::string error;
        if (!env.Connect(":memory:", options) ||
            !admin::AddCatalogue(*env.Connection(), StandardDocTypeSpecs(),
                                 StandardArchiveSpecs(options.documentsRoot), error) ||
            !env.Login()) {
            std::abort();
        }
        DorvaneRecordset rs(env.Connection());
        for (int k = 0; k < 3; ++k) {
            if (!rs.Open(kSentArchive, DorvaneRecordset::Mode::Updatable) || !rs.AddNew() ||
                !rs.Update()) {
                std::abort();
            }
        }
    }
    ~Setting() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
};

// What a folder can hold as a file name: no separator, no NUL, not too long.
std::string FileName(std::string name) {
    for (char& c : name) {
        if (c == '/' || c == '\0') {
            c = '_';
        }
    }
    name = name.substr(0, 200);
    return name.empty() || name == "." || name == ".." ? "x" + name : name;
}

} // namespace

// The input is the file name, a newline, then the file's content.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Setting setting;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    const std::string name = FileName(input.substr(0, newline));
    const std::string content = newline == std::string::npos ? "" : input.substr(newline + 1);
    const fs::path path = setting.folder / name;
    {
        std::ofstream out(path, std::ios::binary);
        out << content;
    }
    bvNolva nolva(setting.env);
    nolva.File(path.string());
    const std::string text = nolva.Text();
    if (ToUtf8(ToU32(text)) != text) {
        __builtin_trap(); // the reject text must be valid UTF-8
    }
    const bool updated = nolva.UpdateCom();
    std::error_code ec;
    fs::remove(path, ec);
    if (updated) {
        DorvaneRecordset rs(setting.env.Connection());
        const std::string table = setting.env.Database().TableName(kSentArchive);
        const std::string stored =
            Trim(text).empty() ? "is null" : "=" + SqlText(text); // blank text stores NULL
        if (!rs.Open("select SYS_RECORD from " + table +
                     " where Scartato=1 and Scartato_Descrizione " + stored) ||
            rs.RecordCount() < 1) {
            __builtin_trap(); // said saved, but no record holds the text as read
        }
    }
    return 0;
}
