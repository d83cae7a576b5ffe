#include "engine/pdf/PdfReader.h"

#include "engine/pdf/ReaderProtocol.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quorvin::pdf {

namespace {

namespace fs = std::filesystem;

std::string ReaderExecutable() {
    if (const char* env = std::getenv("QUORVIN_PDFREADER"); env && *env) {
        return env;
    }
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path beside = self.parent_path() / "quorvin-pdfreader";
        if (access(beside.c_str(), X_OK) == 0) {
            return beside.string();
        }
    }
    return QUORVIN_PDFREADER_BUILD_PATH;
}

void CloseFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// Writes to the child without SIGPIPE killing us when it has died: the signal is blocked
// for this thread during the write and a pending one is swallowed.
bool WriteToChild(int fd, const std::string& data) {
    sigset_t pipeOnly;
    sigset_t previous;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    sigset_t pendingBefore;
    sigpending(&pendingBefore);
    const bool wasPending = sigismember(&pendingBefore, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipeOnly, &previous);
    const bool written = wire::WriteAll(fd, data);
    if (!written && errno == EPIPE && !wasPending) {
        const timespec zero{0, 0};
        while (sigtimedwait(&pipeOnly, nullptr, &zero) < 0 && errno == EINTR) {
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return written;
}

class GuardedReader : public PageReader {
public:
    explicit GuardedReader(const ReaderLimits& limits) : m_limits(limits) {}
    ~GuardedReader() override { Stop(); }

    std::optional<Document> Read(const std::string& path) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        try {
            const auto deadline = wire::FdSource::Clock::now() +
                                  std::chrono::seconds(std::max(1, m_limits.secondsPerFile));
            Outcome outcome;
            if (TakePrefetched(path)) {
                outcome = Receive(deadline);
            } else {
                outcome = Attempt(path, deadline);
            }
            // A child that died while idle (or was killed) must not cost a file: one
            // more try with a fresh child when nothing came back at all.
            if (outcome.status == Status::NoAnswer) {
                outcome = Attempt(path, deadline);
            }
            return std::move(outcome.document);
        } catch (...) {
            Stop();
            return std::nullopt;
        }
    }

    void Prefetch(const std::string& path) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_prefetched) {
            return;
        }
        try {
            std::string absolute;
            if ((IsRunning() || Start()) && Send(path, absolute)) {
                m_prefetched = absolute;
                m_prefetchedStamp = Stamp(absolute);
            }
        } catch (...) {
            Stop();
        }
    }

    void Limits(const ReaderLimits& limits) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        DropPrefetched();
        // The child is told its memory and error limits when it starts.
        if (limits.addressSpaceBytes != m_limits.addressSpaceBytes ||
            limits.errorBudget != m_limits.errorBudget) {
            Stop();
        }
        m_limits = limits;
    }

    void WarmUp() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        try {
            if (!IsRunning()) {
                Start();
            }
        } catch (...) {
            Stop();
        }
    }

    bool Ready(std::string& tried) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        tried = ReaderExecutable();
        DropPrefetched();
        try {
            // A question about a file that cannot exist: a working reader answers "not
            // opened" at once; a missing or broken one gives no answer.
            const auto deadline = wire::FdSource::Clock::now() + std::chrono::seconds(10);
            return Attempt("/\x01quorvin-prova-lettore\x01.pdf", deadline).status ==
                   Status::Answered;
        } catch (...) {
            Stop();
            return false;
        }
    }

