#pragma once
// Text utilities of the archive library. Positions are 1-based characters, 0 = none.
#include "archive/Convert.h"

#include <map>
#include <string>
#include <vector>

namespace quorvin {

class DorvaneText {
public:
    // Number of pieces of text split at every occurrence of separator (an empty text is
    // one empty piece); the pieces go to lines when given.
    static long SplitLines(const std::string& text, const std::string& separator,
                           std::vector<std::string>* lines = nullptr);
    // Piece index (from 1) of text split at every occurrence of separator; the default
    // when there is no such piece. Consecutive separators give empty pieces.
    static std::string Token(const std::string& text, long index, const std::string& fallback,
                             const std::string& separator);
    // True when the list has no entries, or only empty ones (base 1 as the callers use).
    static bool IsEmptyArray(const std::vector<long>& values);
    static bool IsEmptyArray(const std::vector<std::string>& values);
    // Every occurrence of find replaced with with (left to right, no rescanning).
    static std::string Replace(const std::string& text, const std::string& find,
                               const std::string& with);
    static bool HasKey(const std::map<std::string, bool>& collection, const std::string& key);
    // text is one of the entries of list, compared without regard to case.
    static bool InList(const std::vector<std::string>& list, const std::string& text);
    // First position at or after start of a character of set in text; 0 when none.
    static long FindAnyChar(long start, const std::u32string& text, const std::u32string& set);
    static long FindAnyChar(long start, const std::string& text, const std::string& set);
    // First position at or after start of any of the '|'-separated words in text; 0 when
    // none.
    static long FindAnyWord(long start, const std::string& text, const std::string& words);
    // Two-digit year to four, in place.
    static void WidenYear(int& year);
    static Date LastDayOfMonth(int month, int year);
};

} // namespace quorvin
