#include "cli/Commands.h"
namespace quorvin::cli {
int RunEsamina(const std::vector<std::string>&) { return 2; }
} // namespace quorvin::cli
