// quorvin-cli archivio: administration of an archive database.
#include "cli/ArchivioCommon.h"
#include "cli/Commands.h"

#include "archive/ArchiveAdmin.h"
#include "archive/ArchiveExchange.h"
#include "archive/DorvaneUser.h"
#include "archive/Quoting.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quorvin::cli {

namespace {

const char* const kHelp =
    "Uso: quorvin-cli archivio COMANDO [opzioni]\n"
    "\n"
    "Comandi:\n"
    "  init [--esempio] [--utente NOME] [--documenti CARTELLA]\n"
    "      crea l'archivio; chi lo crea ne è l'amministratore. --esempio aggiunge il\n"
    "      catalogo standard (tipi di documento e tre archivi).\n"
    "  utente aggiungi NOME [--amministratore] [--password-file FILE]\n"
    "      aggiunge un utente (sul server: un ruolo di accesso).\n"
    "  utente password NOME [--password-file FILE]\n"
    "      imposta la password di un utente.\n"
    "  archivio aggiungi --codice CODICE --nome NOME --tipo TIPO_ARCH [--anno ANNO]\n"
    "      [--modello TESTO] [--cartella CARTELLA] [--campo NOME:TIPO[:PREDEFINITO]]...\n"
    "      [--tipo-doc CODICE]...\n"
    "      aggiunge un archivio; TIPO è text, date, integer, decimal o boolean.\n"
    "  permesso --utente NOME --codice CODICE [--crea-rec] [--inserimento] [--revoca]\n"
    "      concede (o revoca) a un utente i permessi su un archivio.\n"
    "  esporta --json [--output FILE]\n"
    "      scrive l'intero archivio in JSON (sullo standard output senza --output).\n"
    "  importa --json FILE\n"
    "      legge un'esportazione JSON: archivi, record, file archiviati e collegamenti.\n"
    "  cerca [TESTO] [--codice ARCHIVIO] [--tipo N] [--cf CODICE] [--protocollo P]\n"
    "      [--dal GG/MM/AAAA] [--al GG/MM/AAAA] [--anno AAAA] [--esito ESITO] [--json]\n"
    "      [--limite N]\n"
    "      cerca nei documenti archiviati (senza distinguere maiuscole e accenti), dal\n"
    "      più recente; --json scrive un oggetto JSON per record.\n"
    "  mostra --codice ARCHIVIO --record N\n"
    "      mostra i campi di un record e i documenti collegati.\n"
    "  pdf --codice ARCHIVIO --record N --output FILE\n"
    "      scrive il PDF archiviato di un record.\n"
    "\n"
    "Opzione comune: --archivio PERCORSO o postgresql://URL. Senza, si usa la variabile\n"
    "QUORVIN_ARCHIVIO o l'archivio integrato nella cartella dati dell'utente, che se non\n"
    "esiste viene creato con il catalogo standard (una riga lo segnala sullo standard\n"
    "error). Solo init crea un archivio indicato con --archivio (importa riempie anche\n"
    "un database vuoto). I comandi di amministrazione richiedono un amministratore:\n"
    "QUORVIN_UTENTE e QUORVIN_PASSWORD indicano chi accede (sull'archivio integrato,\n"
    "senza, l'utente del sistema). La password di un nuovo utente si legge da\n"
    "--password-file o dallo standard input, mai da QUORVIN_PASSWORD.\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return 1;
}

