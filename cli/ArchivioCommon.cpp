#include "cli/ArchivioCommon.h"

#include "shell/ArchiveAccess.h"

#include "archive/ArchiveAdmin.h"
#include "archive/Convert.h"
#include "archive/DorvaneUser.h"
#include "archive/StandardCatalogueSpecs.h"

#include <termios.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace quorvin::cli {

namespace {

// Options followed by a value; the rest are flags.
const std::array<const char*, 21> kValueOptions = {
    "archivio",   "utente",   "documenti", "codice",   "nome",   "tipo",  "anno",
    "modello",    "cartella", "campo",     "tipo-doc", "output", "json",  "cf",
    "protocollo", "dal",      "al",        "limite",   "record", "esito", "password-file"};

bool IsValueOption(const std::string& name) {
    for (const char* option : kValueOptions) {
        if (name == option) {
            return true;
        }
    }
    return false;
}

} // namespace

bool Options::Parse(const std::vector<std::string>& args, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!arg.starts_with("--")) {
            m_positional.push_back(arg);
            continue;
        }
        std::string name = arg.substr(2);
        const size_t eq = name.find('=');
        if (eq != std::string::npos) {
            m_values.emplace(name.substr(0, eq), name.substr(eq + 1));
            m_flags[name.substr(0, eq)] = true;
            continue;
        }
        if (IsValueOption(name) &&
            !(name == "json" && (i + 1 >= args.size() || args[i + 1].starts_with("--")))) {
            if (i + 1 >= args.size()) {
                error = "Manca il valore dell'opzione --" + name + ".";
                return false;
            }
            m_values.emplace(name, args[++i]);
        }
        m_flags[name] = true;
    }
    return true;
}

std::string Options::Value(const std::string& name, const std::string& fallback) const {
    const auto it = m_values.find(name);
    return it == m_values.end() ? fallback : it->second;
}

std::vector<std::string> Options::Values(const std::string& name) const {
    std::vector<std::string> values;
    for (auto [it, end] = m_values.equal_range(name); it != end; ++it) {
        values.push_back(it->second);
    }
    return values;
}

std::string Options::Positional(size_t index) const {
    return index < m_positional.size() ? m_positional[index] : std::string();
}

std::string Locator(const Options& options) {
    const char* env = std::getenv("QUORVIN_ARCHIVIO");
    const std::string fallback =
        env != nullptr && *env != '\0' ? std::string(env) : DataFolder() + "/archivio.sqlite";
    return options.Value("archivio", fallback);
}

db::ServerCredentials CredentialsFromEnvironment() {
    db::ServerCredentials credentials;
    if (const char* name = std::getenv("QUORVIN_UTENTE"); name != nullptr) {
        credentials.user = name;
    }
    if (const char* password = std::getenv("QUORVIN_PASSWORD"); password != nullptr) {
        credentials.password = password;
    }
    return credentials;
}

