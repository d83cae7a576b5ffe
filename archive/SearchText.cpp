#include "archive/SearchText.h"

#include "archive/Utf8.h"

namespace quorvin::search {

namespace {

// Accented Latin letters and their plain letter.
struct Plain {
    const char* letters;
    char plain;
};

// clang-format off
const Plain kAccented[] = {
    {"ÀÁÂÃÄÅàáâãäå", 'a'},
    {"Çç", 'c'},
    {"ÈÉÊËèéêë", 'e'},
    {"ÌÍÎÏìíîï", 'i'},
    {"Ññ", 'n'},
    {"ÒÓÔÕÖòóôõö", 'o'},
    {"ÙÚÛÜùúûü", 'u'},
    {"Ýýÿ", 'y'},
};

// Ligatures: FoldTypography expands them in C++; PostgreSQL replaces them by name.
const std::pair<const char*, const char*> kLigatures[] = {
    {"ﬀ", "ff"}, {"ﬁ", "fi"}, {"ﬂ", "fl"}, {"ﬃ", "ffi"}, {"ﬄ", "ffl"}, {"ﬅ", "st"}, {"ﬆ", "st"},
};
// clang-format on

char32_t PlainLetter(char32_t c) {
    if (c >= U'A' && c <= U'Z') {
        return c - U'A' + U'a';
    }
    if ((c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9') || c == U'%' || c == U'_') {
        return c;
    }
    if (c < 0x80) {
        return 0;
    }
    for (const auto& row : kAccented) {
        for (const char32_t letter : ToU32(row.letters)) {
            if (letter == c) {
                return static_cast<char32_t>(row.plain);
            }
        }
    }
    return 0;
}

} // namespace

std::string Fold(std::string_view utf8) {
    std::string out;
    bool gap = false;
    for (const char32_t c : FoldTypography(ToU32(utf8))) {
        const char32_t plain = PlainLetter(c);
        if (plain == 0) {
            gap = !out.empty();
            continue;
        }
        if (gap) {
            out += ' ';
            gap = false;
        }
        out += static_cast<char>(plain);
    }
    return out;
}

std::string PostgresFoldFunctionSql() {
    std::string from = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string to = "abcdefghijklmnopqrstuvwxyz";
    for (const auto& row : kAccented) {
        from += row.letters;
        to += std::string(ToU32(row.letters).size(), row.plain);
    }
    std::string text = "t";
    for (const auto& [ligature, letters] : kLigatures) {
        text = "replace(" + text + ", '" + ligature + "', '" + letters + "')";
    }
    return std::string("create or replace function ") + kFoldFunction +
           "(t text) returns text language sql immutable as $f$ select btrim(regexp_replace("
           "translate(" +
           text + ", '" + from + "', '" + to +
           "'), '[^abcdefghijklmnopqrstuvwxyz0123456789%_]+', ' ', 'g')) $f$;";
}

} // namespace quorvin::search
