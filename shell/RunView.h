#pragma once
// What a run shows besides its log: the window's list, status panels, progress bar, message
// boxes and busy state. The window, the terminal and the tests each implement it.
#include <QDateTime>

#include <string>

namespace quorvin::shell {

class RunView {
public:
    // Message box styles of the run.
    static constexpr int kInformation = 64;
    static constexpr int kExclamation = 48;

    virtual ~RunView() = default;

    // A priority-1 message: a new row of the operation list, made the selected one.
    virtual void AddLine(const QDateTime& when, const std::string& file,
                         const std::string& message) = 0;
    virtual void ClearLines() = 0;
    // A status-bar panel: "FILE" or "MSG".
    virtual void Status(const std::string& panel, const std::string& text) = 0;
    // Any other priority: the window shows only the message, in the "MSG" panel.
    virtual void StatusLine(const QDateTime& when, const std::string& file,
                            const std::string& message) {
        (void)when;
        (void)file;
        Status("MSG", message);
    }
    virtual void Progress(long percent) = 0;
    // The file a pass is at: number (from 1) of total, and its name as the user knows it.
    virtual void Step(long number, long total, const std::string& file) {
        (void)number;
        (void)total;
        (void)file;
    }
    virtual void MsgBox(const std::string& text, int style) = 0;
    // A working folder that cannot be read: the window shows the folder check's box, the
    // terminal a line that says which folder and what was skipped.
    enum class Folder { Receipts, Rejects };
    virtual void FolderUnusable(Folder which, const std::string& folder,
                                const std::string& message) {
        (void)which;
        (void)folder;
        MsgBox(message, kInformation);
    }
    // The controls' state while a command runs (busy) and after it.
    virtual void Busy(bool busy) = 0;
    // Called between steps of a pass: the window handles pending events (STOP) here.
    virtual void KeepResponsive() {}
    // The same while the engine archives a file: a STOP handled here interrupts that file.
    virtual void KeepResponsiveWhileArchiving() { KeepResponsive(); }
    // A fault of the log routines themselves; they never fail towards their callers.
    virtual void ReportError(const std::string& where, const std::string& text) = 0;
};

} // namespace quorvin::shell
