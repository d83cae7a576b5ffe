#include "support/TestSupport.h"

#include "tools/fixture/FixtureWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quorvin::test {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    const fs::path base = fs::temp_directory_path();
    for (;;) {
        m_path = base / ("quorvin-test-" + std::to_string(getpid()) + "-" +
                         std::to_string(counter.fetch_add(1)));
        std::error_code ec;
        if (fs::create_directory(m_path, ec)) {
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

std::string TemplatesDir() {
    return std::string(QUORVIN_TEST_DATA_DIR) + "/templates";
}

std::string TemplateFile(const std::string& name) {
    return TemplatesDir() + "/" + name;
}

std::vector<std::string> TemplateNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(TemplatesDir())) {
        if (entry.path().extension() == ".txt") {
            names.push_back(entry.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string MakeReceipt(const TempDir& dir, const std::string& templateName,
                        const std::string& pdfName) {
    std::string name = pdfName;
    if (name.empty()) {
        name = fs::path(templateName).stem().string() + ".pdf";
    }
    const std::string out = dir.File(name);
    std::string error;
    EXPECT_TRUE(fixture::WriteTemplatePdf(TemplateFile(templateName), out, &error))
        << templateName << ": " << error;
    return out;
}

std::string MakePdf(const TempDir& dir, const std::string& fileName,
                    const std::vector<std::vector<std::string>>& pages) {
    const std::string out = dir.File(fileName);
    std::string error;
    EXPECT_TRUE(fixture::WritePdf(pages, out, &error)) << fileName << ": " << error;
    return out;
}

bool RenderWithProducer(const TempDir& dir, const std::string& producer,
                        const std::vector<std::string>& templates, std::string& message) {
    // Debian's own interpreter: the producers' Python modules are Debian packages.
    std::string command = "/usr/bin/python3 '" + std::string(QUORVIN_TEST_DATA_DIR) +
                          "/../producers/render.py' '" + dir.Path().string() + "' " + producer;
    for (const auto& name : templates) {
        command += " '" + TemplateFile(name) + "'";
    }
    int status = -1;
    message = RunCommand(command + " 2>&1", &status);
    return status == 0;
}

std::string RunCommand(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        *status = -1;
        return out;
    }
    char buf[4096];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) {
        out.append(buf, n);
    }
    *status = pclose(pipe);
    return out;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace quorvin::test
