#pragma once
// Finding archived records: a search over every archive the user may read (free text
// without regard to case or accents, plus filters), a record with all its fields and its
// linked documents in both directions, and the record's stored PDF. The window and the
// command line use these same calls.
#include "archive/Convert.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvin {

class DorvaneConnection;

namespace search {

enum class SortKey { Date, Type, Name, TaxCode, Protocol, Outcome, Description, Archive };

struct Query {
    std::string text;             // every word must occur in the record's texts
    std::string archive;          // one archive code; empty = every archive the user may read
    std::optional<long> docType;  // Cod_Tipo_doc_F
    std::string taxCode;          // Cod_Fiscale, exactly (without regard to case)
    std::string protocol;         // Protocollo_Attribuito, exactly
    std::optional<Date> from, to; // Data_doc, both ends included
    std::optional<long> year;     // Anno
    std::string outcome;          // Esito contains it, without regard to case
    SortKey sort = SortKey::Date;
    bool descending = true;
    long offset = 0;
    long limit = 50;
};

struct Found {
    std::string archive;
    std::string archiveName;
    long record = -1;
    std::string date; // dd/mm/yyyy
    std::string docType;
    std::string docTypeName;
    std::string name; // Ditta
    std::string taxCode;
    std::string protocol;
    std::string outcome;
    std::string description;
};

struct Page {
    std::vector<Found> rows;
    long total = 0; // records matching, over all pages
};

struct Field {
    std::string name;
    std::string value;
};

struct Linked {
    std::string archive;
    std::string archiveName;
    long record = -1;
    std::string description;
    std::string date;
};

struct Detail {
    std::string archive;
    std::string archiveName;
    long record = -1;
    std::string description;
    std::string storedFile;    // the stored file's name, empty when the record has none
    std::vector<Field> fields; // in the archive's order
    std::vector<Linked> parents;
    std::vector<Linked> children;
};

struct ArchiveName {
    std::string code;
    std::string name;
};

// The stored PDF of a record, as bytes; false with an Italian reason.
bool StoredPdf(const std::shared_ptr<DorvaneConnection>& connection, const std::string& archive,
               long record, std::string& bytes, std::string& error);

class Finder {
public:
    // user: the signed-in user's id (UTENTI.ID_UTENTE); only archives where the user holds
    // a permission are seen.
    Finder(std::shared_ptr<DorvaneConnection> connection, long user);

    std::vector<ArchiveName> ReadableArchives();
    bool Search(const Query& query, Page& page, std::string& error);
    bool Read(const std::string& archive, long record, Detail& detail, std::string& error);
    // StoredPdf of a record the user may read.
    bool Pdf(const std::string& archive, long record, std::string& bytes, std::string& error);

private:
    bool MayRead(const std::string& archive);

    std::shared_ptr<DorvaneConnection> m_connection;
    long m_user;
};

} // namespace search
} // namespace quorvin
