#include "archive/Utf8.h"

#include <algorithm>
#include <array>

namespace quorvin {

namespace {

// The 0x80-0x9F block of Windows-1252; 0 marks the five unassigned bytes.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::u32string ToU32(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        int len = 0;
        char32_t cp = 0;
        if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        }
        bool ok = len > 0 && i + static_cast<size_t>(len) <= n;
        for (int k = 1; ok && k < len; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
            if ((cc & 0xC0) != 0x80) {
                ok = false;
            } else {
                cp = (cp << 6) | (cc & 0x3F);
            }
        }
        if (!ok) {
            // A stray byte is taken as Windows-1252 rather than lost.
            out.push_back(c >= 0xA0 ? c : (kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : U'?'));
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<size_t>(len);
    }
    return out;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string ToUtf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        AppendUtf8(out, c);
    }
    return out;
}

char32_t LowerChar(char32_t c) {
    if (c >= U'A' && c <= U'Z') {
        return c + 32;
    }
    if (c < 0xC0) {
        return c;
    }
    // Latin-1 capitals (not the multiplication sign).
    if (c <= 0xDE && c != 0xD7) {
        return c + 32;
    }
    // Latin Extended-A pairs: even capital, odd small (with the two shifted ranges).
    if (c >= 0x100 && c <= 0x137 && c % 2 == 0) {
        return c + 1;
    }
    if (c >= 0x139 && c <= 0x148 && c % 2 == 1) {
        return c + 1;
    }
    if (c >= 0x14A && c <= 0x177 && c % 2 == 0) {
        return c + 1;
    }
    if (c == 0x178) {
        return 0xFF;
    }
    if ((c == 0x179 || c == 0x17B || c == 0x17D)) {
        return c + 1;
    }
    return c;
}

char32_t UpperChar(char32_t c) {
    if (c >= U'a' && c <= U'z') {
        return c - 32;
    }
    if (c < 0xE0) {
        return c;
    }
    if (c <= 0xFE && c != 0xF7) {
        return c - 32;
    }
    if (c == 0xFF) {
        return 0x178;
    }
    if (c >= 0x101 && c <= 0x137 && c % 2 == 1) {
        return c - 1;
    }
    if (c >= 0x13A && c <= 0x148 && c % 2 == 0) {
        return c - 1;
    }
    if (c >= 0x14B && c <= 0x177 && c % 2 == 1) {
        return c - 1;
    }
    if ((c == 0x17A || c == 0x17C || c == 0x17E)) {
        return c - 1;
    }
    return c;
}

std::u32string Lower(std::u32string_view text) {
    std::u32string out(text);
    for (char32_t& c : out) {
        c = LowerChar(c);
    }
    return out;
}

namespace {
template <typename F> std::string MapUtf8(std::string_view s, F f) {
    std::string out;
    out.reserve(s.size());
    // ASCII fast path keeps byte offsets; other characters go through the code point.
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(f(c)));
            ++i;
            continue;
        }
        size_t j = i + 1;
        while (j < s.size() && (static_cast<unsigned char>(s[j]) & 0xC0) == 0x80) {
            ++j;
        }
        for (char32_t cp : ToU32(s.substr(i, j - i))) {
            AppendUtf8(out, f(cp));
        }
        i = j;
    }
    return out;
}
} // namespace

namespace {

// Names of fields, tables and columns are plain ASCII and are mapped many times a record.
bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::string MapAscii(std::string_view s, char from, char to) {
    std::string out(s);
    for (char& c : out) {
        if (c >= from && c <= to) {
            c = static_cast<char>(c ^ 0x20);
        }
    }
    return out;
}

} // namespace

std::string Lower(std::string_view utf8) {
    return IsAscii(utf8) ? MapAscii(utf8, 'A', 'Z') : MapUtf8(utf8, LowerChar);
}
std::string Upper(std::string_view utf8) {
    return IsAscii(utf8) ? MapAscii(utf8, 'a', 'z') : MapUtf8(utf8, UpperChar);
}

namespace {

// Appends the plain form of c; false when c has none (it is kept as it is).
bool AppendFolded(std::u32string& out, char32_t c) {
    switch (c) {
    case U'\u2019':
    case U'\u2018':
    case U'\u201B':
    case U'\u02BC':
    case U'\u00B4':
    case U'`':
        out += U'\'';
        return true;
    case U'\u201C':
    case U'\u201D':
    case U'\u201E':
        out += U'"';
        return true;
    case U'\u00A0':
    case U'\u1680':
    case U'\u202F':
    case U'\u205F':
    case U'\u3000':
        out += U' ';
        return true;
    case U'\uFB00':
        out += U"ff";
        return true;
    case U'\uFB01':
        out += U"fi";
        return true;
    case U'\uFB02':
        out += U"fl";
        return true;
    case U'\uFB03':
        out += U"ffi";
        return true;
    case U'\uFB04':
        out += U"ffl";
        return true;
    case U'\uFB05': // long s + t
    case U'\uFB06':
        out += U"st";
        return true;
    default:
        break;
    }
    if (c >= U'\u2000' && c <= U'\u200A') { // en quad ... hair space
        out += U' ';
        return true;
    }
    return false;
}

} // namespace

std::u32string FoldTypography(std::u32string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (const char32_t c : text) {
        if (!AppendFolded(out, c)) {
            out += c;
        }
    }
    return out;
}

std::string FoldTypography(std::string_view utf8) {
    // Plain ASCII (the common case: every phrase, most receipts) has nothing to fold.
    bool plain = true;
    for (const char ch : utf8) {
        if (static_cast<unsigned char>(ch) >= 0x80 || ch == '`') {
            plain = false;
            break;
        }
    }
    if (plain) {
        return std::string(utf8);
    }
    return ToUtf8(FoldTypography(ToU32(utf8)));
}

std::string Trim(std::string_view text) {
    size_t b = 0;
    size_t e = text.size();
    while (b < e && IsBlank(text[b])) {
        ++b;
    }
    while (e > b && IsBlank(text[e - 1])) {
        --e;
    }
    return std::string(text.substr(b, e - b));
}

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out.push_back(ch);
        } else if (c < 0xA0) {
            const char32_t cp = kCp1252High[c - 0x80];
            AppendUtf8(out, cp ? cp : 0xFFFD);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::string Utf8ToCp1252(std::string_view utf8) {
    std::string out;
    for (char32_t c : ToU32(utf8)) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        char mapped = '?';
        for (size_t k = 0; k < kCp1252High.size(); ++k) {
            if (kCp1252High[k] == c && c != 0) {
                mapped = static_cast<char>(0x80 + k);
                break;
            }
        }
        out.push_back(mapped);
    }
    return out;
}

} // namespace quorvin
