// quorvin-cli archivio cerca, mostra, pdf: finding archived records, one record with its
// links, and its stored PDF.
#include "archive/ArchiveSearch.h"
#include "archive/DorvaneEnv.h"
#include "archive/Utf8.h"
#include "cli/ArchivioCommon.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace quorvin::cli {

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

// The archive and its user, as for archivia: $QUORVIN_UTENTE (with $QUORVIN_PASSWORD), else
// the operating-system account on an embedded archive.
bool SignIn(const Options& options, DorvaneEnv& env) {
    std::string error;
    if (!OpenExistingArchive(env, ArchiveLocator(options.Value("archivio", "")), error,
                             CredentialsFromEnvironment())) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return SignInFromEnvironment(env);
}

search::Finder FinderOf(DorvaneEnv& env) {
    return search::Finder(env.Connection(), env.CurrentUser().Id());
}

std::string Json(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += c;
            }
        }
    }
    return out + "\"";
}

// Pads to a width counted in characters, cutting what is longer.
std::string Cell(const std::string& text, size_t width) {
    std::u32string chars = ToU32(text);
    if (chars.size() > width) {
        chars = chars.substr(0, width - 1) + U"…";
    }
    return ToUtf8(chars) + std::string(width - chars.size(), ' ');
}

struct Column {
    const char* title;
    size_t width;
    std::string search::Found::*member;
};

// clang-format off
const Column kTable[] = {
    {"Archivio",       16, &search::Found::archive},
    {"Data",           10, &search::Found::date},
    {"Tipo",           24, &search::Found::docTypeName},
    {"Nome",           28, &search::Found::name},
    {"Codice fiscale", 16, &search::Found::taxCode},
    {"Protocollo",     17, &search::Found::protocol},
    {"Esito",          10, &search::Found::outcome},
    {"Descrizione",    40, &search::Found::description},
};
// clang-format on

bool ParseQuery(const Options& options, search::Query& query, std::string& error) {
    query.text = options.Positional(0);
    query.archive = options.Value("codice", "");
    query.taxCode = options.Value("cf", "");
    query.protocol = options.Value("protocollo", "");
    query.outcome = options.Value("esito", "");
    const auto number = [&](const char* name, std::optional<long>& out) {
        const std::string text = options.Value(name, "");
        if (text.empty()) {
            return true;
        }
        const auto value = ParseInteger(text);
        if (!value) {
            error = "Valore non valido per --" + std::string(name) + ": '" + text + "'.";
            return false;
        }
        out = static_cast<long>(*value);
        return true;
    };
    const auto date = [&](const char* name, std::optional<Date>& out) {
        const std::string text = options.Value(name, "");
        if (text.empty()) {
            return true;
        }
        out = ParseDate(text);
        if (!out) {
            error = "Data non valida per --" + std::string(name) + ": '" + text + "' (GG/MM/AAAA).";
        }
        return out.has_value();
    };
    std::optional<long> limit;
    if (!number("tipo", query.docType) || !number("anno", query.year) || !number("limite", limit) ||
        !date("dal", query.from) || !date("al", query.to)) {
        return false;
    }
    query.limit = limit.value_or(50);
    return true;
}

bool ParseRecord(const Options& options, std::string& code, long& record) {
    code = options.Value("codice", "");
    const auto number = ParseInteger(options.Value("record", ""));
    record = number ? static_cast<long>(*number) : -1;
    return !code.empty() && number.has_value();
}

} // namespace

int RunSearch(Options& options) {
    search::Query query;
    std::string error;
    if (!ParseQuery(options, query, error)) {
        return Fail(error);
    }
    DorvaneEnv env;
    if (!SignIn(options, env)) {
        return 1;
    }
    search::Page page;
    if (!FinderOf(env).Search(query, page, error)) {
        return Fail(error);
    }
    if (options.Flag("json")) {
        for (const auto& row : page.rows) {
            std::printf("{\"archivio\":%s,\"nome_archivio\":%s,\"record\":%ld,\"data\":%s,"
                        "\"tipo\":%s,\"nome_tipo\":%s,\"nome\":%s,\"codice_fiscale\":%s,"
                        "\"protocollo\":%s,\"esito\":%s,\"descrizione\":%s}\n",
                        Json(row.archive).c_str(), Json(row.archiveName).c_str(), row.record,
                        Json(row.date).c_str(), Json(row.docType).c_str(),
                        Json(row.docTypeName).c_str(), Json(row.name).c_str(),
                        Json(row.taxCode).c_str(), Json(row.protocol).c_str(),
                        Json(row.outcome).c_str(), Json(row.description).c_str());
        }
        return 0;
    }
    std::string line = Cell("Record", 7) + " ";
    for (const auto& column : kTable) {
        line += Cell(column.title, column.width) + " ";
    }
    std::printf("%s\n", Trim(line).c_str());
    for (const auto& row : page.rows) {
        line = Cell(std::to_string(row.record), 7) + " ";
        for (const auto& column : kTable) {
            line += Cell(row.*column.member, column.width) + " ";
        }
        std::printf("%s\n", Trim(line).c_str());
    }
    std::printf("Record trovati: %ld (mostrati %zu).\n", page.total, page.rows.size());
    return 0;
}

int RunShow(Options& options) {
    std::string code;
    long record = -1;
    if (!ParseRecord(options, code, record)) {
        return Fail("Uso: quorvin-cli archivio mostra --codice ARCHIVIO --record N");
    }
    DorvaneEnv env;
    if (!SignIn(options, env)) {
        return 1;
    }
    search::Detail detail;
    std::string error;
    if (!FinderOf(env).Read(code, record, detail, error)) {
        return Fail(error);
    }
    std::printf("Archivio: %s (%s)\nRecord: %ld\nDescrizione: %s\nFile: %s\n",
                detail.archiveName.c_str(), detail.archive.c_str(), detail.record,
                detail.description.c_str(),
                detail.storedFile.empty() ? "(nessuno)" : detail.storedFile.c_str());
    std::printf("\nCampi:\n");
    for (const auto& field : detail.fields) {
        std::printf("  %s: %s\n", field.name.c_str(), field.value.c_str());
    }
    const auto links = [](const char* title, const std::vector<search::Linked>& linked) {
        std::printf("\n%s:%s\n", title, linked.empty() ? " nessuno" : "");
        for (const auto& link : linked) {
            std::printf("  %s (%s) record %ld  %s  %s\n", link.archiveName.c_str(),
                        link.archive.c_str(), link.record, link.date.c_str(),
                        link.description.c_str());
        }
    };
    links("Documenti collegati superiori", detail.parents);
    links("Documenti collegati inferiori", detail.children);
    return 0;
}

int RunPdf(Options& options) {
    std::string code;
    long record = -1;
    const std::string output = options.Value("output", "");
    if (!ParseRecord(options, code, record) || output.empty()) {
        return Fail("Uso: quorvin-cli archivio pdf --codice ARCHIVIO --record N --output FILE");
    }
    DorvaneEnv env;
    if (!SignIn(options, env)) {
        return 1;
    }
    std::string bytes;
    std::string error;
    if (!FinderOf(env).Pdf(code, record, bytes, error)) {
        return Fail(error);
    }
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        return Fail("Impossibile scrivere '" + output + "'.");
    }
    std::printf("PDF scritto in %s (%zu byte).\n", output.c_str(), bytes.size());
    return 0;
}

} // namespace quorvin::cli