int RunInit(Options& options) {
    const std::string locator = Locator(options);
    std::string error;
    const bool server = db::IsServerLocator(locator);
    ConnectOptions connect;
    connect.documentsRoot = options.Value("documenti", server ? DataFolder() + "/Documenti" : "");
    if (server) {
        connect.credentials = CredentialsFromEnvironment();
        // Users are roles there: a role that may not make them would leave half an
        // archive behind.
        auto raw = db::OpenPostgres(locator, error, connect.credentials);
        db::Result may;
        if (!raw) {
            return Fail(error);
        }
        if (!raw->Query("select count(*) from pg_roles where rolname=session_user and"
                        " (rolcreaterole or rolsuper)",
                        may) ||
            may.rows.empty() || may.rows[0][0].value_or("0") == "0") {
            return Fail("Per creare l'archivio sul server serve un ruolo che possa creare ruoli "
                        "(CREATEROLE), proprietario del database.");
        }
    }
    auto connection = DorvaneConnection::Open(locator, connect, error);
    if (!connection) {
        return Fail(error);
    }
    // Whoever creates the archive administers it; another administrator named with
    // --utente gets a password of their own (a new role on a server needs one).
    const std::string signer = server ? connection->SessionUser() : DorvaneUser::SystemAccount();
    const std::string user = options.Value("utente", signer);
    if (connection->Created()) {
        std::string password;
        if ((user != signer || options.Flag("password-file")) &&
            !ReadNewPassword(options, "Password dell'amministratore " + user + ": ", password) &&
            server) {
            return Fail("Password dell'amministratore mancante.");
        }
        if (!admin::MakeAdministrator(*connection, user, password, error) ||
            (user != signer && !admin::MakeAdministrator(*connection, signer, "", error))) {
            return Fail(error);
        }
        std::printf("Archivio creato: %s (amministratore: %s)\n",
                    db::DisplayLocator(locator).c_str(), user.c_str());
    } else {
        std::printf("Archivio già inizializzato: %s\n", db::DisplayLocator(locator).c_str());
        if (options.Flag("esempio") && !SignInAdministrator(*connection)) {
            return 1;
        }
    }
    if (options.Flag("esempio")) {
        long types = 0;
        long archives = 0;
        if (!AddStandardCatalogue(*connection, types, archives, error)) {
            return Fail(error);
        }
        std::printf("Catalogo standard aggiunto: %ld tipi di documento, %ld archivi.\n", types,
                    archives);
    }
    return 0;
}

int RunUser(Options& options) {
    const std::string action = options.Positional(0);
    const std::string name = options.Positional(1);
    if ((action != "aggiungi" && action != "password") || name.empty()) {
        return Fail("Uso: quorvin-cli archivio utente aggiungi NOME [--amministratore] "
                    "[--password-file FILE]\n"
                    "     quorvin-cli archivio utente password NOME [--password-file FILE]");
    }
    auto connection = OpenForAdministration(options);
    if (!connection) {
        return 1;
    }
    std::string password;
    const bool server = connection->Backend() == db::Backend::Postgres;
    // On the embedded archive a user without a password signs in only as the
    // operating-system account of that name.
    if (!ReadNewPassword(options, "Password di " + name + ": ", password) &&
        (server || action == "password")) {
        return Fail("Password mancante.");
    }
    std::string error;
    if (action == "password") {
        if (!admin::SetPassword(*connection, name, password, error)) {
            return Fail(error);
        }
        std::printf("Password di %s impostata.\n", name.c_str());
        return 0;
    }
    const bool administrator = options.Flag("amministratore");
    const long id = administrator ? (admin::MakeAdministrator(*connection, name, password, error)
                                         ? admin::UserId(*connection, name)
                                         : -1)
                                  : admin::AddUser(*connection, name, password, false, error);
    if (id < 0) {
        return Fail(error);
    }
    std::printf("Utente %s aggiunto (id %ld).\n", name.c_str(), id);
    return 0;
}

int RunArchive(Options& options) {
    if (options.Positional(0) != "aggiungi") {
        return Fail("Uso: quorvin-cli archivio archivio aggiungi --codice CODICE --nome NOME "
                    "--tipo TIPO_ARCH [...]");
    }
    ArchiveSpec spec;
    std::string error;
    if (!ArchiveSpecFromOptions(options, spec, error)) {
        return Fail(error);
    }
    auto connection = OpenForAdministration(options);
    if (!connection) {
        return 1;
    }
    if (!admin::AddArchive(*connection, spec, error)) {
        return Fail(error);
    }
    std::printf("Archivio %s aggiunto (tabella %s).\n", spec.code.c_str(),
                connection->Archive(spec.code)->table.c_str());
    return 0;
}

