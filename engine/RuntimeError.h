#pragma once
// A run-time error inside an engine routine: thrown only inside the routine and caught
// at its boundary, where it becomes the log line "number: description" and a false
// result. It never crosses a routine that reports success through a flag.
#include <string>
#include <utility>

namespace quorvin {

struct RuntimeError {
    long number;
    std::string description;
};

// The error numbers the engine uses.
inline constexpr long kErrInvalidCall = 5;   // an argument out of range
inline constexpr long kErrOverflow = 6;      // a number that does not fit
inline constexpr long kErrTypeMismatch = 13; // a text that is not a date or number
inline constexpr long kErrArchive = 3001;    // an archive-library call that failed

[[noreturn]] inline void Raise(long number, std::string description) {
    throw RuntimeError{number, std::move(description)};
}

inline std::string ErrorText(const RuntimeError& e) {
    return std::to_string(e.number) + ": " + e.description;
}

} // namespace quorvin
