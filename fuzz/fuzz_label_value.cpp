// Random text, label, end, anchor, kind and direction through the label-value reader:
// it must never crash, hang or return anything that is not part of the text.
#include "engine/LabelValue.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) {
        return 0;
    }
    const uint8_t flags = data[0];
    const long kind = static_cast<long>(data[1] % 8) - 1;
    const int length = static_cast<int>(data[2] % 24) - 2;
    const std::string rest(reinterpret_cast<const char*>(data + 3), size - 3);
    // Pieces separated by 0x01: text, label, end delimiter, anchor.
    std::string parts[4];
    size_t part = 0;
    for (char c : rest) {
        if (c == '\x01' && part < 3) {
            ++part;
        } else {
            parts[part].push_back(c);
        }
    }
    const bool literal = (flags & 1) != 0;
    const bool backward = (flags & 2) != 0;
    const std::string value =
        (flags & 4) != 0
            ? quorvin::GetLabelValue(parts[0], parts[1], length, parts[3], kind, literal, backward)
            : quorvin::GetLabelValue(parts[0], parts[1], parts[2], parts[3], kind, literal,
                                     backward);
    if (value.size() > parts[0].size() * 3 + 8) {
        __builtin_trap();
    }
    return 0;
}
