#include "cli/Commands.h"

#include <cstdio>

namespace quorvin::cli {

int RunArchivio(const std::vector<std::string>&) {
    std::fprintf(stderr, "Comando 'archivio' non ancora disponibile.\n");
    return 2;
}

} // namespace quorvin::cli
