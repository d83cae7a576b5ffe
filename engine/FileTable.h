#pragma once
// The folder driver's file table (xaFiles): one row per receipt file.
#include <string>
#include <vector>

namespace quorvin {

struct FileRow {
    std::string path;  // column 0: the file to process
    std::string name;  // column 1: name of the file as found in the folder
    bool found = true; // column 2: the driver's flag (false for pieces of a split)
};

using FileTable = std::vector<FileRow>;

} // namespace quorvin
