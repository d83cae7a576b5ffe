#pragma once
// A PostgreSQL server of its own for the archive tests and benchmarks: initdb and pg_ctl
// on a temporary folder and a loopback port, removed when the object goes. initdb and
// postgres refuse to run as root, so as root they run as the postgres account.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace quorvin::test {

class ThrowawayPostgres {
public:
    ThrowawayPostgres() = default;
    ~ThrowawayPostgres() { Stop(); }
    ThrowawayPostgres(const ThrowawayPostgres&) = delete;
    ThrowawayPostgres& operator=(const ThrowawayPostgres&) = delete;

    // durable: keep fsync on (benchmarks); tests run without it.
    bool Start(std::string& why, bool durable = false) {
        const std::string bin = FindServerBin();
        if (bin.empty()) {
            why = "PostgreSQL server binaries not found under /usr/lib/postgresql/*/bin";
            return false;
        }
        char pattern[] = "/tmp/quorvin-pg-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            why = "cannot create a temporary folder for the server";
            return false;
        }
        m_root = pattern;
        m_bin = bin;
        m_asUser = getuid() == 0 ? "runuser -u postgres -- " : "";
        if (getuid() == 0 && std::system(("chown postgres: " + Quote(m_root)).c_str()) != 0) {
            why = "cannot hand the server folder to the postgres account";
            return false;
        }
        if (Run(Quote(bin + "/initdb") + " -D " + Quote(Data()) +
                " -U quorvin -A trust -E UTF8 --locale=C --no-sync > " +
                Quote(m_root + "/initdb.log") + " 2>&1") != 0) {
            why = "initdb failed (see " + m_root + "/initdb.log)";
            return false;
        }
        // The superuser "quorvin" signs in without a password, as before; every other
        // role needs its SCRAM password, as on an office server.
        {
            std::ofstream hba(Data() + "/pg_hba.conf", std::ios::trunc);
            hba << "local all all trust\n"
                   "host all quorvin 127.0.0.1/32 trust\n"
                   "host all all 127.0.0.1/32 scram-sha-256\n";
            if (!hba) {
                why = "cannot write pg_hba.conf";
                return false;
            }
        }
        for (int attempt = 0; attempt < 5; ++attempt) {
            m_port = FreePort();
            const std::string options = "-p " + std::to_string(m_port) + " -k " + m_root +
                                        " -c listen_addresses=127.0.0.1" + (durable ? "" : " -F");
            if (Run(Quote(bin + "/pg_ctl") + " -D " + Quote(Data()) + " -o " + Quote(options) +
                    " -l " + Quote(m_root + "/server.log") + " -w -t 60 start > /dev/null 2>&1") ==
                0) {
                m_running = true;
                return true;
            }
        }
        why = "the server did not start (see " + m_root + "/server.log)";
        return false;
    }

    void Stop() {
        if (m_running) {
            Run(Quote(m_bin + "/pg_ctl") + " -D " + Quote(Data()) +
                " -m immediate -w stop > /dev/null 2>&1");
            m_running = false;
        }
        if (!m_root.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(m_root, ec);
            m_root.clear();
        }
    }

    // postgresql://quorvin@127.0.0.1:PORT (add "/database"): the superuser.
    std::string Url() const { return "postgresql://quorvin@127.0.0.1:" + std::to_string(m_port); }
    // The same server without a user: the signing-in role is given apart.
    std::string BareUrl() const { return "postgresql://127.0.0.1:" + std::to_string(m_port); }

private:
    static std::string Quote(const std::string& arg) {
        std::string out = "'";
        for (const char c : arg) {
            out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        return out + "'";
    }

    static std::string FindServerBin() {
        std::string best;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator("/usr/lib/postgresql", ec)) {
            const auto bin = entry.path() / "bin";
            if (std::filesystem::exists(bin / "initdb") &&
                std::filesystem::exists(bin / "pg_ctl") && bin.string() > best) {
                best = bin.string();
            }
        }
        return best;
    }

    static int FreePort() {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(addr);
        int port = 0;
        if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
            port = ntohs(addr.sin_port);
        }
        close(fd);
        return port;
    }

    std::string Data() const { return m_root + "/data"; }
    int Run(const std::string& command) const { return std::system((m_asUser + command).c_str()); }

    std::string m_bin;
    std::string m_root;
    std::string m_asUser;
    int m_port = 0;
    bool m_running = false;
};

} // namespace quorvin::test
