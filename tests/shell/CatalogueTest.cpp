#include "catalogue/ReceiptTypes.h"
#include "catalogue/StandardCatalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace quorvin::catalogue {
namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

TEST(ReceiptTypesTest, FiftyEightTypesWithExactCaptions) {
    const auto& types = ReceiptTypes();
    ASSERT_EQ(types.size(), 58u);
    std::set<long> codes;
    for (const auto& type : types) {
        EXPECT_TRUE(codes.insert(type.code).second) << type.code;
        EXPECT_EQ(type.firstRun, type.code != 293) << type.code;
    }
    EXPECT_EQ(types.front().code, 130);
    EXPECT_EQ(ReceiptTypeName(158), "Trasmissioni Compenso F24 I° Semestre");
    EXPECT_EQ(ReceiptTypeName(80),
              "Avvisi Telematici di Regolarità/Irregolarità modelli dichiarativi");
    EXPECT_EQ(ReceiptTypeName(120), "Comunicazioni all'Anagrafe Tributaria");
    EXPECT_EQ(ReceiptTypeName(293), "Fornitura Documenti Fiscali Art. 3 comma 3 DPR 404");
    EXPECT_EQ(ReceiptTypeName(131), "");
}

TEST(ReceiptTypesTest, FlagReadOrderIsAPermutationWith293After291) {
    std::vector<long> order = FlagReadOrder();
    ASSERT_EQ(order.size(), 58u);
    EXPECT_EQ(order.front(), 78);
    const auto at291 = std::find(order.begin(), order.end(), 291);
    ASSERT_LT(at291 + 1, order.end());
    EXPECT_EQ(*(at291 + 1), 293);

    std::vector<long> codes;
    for (const auto& type : ReceiptTypes()) {
        codes.push_back(type.code);
    }
    std::sort(order.begin(), order.end());
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(order, codes);
}

// The codes the engine hands to the archive selection, taken from the engine's own
// tables rather than from the catalogue under test.
const std::vector<long> kSummaryCodes = {
    78,  93,  95,  100, 120, 122, 124, 125, 126, 127, 130, 132, 134, 136, 138, 140, 142, 144,
    146, 148, 150, 152, 154, 156, 158, 160, 162, 164, 166, 168, 170, 172, 174, 176, 178, 180,
    182, 184, 186, 188, 190, 192, 194, 196, 198, 286, 289, 293, 316, 318, 350, 381, 386, 388};
const std::vector<long> kSingleCodes = {131, 133, 135, 163, 175, 165, 177, 167, 137, 139, 187, 128,
                                        141, 143, 145, 147, 382, 151, 157, 171, 155, 159, 161, 153,
                                        197, 173, 181, 179, 183, 149, 189, 191, 185, 193, 195, 199,
                                        169, 99,  101, 121, 123, 402, 404, 414, 465, 94,  96,  79,
                                        80,  82,  83,  351, 387, 389, 287, 290, 294, 317, 319};
const std::vector<long> kOriginalCodes = {
    86,  106, 72,  71,  99,  74,  401, 87, 114, 70, 111, 107, 76,  117, 109, 118, 115, 102,
    108, 103, 279, 104, 288, 105, 312, 73, 311, 77, 380, 385, 310, 88,  89,  97,  98,  129};

std::vector<const ArchiveDef*> ArchivesFor(long code) {
    std::vector<const ArchiveDef*> found;
    for (const auto& archive : StandardArchives()) {
        if (std::count(archive.docTypes.begin(), archive.docTypes.end(), code) > 0) {
            found.push_back(&archive);
        }
    }
    return found;
}

const FieldDef* FindField(const ArchiveDef& archive, const std::string& name) {
    for (const auto& field : archive.fields) {
        if (Lower(field.name) == Lower(name)) {
            return &field;
        }
    }
    return nullptr;
}

TEST(StandardCatalogueTest, EveryRequestedCodeFindsExactlyOneArchive) {
    for (const auto* codes : {&kSummaryCodes, &kSingleCodes, &kOriginalCodes}) {
        for (long code : *codes) {
            EXPECT_EQ(ArchivesFor(code).size(), 1u) << "code " << code;
        }
    }
}

TEST(StandardCatalogueTest, ArchivesAreWellFormed) {
    const auto& archives = StandardArchives();
    ASSERT_EQ(archives.size(), 3u);
    std::set<std::string> codes;
    std::set<long> tipiArch;
    std::set<long> listed;
    for (const auto& archive : archives) {
        EXPECT_EQ(archive.code.size(), 16u) << archive.code;
        EXPECT_TRUE(codes.insert(archive.code).second);
        EXPECT_TRUE(tipiArch.insert(archive.tipoArch).second);
        EXPECT_EQ(archive.anno, 0);
        EXPECT_FALSE(archive.name.empty());
        for (long code : archive.docTypes) {
            EXPECT_TRUE(listed.insert(code).second) << "code " << code << " in two archives";
        }

        std::map<std::string, int> seen;
        for (const auto& field : archive.fields) {
            EXPECT_EQ(++seen[Lower(field.name)], 1) << archive.code << " " << field.name;
        }
        // Every placeholder of the description template names a field of the archive.
        const auto& tmpl = archive.descriptionTemplate;
        for (auto open = tmpl.find('{'); open != std::string::npos;
             open = tmpl.find('{', open + 1)) {
            const auto close = tmpl.find('}', open);
            ASSERT_NE(close, std::string::npos) << tmpl;
            EXPECT_NE(FindField(archive, tmpl.substr(open + 1, close - open - 1)), nullptr) << tmpl;
        }
    }
}

