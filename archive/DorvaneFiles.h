#pragma once
// File utilities of the archive library. Paths are UTF-8; the separator is the platform's.
#include <string>
#include <vector>

namespace quorvin {

class DorvaneFiles {
public:
    static constexpr char kSeparator = '/';

    // The last part of path (after the last separator, '/' or the one given), with or
    // without its extension.
    static std::string FileName(const std::string& path, bool withExtension,
                                const std::string& separator = "/");
    // The extension of a file name without the dot ("" when none).
    static std::string Extension(const std::string& path);
    static std::string FolderOf(const std::string& path);
    static bool FileExists(const std::string& path);
    static bool DeleteFile(const std::string& path, bool force = true);
    // Copies source onto destination (replacing it when overwrite); false on any failure,
    // and then no partial destination is left behind.
    static bool CopyFile(const std::string& source, const std::string& destination,
                         bool overwrite = true);
    // Writes bytes as path through a sibling temporary file, flushed to disk and then
    // renamed: path is either whole or as it was.
    static bool WriteFile(const std::string& path, const std::string& bytes);
    // A path not yet taken: folder (the system temporary folder when empty) + base +
    // a unique suffix + "." + extension. The file is created empty to reserve the name.
    static std::string TempFileName(const std::string& folder, const std::string& base,
                                    const std::string& extension);
    static std::string AddSeparator(const std::string& path);
    static bool FolderExists(const std::string& path);
    static bool CreateFolder(const std::string& path);
    // Files of the folder whose name matches pattern ("*.pdf": extension without regard
    // to case), sorted by name; full paths.
    static std::vector<std::string> FindFiles(const std::string& folder,
                                              const std::string& pattern);
    // The machine's host name.
    static std::string LocalName();
};

} // namespace quorvin
