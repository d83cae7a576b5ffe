#include "archive/Quoting.h"

#include <cctype>

namespace quorvin {

std::string SqlTextContent(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    for (const char c : value) {
        if (c == '\'') {
            out += "''";
        } else if (c != '\0') {
            out += c;
        }
    }
    return out;
}

std::string SqlText(std::string_view value) {
    return "'" + SqlTextContent(value) + "'";
}

std::string SqlIdentifier(std::string_view name) {
    std::string out = "\"";
    for (const char c : name) {
        if (c == '"') {
            out += '"';
        }
        if (c != '\0') {
            out += c;
        }
    }
    return out + '"';
}

std::string SqlNumber(long long value) {
    return std::to_string(value);
}

std::optional<std::string> SqlNumber(std::string_view text) {
    // NormaliseAmount reads both "1.250,00" and "1250.5"; "1.250" stays a thousand.
    return NormaliseAmount(text);
}

std::string SqlDate(const Date& date) {
    return "'" + IsoDate(date) + "'";
}

std::optional<std::string> SqlDate(std::string_view text) {
    const auto date = ParseDate(text);
    if (!date) {
        return std::nullopt;
    }
    return SqlDate(*date);
}

std::string SqlLikeContent(std::string_view value) {
    std::string out;
    for (const char c : value) {
        if (c == '%' || c == '_' || c == kLikeEscape) {
            out += kLikeEscape;
        }
        if (c == '\'') {
            out += "''";
        } else if (c != '\0') {
            out += c;
        }
    }
    return out;
}

std::string SqlLikePrefix(std::string_view value) {
    return "'" + SqlLikeContent(value) + "%' escape '" + kLikeEscape + "'";
}

std::string SqlLikeContains(std::string_view value) {
    return "'%" + SqlLikeContent(value) + "%' escape '" + kLikeEscape + "'";
}

bool IsPlainIdentifier(std::string_view name) {
    if (name.empty() || name.size() > 60 || !std::isalpha(static_cast<unsigned char>(name[0]))) {
        return false;
    }
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || !(std::isalnum(u) || c == '_')) {
            return false;
        }
    }
    return true;
}

// Anything else (e.g. "1--", which would end the statement in a comment) is text.
bool IsPlainNumber(std::string_view text) {
    size_t i = 0;
    const auto digits = [&] {
        const size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
        }
        return i - from;
    };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    size_t mantissa = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        mantissa += digits();
    }
    if (mantissa == 0) {
        return false;
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        if (digits() == 0) {
            return false;
        }
    }
    return i == text.size();
}

} // namespace quorvin
