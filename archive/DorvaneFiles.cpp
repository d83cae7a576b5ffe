#include "archive/DorvaneFiles.h"

#include "archive/Utf8.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

namespace quorvin {

std::string DorvaneFiles::FileName(const std::string& path, bool withExtension,
                                   const std::string& separator) {
    size_t cut = path.find_last_of('/');
    if (!separator.empty()) {
        const size_t other = path.rfind(separator);
        if (other != std::string::npos && (cut == std::string::npos || other > cut)) {
            cut = other + separator.size() - 1;
        }
    }
    std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (!withExtension) {
        const size_t dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0) {
            name.resize(dot);
        }
    }
    return name;
}

std::string DorvaneFiles::Extension(const std::string& path) {
    const std::string name = FileName(path, true);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot + 1);
}

std::string DorvaneFiles::FolderOf(const std::string& path) {
    const size_t cut = path.find_last_of('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool DorvaneFiles::FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(fs::path(path), ec);
}

bool DorvaneFiles::DeleteFile(const std::string& path, bool /*force*/) {
    std::error_code ec;
    return fs::remove(fs::path(path), ec) && !ec;
}

bool DorvaneFiles::CopyFile(const std::string& source, const std::string& destination,
                            bool overwrite) {
    std::error_code ec;
    const fs::path dst = fs::path(destination);
    if (!overwrite && fs::exists(dst, ec)) {
        return false;
    }
    // Copy to a sibling temporary name and rename, so a failure (a full disk) never
    // leaves a truncated destination.
    const fs::path tmp = dst.parent_path() / fs::path("." + dst.filename().string() + ".part");
    fs::copy_file(fs::path(source), tmp, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        fs::remove(tmp, ec);
        return false;
    }
    fs::rename(tmp, dst, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(tmp, ignored);
        return false;
    }
    return true;
}

bool DorvaneFiles::WriteFile(const std::string& path, const std::string& bytes) {
    const fs::path dst(path);
    const fs::path tmp = dst.parent_path() / fs::path("." + dst.filename().string() + ".part");
    const int fd = ::open(tmp.c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    const bool written = done == bytes.size() && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    std::error_code ec;
    if (written && closed) {
        fs::rename(tmp, dst, ec);
        if (!ec) {
            return true;
        }
    }
    fs::remove(tmp, ec);
    return false;
}

std::string DorvaneFiles::TempFileName(const std::string& folder, const std::string& base,
                                       const std::string& extension) {
    static std::atomic<unsigned> counter{0};
    std::error_code ec;
    std::string dir =
        folder.empty() || folder == "Temp" ? fs::temp_directory_path(ec).string() : folder;
    dir = AddSeparator(dir);
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 1000; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, "_%d_%llx_%u", static_cast<int>(getpid()),
                      stamp & 0xFFFFFFull, counter.fetch_add(1));
        std::string path = dir + (base.empty() ? std::string("qv") : base) + suffix;
        if (!extension.empty()) {
            path += "." + extension;
        }
        const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) {
            return std::string();
        }
    }
    return std::string();
}

std::string DorvaneFiles::AddSeparator(const std::string& path) {
    if (path.empty() || path.back() == '/') {
        return path;
    }
    return path + "/";
}

bool DorvaneFiles::FolderExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(fs::path(path), ec);
}

bool DorvaneFiles::CreateFolder(const std::string& path) {
    std::error_code ec;
    fs::create_directories(fs::path(path), ec);
    return FolderExists(path);
}

std::vector<std::string> DorvaneFiles::FindFiles(const std::string& folder,
                                                 const std::string& pattern) {
    std::vector<std::string> found;
    // Only the patterns the program uses: "*" or "*.ext".
    std::string ext;
    if (pattern.rfind("*.", 0) == 0) {
        ext = Lower(pattern.substr(2));
    }
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(folder), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fec;
        if (!it->is_regular_file(fec)) {
            continue;
        }
        const std::string name = it->path().filename().string();
        if (!ext.empty() && Lower(Extension(name)) != ext) {
            continue;
        }
        found.push_back(AddSeparator(folder) + name);
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string DorvaneFiles::LocalName() {
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0) {
        return std::string();
    }
    return host;
}

} // namespace quorvin
