// Values given apart from a statement, written into its text for a back end that runs
// the text as it is.
#include "archive/Connection.h"
#include "archive/Quoting.h"
#include "archive/Schema.h"

namespace quorvin::db {

std::string LiteralOf(Backend backend, const Param& param) {
    if (!param.value) {
        return "NULL";
    }
    switch (param.kind) {
    case Param::Kind::Number:
        if (IsPlainNumber(*param.value)) {
            return *param.value;
        }
        break;
    case Param::Kind::Bytes:
        return schema::BlobLiteral(backend, *param.value);
    case Param::Kind::Text:
        break;
    }
    return SqlText(*param.value);
}

std::string WithLiterals(Backend backend, const std::string& sql, const Params& params) {
    std::string out;
    out.reserve(sql.size() + 16 * params.size());
    char quote = '\0'; // the quote of the literal or identifier being copied
    for (size_t i = 0; i < sql.size();) {
        const char c = sql[i];
        if (quote != '\0') {
            out += c;
            ++i;
            quote = c == quote ? '\0' : quote; // a doubled quote closes and reopens
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            out += c;
            ++i;
            continue;
        }
        size_t end = i + 1;
        while (c == '$' && end < sql.size() && sql[end] >= '0' && sql[end] <= '9') {
            ++end;
        }
        if (end == i + 1) {
            out += c;
            ++i;
            continue;
        }
        const size_t number = std::stoul(sql.substr(i + 1, std::min<size_t>(end - i - 1, 9)));
        out += number >= 1 && number <= params.size() ? LiteralOf(backend, params[number - 1])
                                                      : std::string("NULL");
        i = end;
    }
    return out;
}

} // namespace quorvin::db
