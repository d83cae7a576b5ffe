#pragma once
// End-to-end runs of the PROCESS command: a fresh archive with the standard catalogue, a
// receipt folder of generated receipts, and a view that records what the window would
// have shown.
#include "archive/DorvaneEnv.h"
#include "shell/ProcessRunner.h"
#include "shell/RunView.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quorvin::test {

class RecordingView : public shell::RunView {
public:
    struct Line {
        std::string file;
        std::string message;
    };

    void AddLine(const QDateTime&, const std::string& file, const std::string& message) override;
    void StatusLine(const QDateTime& when, const std::string& file,
                    const std::string& message) override;
    void ClearLines() override { lines.clear(); }
    void Status(const std::string& panel, const std::string& text) override {
        panels[panel] = text;
        if (panel == "FILE" && onFile) {
            onFile(text);
        }
    }
    void Progress(long percent) override { progress.push_back(percent); }
    void Step(long number, long total, const std::string& file) override {
        steps.push_back(std::to_string(number) + "/" + std::to_string(total) + " " + file);
    }
    void MsgBox(const std::string& text, int style) override {
        boxes.push_back(text);
        boxStyles.push_back(style);
    }
    void Busy(bool busy) override { busyStates.push_back(busy); }
    void KeepResponsiveWhileArchiving() override { ++archivingPumps; }
    void ReportError(const std::string& where, const std::string&) override {
        errors.push_back(where);
    }

    // The messages of the list, without the engine's own "Inizio elaborazione" lines.
    std::vector<std::string> Messages() const;
    long Count(const std::string& message) const;

    std::vector<Line> lines;
    std::map<std::string, std::string> panels;
    std::vector<long> progress;
    std::vector<std::string> steps; // "number/total file"
    std::vector<std::string> boxes;
    std::vector<int> boxStyles;
    std::vector<bool> busyStates;
    std::vector<std::string> errors;
    // The STOP command is given when a message of any priority with this text appears.
    std::string stopOnMessage;
    shell::ProcessRunner* runner = nullptr;
    std::vector<std::string> details;
    long archivingPumps = 0;
    // Called when a file is shown in the "FILE" panel, before it is read.
    std::function<void(const std::string&)> onFile;

private:
    void StopOn(const std::string& message);
};

class RunTest : public ::testing::Test {
protected:
    void SetUp() override;
    // The runner over an archive already made, signed in: data folder and runner.
    void FinishSetUp();

    // A new runner over the archive, the receipt folder, backups on and the first-run flags.
    void MakeRunner();
    // A receipt of the template in the receipt folder.
    std::string Receipt(const std::string& templateName, const std::string& pdfName = "");
    std::string ReceiptPath(const std::string& name) const { return m_receipts.File(name); }
    std::string BackupPath(const std::string& name) const {
        return m_receipts.File("BACKUP/" + name);
    }
    bool InFolder(const std::string& name) const;
    // Records of an archive of the standard catalogue.
    long RecordCount(const std::string& archive);
    // The summary archive holds a record stored from this receipt file name.
    bool Archived(const std::string& fileName);
    std::vector<std::string> LogFiles() const;

    TempDir m_dir;
    TempDir m_receipts;
    std::string m_archive;
    DorvaneEnv m_env;
    RecordingView m_view;
    std::unique_ptr<shell::ProcessRunner> m_runner;
    long m_ticks = 0;
};

// Makes an archive with the standard catalogue through the command line; false on failure.
bool MakeStandardArchive(const std::string& path);
// A fresh database on the test's PostgreSQL server with the standard catalogue, the
// operating-system account its administrator (password kPostgresAdminPassword); its URL, or
// empty with the reason in why.
inline constexpr const char* kPostgresAdminPassword = "segreta";
std::string MakeStandardPostgresArchive(std::string& why);

} // namespace quorvin::test