std::shared_ptr<DorvaneConnection> OpenExisting(const Options& options, bool create) {
    const std::string locator = Locator(options);
    // The default archive is made whole at once, as the window and archivia make it.
    if (DefaultArchiveMissing(options.Value("archivio", ""))) {
        std::string error;
        if (!CreateDefaultArchive(locator, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return nullptr;
        }
        std::fprintf(stderr,
                     "Nessun archivio trovato: creato l'archivio %s con il catalogo "
                     "standard.\n",
                     locator.c_str());
    }
    const bool server = db::IsServerLocator(locator);
    // Only init (and importa) make an archive: a mistyped path creates nothing.
    if (!server && !create && !std::filesystem::exists(locator)) {
        std::fprintf(stderr,
                     "Archivio %s inesistente. Crearlo con 'quorvin-cli archivio init --archivio "
                     "%s'.\n",
                     locator.c_str(), locator.c_str());
        return nullptr;
    }
    ConnectOptions connect;
    connect.createSchema = create;
    if (server) {
        connect.credentials = CredentialsFromEnvironment();
    }
    std::string error;
    auto connection = DorvaneConnection::Open(locator, connect, error);
    if (!connection) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return nullptr;
    }
    if (connection->Created()) {
        const std::string owner = server ? connection->SessionUser() : DorvaneUser::SystemAccount();
        if (!admin::MakeAdministrator(*connection, owner, "", error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return nullptr;
        }
    }
    return connection;
}

bool SignInAdministrator(DorvaneConnection& connection) {
    if (connection.Backend() == db::Backend::Postgres) {
        return true;
    }
    DorvaneUser user(std::shared_ptr<DorvaneConnection>(&connection, [](DorvaneConnection*) {}));
    const db::ServerCredentials credentials = CredentialsFromEnvironment();
    if (!(credentials.user.empty() ? user.SignIn()
                                   : user.SignIn(credentials.user, credentials.password))) {
        std::fprintf(stderr, "Accesso all'archivio non riuscito: %s\n",
                     connection.LastError().c_str());
        return false;
    }
    if (!user.IsAdministrator()) {
        std::fprintf(stderr, "Operazione riservata agli amministratori dell'archivio.\n");
        return false;
    }
    return true;
}

std::shared_ptr<DorvaneConnection> OpenForAdministration(const Options& options, bool create) {
    auto connection = OpenExisting(options, create);
    return connection && SignInAdministrator(*connection) ? connection : nullptr;
}

bool SignInFromEnvironment(DorvaneEnv& env) {
    std::string user;
    std::string password;
    if (const char* name = std::getenv("QUORVIN_UTENTE"); name != nullptr) {
        user = name;
        password = CredentialsFromEnvironment().password;
    }
    if (!env.Login(user, password)) {
        std::fprintf(stderr, "Accesso all'archivio non riuscito: %s\n", env.LastError().c_str());
        return false;
    }
    return true;
}

bool ReadNewPassword(const Options& options, const std::string& prompt, std::string& password) {
    password.clear();
    if (const std::string file = options.Value("password-file", ""); !file.empty()) {
        std::ifstream in(file);
        const bool read = in && std::getline(in, password);
        if (!password.empty() && password.back() == '\r') {
            password.pop_back();
        }
        return read && !password.empty();
    }
    const bool terminal = isatty(STDIN_FILENO) != 0;
    termios saved{};
    if (terminal) {
        std::fprintf(stderr, "%s", prompt.c_str());
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    const bool read = static_cast<bool>(std::getline(std::cin, password));
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::fprintf(stderr, "\n");
    }
    return read && !password.empty();
}

bool ArchiveSpecFromOptions(const Options& options, ArchiveSpec& spec, std::string& error) {
    spec.code = options.Value("codice", "");
    spec.name = options.Value("nome", "");
    const auto tipo = ParseInteger(options.Value("tipo", ""));
    const auto anno = ParseInteger(options.Value("anno", "0"));
    if (spec.code.empty() || spec.name.empty() || !tipo || !anno) {
        error = "Servono --codice, --nome e --tipo (un numero); --anno è un numero.";
        return false;
    }
    spec.tipoArch = static_cast<long>(*tipo);
    spec.anno = static_cast<long>(*anno);
    spec.descriptionTemplate = options.Value("modello", "");
    spec.folder = options.Value("cartella", "");
    for (const auto& text : options.Values("campo")) {
        const size_t first = text.find(':');
        FieldSpec field;
        field.name = text.substr(0, first);
        const std::string rest = first == std::string::npos ? "text" : text.substr(first + 1);
        const size_t second = rest.find(':');
        if (!ParseFieldType(rest.substr(0, second), field.type)) {
            error = "Tipo di campo non valido in '" + text + "'.";
            return false;
        }
        field.defaultValue = second == std::string::npos ? "" : rest.substr(second + 1);
        spec.fields.push_back(std::move(field));
    }
    for (const auto& text : options.Values("tipo-doc")) {
        const auto code = ParseInteger(text);
        if (!code) {
            error = "Codice di tipo documento non valido: '" + text + "'.";
            return false;
        }
        spec.docTypes.push_back(static_cast<long>(*code));
    }
    return true;
}

bool AddStandardCatalogue(DorvaneConnection& connection, long& types, long& archives,
                          std::string& error) {
    const std::vector<DocTypeSpec> docTypes = StandardDocTypeSpecs();
    const std::vector<ArchiveSpec> specs = StandardArchiveSpecs();
    types = static_cast<long>(docTypes.size());
    archives = static_cast<long>(specs.size());
    return admin::AddCatalogue(connection, docTypes, specs, error);
}

} // namespace quorvin::cli