private:
    enum class Status { Answered, NoAnswer, Failed };
    struct Outcome {
        Status status = Status::Failed;
        std::optional<Document> document;
    };

    static std::pair<std::uintmax_t, long long> Stamp(const std::string& path) {
        std::error_code ec;
        const auto size = fs::file_size(path, ec);
        const auto time = fs::last_write_time(path, ec);
        return {ec ? 0 : size, ec ? 0 : static_cast<long long>(time.time_since_epoch().count())};
    }

    // Whether the answer the child is working on (or has ready) is path's, as it is now.
    // Any other prefetched answer is of no use: that child is stopped.
    bool TakePrefetched(const std::string& path) {
        if (!m_prefetched) {
            return false;
        }
        std::error_code ec;
        const bool same = fs::absolute(path, ec).string() == *m_prefetched && !ec &&
                          Stamp(*m_prefetched) == m_prefetchedStamp;
        m_prefetched.reset();
        if (!same) {
            Stop();
        }
        return same;
    }

    void DropPrefetched() {
        if (m_prefetched) {
            m_prefetched.reset();
            Stop();
        }
    }

    Outcome Attempt(const std::string& path, wire::FdSource::Clock::time_point deadline) {
        Outcome outcome;
        if (!IsRunning() && !Start()) {
            return outcome;
        }
        std::string absolute;
        if (!Send(path, absolute)) {
            outcome.status = absolute.empty() ? Status::Failed : Status::NoAnswer;
            return outcome;
        }
        return Receive(deadline);
    }

    // Sends the request for path to the running child. False when the path cannot be
    // asked for (absolute empty) or the child cannot take it (stopped).
    bool Send(const std::string& path, std::string& absolute) {
        // The child keeps the working folder it was started in; ours may have changed.
        std::error_code ec;
        absolute = fs::absolute(path, ec).string();
        if (ec || absolute.size() > wire::kMaxPathBytes) {
            absolute.clear();
            return false;
        }
        std::string request;
        wire::PutU32(request, static_cast<std::uint32_t>(absolute.size()));
        request += absolute;
        if (!WriteToChild(m_toChild, request)) {
            Stop();
            return false;
        }
        return true;
    }

    // The child's answer to the request sent last.
    Outcome Receive(wire::FdSource::Clock::time_point deadline) {
        Outcome outcome;
        wire::FdSource in(m_fromChild);
        in.SetDeadline(deadline);
        std::uint8_t status = 0;
        if (!in.GetU8(status)) {
            outcome.status = in.TimedOut() ? Status::Failed : Status::NoAnswer;
            Stop();
            return outcome;
        }
        outcome.status = Status::Answered;
        if (status != wire::kOpened) {
            return outcome;
        }
        Document document;
        if (!in.GetDocument(document)) {
            // Over time, out of memory or crashed half-way: the stream is unusable.
            Stop();
            return outcome;
        }
        outcome.document = std::move(document);
        return outcome;
    }

    bool IsRunning() {
        if (m_pid <= 0) {
            return false;
        }
        int status = 0;
        pid_t done = 0;
        do {
            done = waitpid(m_pid, &status, WNOHANG);
        } while (done < 0 && errno == EINTR);
        if (done == 0) {
            return true;
        }
        m_pid = -1; // already reaped (or not ours any more)
        Stop();
        return false;
    }

    bool Start() {
        Stop();
        int toChild[2] = {-1, -1};
        int fromChild[2] = {-1, -1};
        if (pipe2(toChild, O_CLOEXEC) != 0) {
            return false;
        }
        if (pipe2(fromChild, O_CLOEXEC) != 0) {
            CloseFd(toChild[0]);
            CloseFd(toChild[1]);
            return false;
        }
        const std::string exe = ReaderExecutable();
        const std::string limit = std::to_string(m_limits.addressSpaceBytes);
        std::string arg0 = exe;
        std::string arg1 = "--limite-memoria";
        std::string arg2 = limit;
        std::string arg3 = "--limite-errori";
        std::string arg4 = std::to_string(std::max(0L, m_limits.errorBudget));
        char* argv[] = {arg0.data(), arg1.data(), arg2.data(), arg3.data(), arg4.data(), nullptr};

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        // The child starts with default signal handling whatever the caller set up.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        // Its own process group: Ctrl-C at the terminal stops the run after the current
        // file (the caller's business), it must not kill the reader in the middle of it.
        posix_spawnattr_setpgroup(&attributes, 0);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF |
                                                  POSIX_SPAWN_SETPGROUP);

        pid_t pid = -1;
        const int rc = posix_spawn(&pid, exe.c_str(), &actions, &attributes, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        CloseFd(toChild[0]);
        CloseFd(fromChild[1]);
        if (rc != 0) {
            CloseFd(toChild[1]);
            CloseFd(fromChild[0]);
            return false;
        }
        m_pid = pid;
        m_toChild = toChild[1];
        m_fromChild = fromChild[0];
        // Room for a whole small receipt's answer, so that a child reading ahead does not
        // wait for us (best effort: the system may allow less).
        fcntl(m_fromChild, F_SETPIPE_SZ, 1 << 20);
        return true;
    }

    void Stop() {
        CloseFd(m_toChild);
        CloseFd(m_fromChild);
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            while (waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            m_pid = -1;
        }
    }

    ReaderLimits m_limits;
    std::mutex m_mutex;
    pid_t m_pid = -1;
    int m_toChild = -1;
    int m_fromChild = -1;
    // The file asked for ahead of its Read (absolute), as it was when asked for.
    std::optional<std::string> m_prefetched;
    std::pair<std::uintmax_t, long long> m_prefetchedStamp;
};

} // namespace

std::unique_ptr<PageReader> MakeGuardedReader(const ReaderLimits& limits) {
    return std::make_unique<GuardedReader>(limits);
}

} // namespace quorvin::pdf
