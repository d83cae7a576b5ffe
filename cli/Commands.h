#pragma once
// quorvin-cli is a table of small commands; each lives in a file of its own.
#include <string>
#include <vector>

namespace quorvin::cli {

// Each command gets its arguments after the command name and returns the exit status.
int RunEsamina(const std::vector<std::string>& args);
int RunArchivio(const std::vector<std::string>& args);
int RunArchivia(const std::vector<std::string>& args);
int RunMostraLog(const std::vector<std::string>& args);

} // namespace quorvin::cli
