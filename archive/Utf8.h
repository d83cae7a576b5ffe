#pragma once
// Character-level helpers for receipt text. Receipt text is UTF-8; positions in the
// engine are counted in characters, so the engine works on UTF-32 where it counts.
#include <string>
#include <string_view>

namespace quorvin {

std::u32string ToU32(std::string_view utf8);
std::string ToUtf8(std::u32string_view text);
void AppendUtf8(std::string& out, char32_t c);

char32_t LowerChar(char32_t c);
char32_t UpperChar(char32_t c);
std::u32string Lower(std::u32string_view text);
std::string Lower(std::string_view utf8);
std::string Upper(std::string_view utf8);

// The plain form of what PDF producers print in several ways: typographic apostrophes
// and accents (’ ‘ ‛ ʼ ´ `) become ', typographic double quotes (“ ” „) become ",
// Unicode spaces a blank, ligatures (U+FB00-FB06) their letters. Page text and every
// phrase compared with it go through this one mapping, so that "dell’Agenzia" and
// "dell'Agenzia" meet whichever program printed the receipt.
std::string FoldTypography(std::string_view utf8);
std::u32string FoldTypography(std::u32string_view text);

// Blanks, tabs and line breaks removed at both ends.
std::string Trim(std::string_view text);

// Windows-1252 bytes to UTF-8 (reject files of the console).
std::string Cp1252ToUtf8(std::string_view bytes);
// UTF-8 to Windows-1252; characters outside the code page become '?'.
std::string Utf8ToCp1252(std::string_view utf8);

} // namespace quorvin
