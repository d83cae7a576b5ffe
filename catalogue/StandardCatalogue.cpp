#include "catalogue/StandardCatalogue.h"

#include "catalogue/ReceiptTypes.h"

#include <initializer_list>

namespace quorvin::catalogue {
namespace {

using enum FieldType;

// Document-type codes beyond the 58 receipt types (those are named by their catalogue
// caption). A code appears once in the whole catalogue.
const std::vector<DocTypeDef> kExtraDocTypes = {
    // Summary codes a multi-purpose communication turns into after its period scan.
    {316, "Trasmissioni Comunicazione polivalente Black List"},
    {318, "Trasmissioni Comunicazione polivalente San Marino"},

    // Single receipts cut out of a receipt file (ArchTipoDoc); 80, 82, 83, 99 and 404
    // equal their receipt type and are named by it.
    {79, "Ricevuta singola Comunicazione Paesi Black List"},
    {94, "Ricevuta singola Elenco INTRA"},
    {96, "Esito singolo Elenco INTRA"},
    {101, "Ricevuta singola Richiesta di Rimborso IRAP"},
    {121, "Ricevuta singola Comunicazione all'Anagrafe Tributaria"},
    {123, "Ricevuta singola Comunicazione dati Enti Associativi (Mod. EAS)"},
    {128, "Ricevuta singola Modello 730-4"},
    {131, "Ricevuta F24 singola"},
    {133, "Esito F24 singolo"},
    {135, "Ricevuta singola Comunicazione dati IVA"},
    {137, "Ricevuta singola Modello 770 Ordinario"},
    {139, "Ricevuta singola Modello 770 Semplificato"},
    {141, "Ricevuta singola Modello Unico P.F."},
    {143, "Ricevuta singola Modello Unico Soc. Persone"},
    {145, "Ricevuta singola Modello Unico Soc. Capitali"},
    {147, "Ricevuta singola Modello Unico Enti non commerciali"},
    {149, "Ricevuta singola Studi di Settore"},
    {151, "Ricevuta singola Dichiarazione IVA"},
    {153, "Ricevuta singola Annullamento dichiarazione"},
    {155, "Ricevuta singola Comunicazione Regime di tassazione per trasparenza"},
    {157, "Ricevuta singola Dichiarazione d'intento"},
    {159, "Ricevuta singola Compenso F24 I° Semestre"},
    {161, "Ricevuta singola Compenso Intermediari"},
    {163, "Ricevuta singola Inizio Attività IVA Soggetti diversi dalle persone fisiche"},
    {165, "Ricevuta singola Variazione Attività IVA Soggetti diversi dalle persone fisiche"},
    {167, "Ricevuta singola Cessazione Attività IVA"},
    {169, "Ricevuta singola Dichiarazione IRAP"},
    {171, "Ricevuta singola Elenco Clienti e Fornitori"},
    {173, "Ricevuta singola Contratto di Locazione"},
    {175, "Ricevuta singola Inizio Attività IVA Imprese individuali e lavoratori autonomi"},
    {177, "Ricevuta singola Variazione Attività IVA Imprese individuali e lavoratori autonomi"},
    {179, "Ricevuta singola Pagamento successivo alla registrazione di Contratto di Locazione"},
    {181, "Esito singolo Pagamento Contratto di Locazione"},
    {183, "Esito singolo Pagamento imposte successive alla registrazione di Contratto di "
          "Locazione"},
    {185, "Ricevuta singola Richiesta Rimborso IVA Trimestrale"},
    {187, "Ricevuta singola Modello 730"},
    {189, "Ricevuta singola Consolidato nazionale e mondiale"},
    {191, "Ricevuta singola Anagrafe dei Rapporti"},
    {193, "Ricevuta singola Istanza Credito d'Imposta per le Misure di Sicurezza"},
    {195, "Atto singolo di accoglimento o diniego del Credito d'Imposta"},
    {197, "Ricevuta singola Annullamento F24"},
    {199, "Ricevuta singola Richiesta bonus straordinario"},
    {287, "Ricevuta singola Interventi Riqualificazione Energetica"},
    {290, "Ricevuta singola Comunicazione Dati INPGI"},
    {294, "Ricevuta singola Fornitura Documenti Fiscali"},
    {317, "Ricevuta singola Comunicazione polivalente Black List"},
    {319, "Ricevuta singola Comunicazione polivalente San Marino"},
    {351, "Ricevuta singola Comunicazione Art.21"},
    {382, "Ricevuta singola Certificazione Unica"},
    {387, "Ricevuta singola Comunicazione polivalente"},
    {389, "Ricevuta singola Comunicazione beni in godimento"},
    {402, "Ricevuta singola Denuncia mensile INPS (EMENS-DM10)"},
    {414, "Ricevuta singola Denuncia Contributiva Mensile ENPALS"},
    {465, "Ricevuta singola Autoliquidazione INAIL"},

    // Transmitted originals the receipts acknowledge (the reference types of the archive
    // selection, and the IRAP models a UNICO receipt may point to). 99 is a receipt type.
    {70, "Elenco Clienti e Fornitori"},
    {71, "Dichiarazione d'intento"},
    {72, "Comunicazione Regime di tassazione per trasparenza"},
    {73, "Questionario Studi di Settore"},
    {74, "Dichiarazione Attività IVA Soggetti diversi dalle persone fisiche"},
    {76, "Dichiarazione Attività IVA Imprese individuali e lavoratori autonomi"},
    {77, "Comunicazione Art.21"},
    {86, "Comunicazione Operazioni Paesi Black List"},
    {87, "Modello di Dichiarazione IRAP"},
    {88, "Elenco INTRA Cessioni"},
    {89, "Elenco INTRA Acquisti"},
    {97, "Modello di Dichiarazione IRAP Soc. Persone"},
    {98, "Modello di Dichiarazione IRAP Soc. Capitali"},
    {102, "Modello Unico P.F."},
    {103, "Modello Unico Soc. Persone"},
    {104, "Modello Unico Soc. Capitali"},
    {105, "Modello Unico Enti non commerciali"},
    {106, "Modello di Dichiarazione IVA"},
    {107, "Comunicazione annuale dati IVA"},
    {108, "Modello Consolidato nazionale e mondiale"},
    {109, "Modello IVA TR - Richiesta Rimborso IVA Trimestrale"},
    {111, "Modello F24"},
    {114, "Modello 730-4"},
    {115, "Modello 730"},
    {117, "Modello 770 Ordinario"},
    {118, "Modello 770 Semplificato"},
    {129, "Modello di Dichiarazione IRAP Enti non commerciali"},
    {279, "Comunicazione Interventi Riqualificazione Energetica"},
    {288, "Comunicazione Dati INPGI"},
    {310, "Comunicazione beni in godimento"},
    {311, "Comunicazione polivalente San Marino"},
    {312, "Comunicazione polivalente Black List"},
    {380, "Certificazione Unica"},
    {385, "Comunicazione polivalente"},
    {401, "Denuncia contributiva mensile INPS"},
};

// Field groups. Each writer spells some names differently (Protocollo_attribuito,
// Ora_Doc, ...); names match without regard to case, so each name is listed once.

// What the document is and when: every writer, FindTelDoc (Data_doc) and the
// original-document search (Anno, Cod_Tipo_doc_F, Data_Doc).
const std::vector<FieldDef> kDocumentFields = {
    {"Cod_Tipo_doc_F", Integer, ""},
    {"Data_doc", Date, ""},
    {"Anno", Integer, ""},
    {"Descrizione", Text, ""},
};

// Whose document and its outcome: the single-receipt writers, WriteFieldsModelli, the
// page storing (Ditta), FindTelDoc and the original-document search (Cod_Fiscale).
const std::vector<FieldDef> kTaxpayerFields = {
    {"Cod_Fiscale", Text, ""},
    {"Ditta", Text, ""},
    {"Esito", Text, ""},
};

// The transmission acknowledged: summary writers and single-receipt writers; the
// protocol fields are the ones FindTelDoc searches.
const std::vector<FieldDef> kTransmissionFields = {
    {"Protocollo_Attribuito", Text, ""},
    {"Progressivo_Invio", Text, ""},
    {"Ora_doc", Text, ""},
    {"File", Text, ""},
    {"Trasmesso_Cod", Text, ""},
    {"Trasmesso_Nome", Text, ""},
    {"Resp_trasm_Cod", Text, ""},
    {"Resp_trasm_Nome", Text, ""},
    {"Data_ricezione", Date, ""},
    {"Data_Ricevimento", Date, ""},
};

// Counters of a whole transmission: summary writers; the F24 ones count payments.
const std::vector<FieldDef> kSummaryCounterFields = {
    {"Num_trasmissioni", Integer, ""}, {"Num_accolte", Integer, ""},
    {"Num_scartate", Integer, ""},     {"Num_Pagamenti", Integer, ""},
    {"Vers_positivo", Integer, ""},    {"Vers_zero", Integer, ""},
    {"Scartati", Integer, ""},         {"Attesa", Integer, ""},
    {"Annullati", Integer, ""},
};

// Period covered: the INPS summary writer (Dal, Al), declaration, communication and
// social-security writers, WriteFieldsModelli; the original-document search compares
// Periodo with a number and Dal/Al with date literals.
const std::vector<FieldDef> kPeriodFields = {
    {"Periodo", Text, ""},
    {"Dal", Date, ""},
    {"Al", Date, ""},
};

// The payment itself: F24 single writers; the original-document search matches F24
// models on Data_Vers and Importo.
const std::vector<FieldDef> kPaymentFields = {
    {"Data_vers", Date, ""},
    {"Importo", Decimal, ""},
};

// How the payment was identified and debited: F24 and lease-payment single writers,
// communication writers (Protocollo_pag); Protocollo_utente is FindTelDoc's second choice.
const std::vector<FieldDef> kPaymentReferenceFields = {
    {"Protocollo_pag", Text, ""},
    {"Progressivo_pag", Text, ""},
    {"Protocollo_utente", Text, ""},
    {"Abi", Text, ""},
    {"Cab", Text, ""},
    {"Cc", Text, ""},
};

// Month of a contribution return: INPS writers; the original-document search compares
// Mese_Cod with a month number.
const std::vector<FieldDef> kMonthFields = {
    {"Mese_Desc", Text, ""},
    {"Mese_Cod", Integer, ""},
};

// Registration numbers: INPS (DM10) and INAIL single writers.
const std::vector<FieldDef> kSocialSecurityFields = {
    {"Mat_Inps_Ditta", Text, ""},
    {"Pos_Inail_Ditta", Text, ""},
};

// Whole text of a VAT-activity certificate: WriteFieldsIvaAttivitaSing.
const std::vector<FieldDef> kNoteFields = {
    {"Note", Text, ""},
};

// Fate of a transmitted communication: the fingerprint outcome update of the page storing
// and the console reject processor. Scartato is written as 1/0 in SQL, hence Integer.
const std::vector<FieldDef> kRejectFields = {
    {"Protocollo_Telematico", Text, ""},
    {"Scartato", Integer, "0"},
    {"Scartato_Descrizione", Text, ""},
};

std::vector<FieldDef> Join(std::initializer_list<const std::vector<FieldDef>*> groups) {
    std::vector<FieldDef> fields;
    for (const auto* group : groups) {
        fields.insert(fields.end(), group->begin(), group->end());
    }
    return fields;
}

} // namespace

const std::vector<DocTypeDef>& StandardDocTypes() {
    static const std::vector<DocTypeDef> kDocTypes = [] {
        std::vector<DocTypeDef> all;
        for (const auto& type : ReceiptTypes()) {
            all.push_back({type.code, type.name});
        }
        all.insert(all.end(), kExtraDocTypes.begin(), kExtraDocTypes.end());
        return all;
    }();
    return kDocTypes;
}

const std::vector<ArchiveDef>& StandardArchives() {
    // Each code the engine selects an archive for sits in exactly one list: the summary
    // archive takes the receipt types stored with a record of their own (DocType), the
    // single archive the ArchTipoDoc codes, the originals archive the reference types.
    // 80, 82, 83 and 404 never get a summary record, so they are single codes; 99 is both
    // an IRAP refund receipt and the original a refund request refers to, and lives with
    // the originals so that the request's search finds it.
    static const std::vector<ArchiveDef> kArchives = {
        {
            "QUORVINRIEPILOGO",
            "Ricevute telematiche - riepiloghi",
            1,
            0,
            "{Descrizione} {Protocollo_Attribuito} {Data_doc}",
            Join({&kDocumentFields, &kTaxpayerFields, &kTransmissionFields, &kSummaryCounterFields,
                  &kPeriodFields}),
            {78,  93,  95,  100, 120, 122, 124, 125, 126, 127, 130, 132, 134, 136,
             138, 140, 142, 144, 146, 148, 150, 152, 154, 156, 158, 160, 162, 164,
             166, 168, 170, 172, 174, 176, 178, 180, 182, 184, 186, 188, 190, 192,
             194, 196, 198, 286, 289, 291, 293, 316, 318, 350, 381, 386, 388},
        },
        {
            "QUORVINSINGOLE00",
            "Ricevute telematiche - singole",
            2,
            0,
            "{Ditta} {Cod_Fiscale} {Descrizione} {Protocollo_Attribuito}",
            Join({&kDocumentFields, &kTaxpayerFields, &kTransmissionFields, &kPeriodFields,
                  &kPaymentFields, &kPaymentReferenceFields, &kMonthFields, &kSocialSecurityFields,
                  &kNoteFields}),
            {79,  80,  82,  83,  94,  96,  101, 121, 123, 128, 131, 133, 135, 137, 139,
             141, 143, 145, 147, 149, 151, 153, 155, 157, 159, 161, 163, 165, 167, 169,
             171, 173, 175, 177, 179, 181, 183, 185, 187, 189, 191, 193, 195, 197, 199,
             287, 290, 294, 317, 319, 351, 382, 387, 389, 402, 404, 414, 465},
        },
        {
            "QUORVINTRASMESSI",
            "Documenti trasmessi",
            3,
            0,
            "{Ditta} {Cod_Fiscale} {Descrizione} {Periodo}",
            Join({&kDocumentFields, &kTaxpayerFields, &kPeriodFields, &kPaymentFields,
                  &kMonthFields, &kRejectFields}),
            {70,  71,  72,  73,  74,  76,  77,  86,  87,  88,  89,  97,
             98,  99,  102, 103, 104, 105, 106, 107, 108, 109, 111, 114,
             115, 117, 118, 129, 279, 288, 310, 311, 312, 380, 385, 401},
        },
    };
    return kArchives;
}

} // namespace quorvin::catalogue