TEST(StandardCatalogueTest, DocTypesNameEveryCodeOnce) {
    std::map<long, std::string> names;
    for (const auto& type : StandardDocTypes()) {
        EXPECT_TRUE(names.emplace(type.code, type.name).second) << "duplicate " << type.code;
        EXPECT_FALSE(type.name.empty()) << type.code;
    }
    for (const auto& type : ReceiptTypes()) {
        EXPECT_EQ(names[type.code], type.name);
    }
    for (const auto& archive : StandardArchives()) {
        for (long code : archive.docTypes) {
            EXPECT_EQ(names.count(code), 1u) << "unnamed code " << code;
        }
    }
}

TEST(StandardCatalogueTest, OneTypePerFieldNameAcrossArchives) {
    std::map<std::string, FieldType> types;
    for (const auto& archive : StandardArchives()) {
        for (const auto& field : archive.fields) {
            const auto [it, added] = types.emplace(Lower(field.name), field.type);
            EXPECT_EQ(it->second, field.type) << field.name;
        }
    }
    EXPECT_EQ(types["data_vers"], FieldType::Date);
    EXPECT_EQ(types["importo"], FieldType::Decimal);
    EXPECT_EQ(types["periodo"], FieldType::Text);
}

// Fields the writers and searches use on the record of a document type, spelled as they
// spell them.
struct FieldNeed {
    const char* user;
    long code;
    const char* fields; // blank-separated
};

// clang-format off
const FieldNeed kFieldNeeds[] = {
    {"WriteFieldsF24Riep", 130, "Data_doc Anno Trasmesso_Cod Ora_doc Protocollo_Attribuito File "
                                "Cod_Tipo_doc_F Descrizione Num_Pagamenti Vers_positivo Vers_zero Scartati"},
    {"WriteFieldsF24EsitoRiep", 132, "Attesa Annullati"},
    {"WriteFields730Riep", 186, "Data_ricezione Num_trasmissioni Num_accolte Num_scartate "
                                "Resp_trasm_Cod Resp_trasm_Nome Trasmesso_Nome"},
    {"WriteFieldsEMENSRiep", 124, "Dal Al"},
    {"WriteFieldsENPALSRiep", 125, "Data_Ricezione Num_Trasmissioni"},
    {"FindTelDoc", 172, "Protocollo_Attribuito Cod_Fiscale Trasmesso_Cod File"},
    {"WriteFieldsF24Sing", 131, "Data_doc Data_vers Protocollo_attribuito Protocollo_pag "
                                "Progressivo_pag Esito File Ora_Doc Trasmesso_Cod Anno Cod_Tipo_doc_F "
                                "Cod_Fiscale Importo Abi Cab Cc Descrizione"},
    {"WriteFieldsF24EsitoSing", 133, "Data_Vers"},
    {"WriteFieldsLocSuccSing", 179, "Protocollo_utente Progressivo_Pag Progressivo_Invio Ditta"},
    {"WriteFieldsDichiarazioniSing", 137, "Data_Ricevimento Dal Al Periodo"},
    {"WriteFieldsIvaAttivitaSing", 163, "Note"},
    {"WriteFieldsAnnullamentoSing", 197, "Trasmesso_cod"},
    {"WriteFieldsComAgenSing", 82, "Data_Ricevimento Data_Ricezione"},
    {"WriteFieldsDM10Sing", 404, "Data_Doc Mese_Desc Mat_Inps_Ditta"},
    {"WriteFieldsENPALSSing", 414, "Mese_Cod"},
    {"WriteFieldsINAILAutoliqSing", 465, "Pos_Inail_Ditta"},
    {"WriteFieldsModelli", 99, "Data_doc Anno Ditta Cod_Fiscale Cod_Tipo_doc_F Dal Al Periodo"},
    {"FindOrigDoc", 111, "Cod_Fiscale Anno Cod_Tipo_doc_F Dal Al Data_Doc Data_Vers Importo "
                         "Periodo Mese_Cod"},
    {"StoreComAgen, reject files", 111, "Esito Protocollo_Telematico Scartato Scartato_Descrizione"},
};
// clang-format on

TEST(StandardCatalogueTest, ArchivesHoldTheFieldsTheirWritersUse) {
    for (const auto& need : kFieldNeeds) {
        const auto archives = ArchivesFor(need.code);
        ASSERT_EQ(archives.size(), 1u) << need.user;
        std::istringstream names(need.fields);
        for (std::string name; names >> name;) {
            EXPECT_NE(FindField(*archives.front(), name), nullptr)
                << need.user << ": " << name << " missing in " << archives.front()->code;
        }
    }
    const auto* scartato = FindField(*ArchivesFor(111).front(), "Scartato");
    ASSERT_NE(scartato, nullptr);
    EXPECT_EQ(scartato->defaultValue, "0") << "a stored original starts as not rejected";
}

} // namespace
} // namespace quorvin::catalogue