int RunPermission(Options& options) {
    const std::string user = options.Value("utente", "");
    const std::string code = options.Value("codice", "");
    if (user.empty() || code.empty()) {
        return Fail("Uso: quorvin-cli archivio permesso --utente NOME --codice CODICE "
                    "[--crea-rec] [--inserimento] [--revoca]");
    }
    auto connection = OpenForAdministration(options);
    if (!connection) {
        return 1;
    }
    std::string error;
    if (options.Flag("revoca")) {
        if (!admin::Revoke(*connection, user, code, error)) {
            return Fail(error);
        }
        std::printf("Permessi di %s sull'archivio %s revocati.\n", user.c_str(), code.c_str());
        return 0;
    }
    const bool create = options.Flag("crea-rec");
    const long rights = options.Flag("inserimento") ? kRightInsertDocuments : 0;
    if (!admin::Grant(*connection, user, code, create, rights, error)) {
        return Fail(error);
    }
    std::printf("Permesso concesso a %s sull'archivio %s.\n", user.c_str(), code.c_str());
    return 0;
}

int RunExport(Options& options) {
    if (!options.Flag("json")) {
        return Fail("Uso: quorvin-cli archivio esporta --json [--output FILE]");
    }
    auto connection = OpenForAdministration(options);
    if (!connection) {
        return 1;
    }
    std::string json;
    std::string error;
    const std::string output = options.Value("output", "");
    // The stored files go into a folder of their own beside the JSON ("archivio-file").
    const std::filesystem::path target(output);
    const std::string files =
        output.empty() ? std::string()
                       : (target.parent_path() / (target.stem().string() + "-file")).string();
    if (!ExportJson(*connection, json, error, files, target.parent_path().string())) {
        return Fail(error);
    }
    if (output.empty()) {
        std::fwrite(json.data(), 1, json.size(), stdout);
        return 0;
    }
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out << json;
    out.close();
    return out ? 0 : Fail("Impossibile scrivere '" + output + "'.");
}

int RunImport(Options& options) {
    const std::string file = options.Value("json", "");
    if (file.empty()) {
        return Fail("Uso: quorvin-cli archivio importa --json FILE");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return Fail("Impossibile leggere '" + file + "'.");
    }
    std::stringstream text;
    text << in.rdbuf();
    // An empty database (a new server one too) becomes the archive: no init first.
    auto connection = OpenForAdministration(options, true);
    if (!connection) {
        return 1;
    }
    std::string error;
    if (!ImportJson(*connection, text.str(), error,
                    std::filesystem::path(file).parent_path().string())) {
        return Fail(error);
    }
    std::printf("Importazione completata.\n");
    return 0;
}

struct Subcommand {
    const char* name;
    int (*run)(Options&);
};

const Subcommand kSubcommands[] = {
    {"init", RunInit},           {"utente", RunUser},    {"archivio", RunArchive},
    {"permesso", RunPermission}, {"esporta", RunExport}, {"importa", RunImport},
    {"cerca", RunSearch},        {"mostra", RunShow},    {"pdf", RunPdf},
};

} // namespace

int RunArchivio(const std::vector<std::string>& args) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::fputs(kHelp, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    Options options;
    std::string error;
    if (!options.Parse({args.begin() + 1, args.end()}, error)) {
        std::fprintf(stderr, "%s\n\n%s", error.c_str(), kHelp);
        return 2;
    }
    for (const auto& sub : kSubcommands) {
        if (args[0] == sub.name) {
            return sub.run(options);
        }
    }
    std::fprintf(stderr, "Comando sconosciuto: archivio %s\n\n%s", args[0].c_str(), kHelp);
    return 2;
}

} // namespace quorvin::cli
