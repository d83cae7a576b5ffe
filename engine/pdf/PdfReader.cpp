#include "engine/pdf/PdfReader.h"

namespace quorvin::pdf {

PageReader& DefaultReader() {
    static const std::unique_ptr<PageReader> reader = MakeGuardedReader();
    return *reader;
}

} // namespace quorvin::pdf
