#pragma once
// A job: one unit of work run synchronously through its OnJob handler, with progress,
// a stop request and, when given a connection, one database transaction around it.
#include <array>
#include <functional>
#include <memory>

namespace quorvin {

class DorvaneConnection;

class DorvaneJob {
public:
    // Sets the success flag it is given.
    std::function<void(bool& success)> OnJob;
    // A percentage of Total, raised when it changes.
    std::function<void(long nPrc)> OnStatus;
    // Called on each Progress: the window keeps itself responsive through it.
    std::function<void()> ProgressHook;

    // The five option flags of the interface; they change nothing here.
    void Option(size_t index, bool value);
    bool Option(size_t index) const;

    void Total(long total) { m_total = total; }
    long Total() const { return m_total; }
    bool Stopped() const { return m_stopped; }
    void Stopped(bool stopped) { m_stopped = stopped; }

    // With a connection, Run wraps OnJob in a transaction: committed when the handler
    // succeeds, rolled back (and the stored files it copied deleted) when it does not.
    void UseTransaction(std::shared_ptr<DorvaneConnection> connection);

    // Calls OnJob once and returns its success; an exception from it is a failure.
    bool Run();
    void Progress(long index);

private:
    std::array<bool, 5> m_options{};
    long m_total = 0;
    bool m_stopped = false;
    long m_lastPercent = -1;
    std::shared_ptr<DorvaneConnection> m_transaction;
};

} // namespace quorvin
