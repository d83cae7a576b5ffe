#include "engine/classify/ClassifyRules.h"

namespace quorvin::classify {

namespace {

constexpr unsigned kAny = kAG | kSD | kSE;
constexpr unsigned kDecl = kSD | kSE;

constexpr std::string_view kStartIva1 = "RICHIESTA DI INIZIO ATTIVITA’ IVA";
constexpr std::string_view kStartIva2 = "RICHIESTA DI INIZIO ATTIVITA' IVA";
constexpr std::string_view kChangeIva1 = "RICHIESTA DI VARIAZIONE ATTIVITA’ IVA";
constexpr std::string_view kChangeIva2 = "RICHIESTA DI VARIAZIONE ATTIVITA' IVA";
constexpr std::string_view kModel770 = "MODELLO DI DICHIARAZIONE 770";
constexpr std::string_view kModelUnico = "MODELLO DI DICHIARAZIONE UNICO";
constexpr std::string_view kInvoice =
    "ATTESTAZIONE DI ELABORAZIONE DELLA FATTURA/NOTA PER COMPENSI AGLI INTERMEDIARI";
constexpr std::string_view kContractRegistered = "CONTRATTO REGISTRATO IN DATA";
constexpr std::string_view kLaterTaxes =
    "IMPOSTE SUCCESSIVE ALLA REGISTRAZIONE\r\nDI CONTRATTI DI LOCAZIONE";
constexpr std::string_view kQuestionnaires = "SERVIZIO TELEMATICO DI PRESENTAZIONE DEI QUESTIONARI";
constexpr std::string_view kFingerprint = "COMUNICAZIONE DELL'IMPRONTA DEI DOCUMENTI INFORMATICI";
constexpr std::string_view kMotivation = "con la seguente motivazione";

// clang-format off
const std::vector<Row> kRows = {
    {.number = 1, .headers = kAG | kSE,
     .allOf = {"ATTESTAZIONE DI AVVENUTA TRASMISSIONE"}, .noneOf = {kQuestionnaires},
     .docType = 130, .archTipoDoc = 131},
    {.number = 2, .headers = kAG | kSE,
     .allOf = {"RICHIESTA DI PAGAMENTO TELEMATICO - ESITO DEL VERSAMENTO"},
     .noneOf = {kContractRegistered, kLaterTaxes},
     .docType = 132, .archTipoDoc = 133},
    {.number = 3, .headers = kAny, .allOf = {"COMUNICAZIONE ANNUALE DATI IVA"},
     .docType = 134, .archTipoDoc = 135},
    {.number = 4, .headers = kAny, .anyOf = {kStartIva1, kStartIva2},
     .test = Test::ListPageStartOther, .docType = 162, .archTipoDoc = 163},
    {.number = 5, .headers = kAny, .anyOf = {kStartIva1, kStartIva2},
     .test = Test::ListPageStartFirm, .docType = 174, .archTipoDoc = 175},
    {.number = 6, .headers = kAny, .anyOf = {kChangeIva1, kChangeIva2},
     .test = Test::ListPageChangeOther, .docType = 164, .archTipoDoc = 165},
    {.number = 7, .headers = kAny, .anyOf = {kChangeIva1, kChangeIva2},
     .test = Test::ListPageChangeFirm, .docType = 176, .archTipoDoc = 177},
    {.number = 8, .headers = kAny,
     .anyOf = {"RICHIESTA DI CESSAZIONE ATTIVITA’ IVA", "RICHIESTA DI CESSAZIONE ATTIVITA' IVA"},
     .docType = 166, .archTipoDoc = 167},
    {.number = 9, .headers = kDecl, .model = kModel770, .after = {"ORDINARIO"},
     .docType = 136, .archTipoDoc = 137},
    {.number = 10, .headers = kDecl, .model = kModel770, .after = {"SEMPLIFICATO"},
     .docType = 138, .archTipoDoc = 139},
    {.number = 11, .test = Test::Model730, .docType = 186, .archTipoDoc = 187},
    {.number = 12, .headers = kAG,
     .anyOf = {"ATTESTAZIONE DI PRESENTAZIONE COMUNICAZIONE CSO",
               "ATTESTAZIONE DI SCARTO COMUNICAZIONE CSO"},
     .docType = 127, .archTipoDoc = 128},
    {.number = 13, .headers = kDecl, .model = kModelUnico, .after = {"PERSONE FISICHE"},
     .docType = 140, .archTipoDoc = 141},
    {.number = 14, .headers = kDecl, .model = kModelUnico,
     .after = {"SOCIETA’ DI PERSONE", "SOCIETA' DI PERSONE"},
     .docType = 142, .archTipoDoc = 143},
    {.number = 15, .headers = kDecl, .model = kModelUnico,
     .after = {"SOCIETA’ DI CAPITALI", "SOCIETA' DI CAPITALI"},
     .docType = 144, .archTipoDoc = 145},
    {.number = 16, .headers = kDecl, .model = kModelUnico, .after = {"ENTI NON COMMERCIALI"},
     .docType = 146, .archTipoDoc = 147},
    {.number = 17, .headers = kDecl,
     .anyOf = {"MODELLO DI COMUNICAZIONE CERTIFICAZIONE UNICA",
               "MODELLO DI DICHIARAZIONE CERTIFICAZIONE UNICA"},
     .docType = 381, .archTipoDoc = 382},
    {.number = 18, .headers = kDecl, .allOf = {"MODELLO DI DICHIARAZIONE IVA"},
     .docType = 150, .archTipoDoc = 151},
    {.number = 19, .test = Test::Intent, .docType = 156, .archTipoDoc = 157},
    {.number = 20, .headers = kAG,
     .allOf = {"ATTESTAZIONE DI ELABORAZIONE DATI - ELENCO CLIENTI E FORNITORI"},
     .docType = 170, .archTipoDoc = 171},
    {.number = 21, .headers = kDecl,
     .allOf = {"COMUNICAZIONE RELATIVA AL REGIME DI TASSAZIONE PER TRASPARENZA"},
     .docType = 154, .archTipoDoc = 155},
    {.number = 22, .headers = kAny, .allOf = {kInvoice}, .test = Test::InvoiceSubjectEqual,
     .docType = 158, .archTipoDoc = 159},
    {.number = 23, .headers = kAny, .allOf = {kInvoice}, .test = Test::InvoiceSubjectOther,
     .docType = 160, .archTipoDoc = 161},
    {.number = 24, .headers = kAG,
     .allOf = {"ATTESTAZIONE DI ELABORAZIONE DI RICHIESTE DI ANNULLAMENTO DICHIARAZIONI"},
     .docType = 152, .archTipoDoc = 153},
    {.number = 25, .headers = kAG,
     .allOf = {"ATTESTAZIONE DI ELABORAZIONE DI RICHIESTE DI ANNULLAMENTO F24"},
     .docType = 196, .archTipoDoc = 197},
    {.number = 26, .headers = kAG,
     .allOf = {"DAI CONTROLLI ESEGUITI, TUTTI I CONTRATTI DI LOCAZIONE"},
     .docType = 172, .archTipoDoc = 173},
    {.number = 27, .headers = kAG, .allOf = {kContractRegistered},
     .docType = 180, .archTipoDoc = 181},
    {.number = 28, .test = Test::RentPaymentsOrTypeLine, .docType = 178, .archTipoDoc = 179},
    {.number = 29, .headers = kAG, .allOf = {kLaterTaxes}, .docType = 182, .archTipoDoc = 183},
    {.number = 30, .headers = kAG, .allOf = {kQuestionnaires}, .docType = 148, .archTipoDoc = 149},
    {.number = 31, .headers = kDecl,
     .allOf = {"MODELLO DI DICHIARAZIONE CONSOLIDATO NAZIONALE E MONDIALE"},
     .docType = 188, .archTipoDoc = 189},
    {.number = 32, .allOf = {"ATTESTAZIONE DI ELABORAZIONE DATI - ANAGRAFE DEI RAPPORTI"},
     .docType = 190, .archTipoDoc = 191},
    {.number = 33,
     .allOf = {"COMUNICAZIONE DI AVVENUTO RICEVIMENTO DEL MODELLO IVA TR - RICHIESTA\r\n"
               "DI RIMBORSO O UTILIZZO IN COMPENSAZIONE DEL CREDITO IVA TRIMESTRALE"},
     .docType = 184, .archTipoDoc = 185},
    {.number = 34,
     .allOf = {"ATTESTAZIONE DI ELABORAZIONE DELLE ISTANZE DI ATTRIBUZIONE DEL CREDITO\r\n"
               "D'IMPOSTA PER LE MISURE DI SICUREZZA"},
     .docType = 192, .archTipoDoc = 193},
    {.number = 35, .allOf = {"ATTO DI ACCOGLIMENTO O DI DINIEGO DEL CREDITO D'IMPOSTA"},
     .docType = 194, .archTipoDoc = 195},
    {.number = 36,
     .allOf = {"COMUNICAZIONE DI AVVENUTO RICEVIMENTO DELLA RICHIESTA DI BONUS\r\n"
               "STRAORDINARIO PER FAMIGLIE"},
     .docType = 198, .archTipoDoc = 199},
    {.number = 37, .headers = kDecl, .allOf = {"MODELLO DI DICHIARAZIONE IRAP"},
     .docType = 168, .archTipoDoc = 169},
    {.number = 38,
     .allOf = {"MODELLO PER L’ISTANZA DI RIMBORSO IRPEF/IRES PER MANCATA\r\n"
               "DEDUZIONE DELL’IRAP RELATIVA ALLE SPESE PER IL PERSONALE DIPENDENTE E ASSIMILATO"},
     .docType = 99, .archTipoDoc = 99},
    {.number = 39, .headers = kAG,
     .anyOf = {"AI SENSI DELL'ART.6, D.L.29 NOVEMBRE 2008, N.185",
               "AI SENSI DELL'ART.2, COMMA 1-QUATER,D.L. N.201/2011"},
     .docType = 100, .archTipoDoc = 101},
    {.number = 40, .allOf = {"COMUNICAZIONI ALL'ANAGRAFE TRIBUTARIA"},
     .docType = 120, .archTipoDoc = 121},
    {.number = 41,
     .allOf = {"COMUNICAZIONE DI AVVENUTO RICEVIMENTO MODELLO DATI RILEVANTI\r\n"
               "ENTI ASSOCIATIVI"},
     .docType = 122, .archTipoDoc = 123},
    {.number = 42, .allOf = {"ISTITUTO NAZIONALE DELLA PREVIDENZA SOCIALE"},
     .docType = 124, .archTipoDoc = 402},
    {.number = 43, .allOf = {"ATTESTAZIONE DELLA DENUNCIA CONTRIBUTIVA RELATIVA AL PERIODO"},
     .fillPageBox = true, .docType = 404, .archTipoDoc = 404},
    {.number = 44, .allOf = {"ATTESTATO DI RICEZIONE DELLA DENUNCIA CONTRIBUTIVA MENSILE"},
     .docType = 125, .archTipoDoc = 414},
    {.number = 45, .allOf = {"RICEVUTA PER L'INVIO DELLA DICHIARAZIONE SALARI"},
     .docType = 126, .archTipoDoc = 465},
    {.number = 46, .headers = kDecl,
     .allOf = {"ELENCHI RIEPILOGATIVI DELLE CESSIONI E DEGLI ACQUISTI\r\n"
               "INTRACOMUNITARI DI BENI E DI SERVIZI RESI E RICEVUTI",
               "SONO STATI ESEGUITI I CONTROLLI FORMALI PREVISTI DALLE SPECIFICHE"},
     .docType = 93, .archTipoDoc = 94},
    {.number = 47, .test = Test::Intrastat, .docType = 95, .archTipoDoc = 96},
    {.number = 48,
     .allOf = {"COMUNICAZIONE DI AVVENUTO RICEVIMENTO MODELLO OPERAZIONI SOGGETTI IVA PAESI\r\n"
               "BLACK LIST"},
     .docType = 78, .archTipoDoc = 79},
    {.number = 49, .test = Test::Quadri, .docType = 80, .archTipoDoc = 80},
    {.number = 50, .allOf = {kFingerprint}, .lowerNoneOf = {kMotivation},
     .docType = 82, .archTipoDoc = 82},
    {.number = 51, .allOf = {kFingerprint}, .lowerAllOf = {kMotivation},
     .docType = 83, .archTipoDoc = 83},
    {.number = 52,
     .allOf = {"ATTESTAZIONE DI ELABORAZIONE DATI - COMUNICAZIONI ART. 21 DEL D.L. 78/2010"},
     .docType = 350, .archTipoDoc = 351},
    {.number = 53, .headers = kAG | kSE,
     .allOf = {"ATTESTAZIONE DI ELABORAZIONE DATI - COMUNICAZIONI POLIVALENTI"},
     .docType = 386, .archTipoDoc = 387},
    {.number = 54, .headers = kAG,
     .allOf = {"ATTESTAZIONE DI ELABORAZIONE DATI - BENI DELL'IMPRESA CONCESSI IN GODIMENTO"},
     .docType = 388, .archTipoDoc = 389},
    {.number = 55, .headers = kAG, .allOf = {"INTERVENTI DI RIQUALIFICAZIONE ENERGETICA"},
     .docType = 286, .archTipoDoc = 287},
    {.number = 56, .headers = kAG, .allOf = {"COMUNICAZIONE DATI INPGI"},
     .docType = 289, .archTipoDoc = 290},
    {.number = 57, .headers = kAG,
     .allOf = {"ATTESTAZIONE DI ELABORAZIONE DELLE FORNITURE DEI DOCUMENTI FISCALI"},
     .docType = 293, .archTipoDoc = 294},
};
// clang-format on

} // namespace

const std::vector<Row>& Rows() {
    return kRows;
}

} // namespace quorvin::classify
