#pragma once
// Shared helpers of the test suites: temporary folders and receipt PDFs generated from
// the templates in tests/fixtures/templates.
#include <filesystem>
#include <string>
#include <vector>

namespace quorvin::test {

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

std::string TemplatesDir();
std::string TemplateFile(const std::string& name);
// All template names (file names ending in .txt), sorted.
std::vector<std::string> TemplateNames();
// The PDF of a template, written into dir as <name without .txt>.pdf (or pdfName).
std::string MakeReceipt(const TempDir& dir, const std::string& templateName,
                        const std::string& pdfName = "");
// A PDF of the given pages of lines.
std::string MakePdf(const TempDir& dir, const std::string& fileName,
                    const std::vector<std::vector<std::string>>& pages);

// Renders templates (file names) through another PDF producer (see
// tests/producers/render.py) into dir/<producer>/<name>.pdf; false with the producer's
// message when it failed or is not installed.
bool RenderWithProducer(const TempDir& dir, const std::string& producer,
                        const std::vector<std::string>& templates, std::string& message);

// Runs a shell command; its standard output, and its wait status in *status.
std::string RunCommand(const std::string& command, int* status);

std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);

} // namespace quorvin::test
