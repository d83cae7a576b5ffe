#include "catalogue/ReceiptTypes.h"

#include <algorithm>

namespace quorvin::catalogue {

const std::vector<ReceiptType>& ReceiptTypes() {
    // Dialog order; names are the captions users see and must not be reworded.
    static const std::vector<ReceiptType> kTypes = {
        {130, "Trasmissioni F24", true},
        {132, "Esiti F24", true},
        {134, "Trasmissioni Comunicazione dati IVA", true},
        {136, "Trasmissioni Modello 770 Ordinario", true},
        {138, "Trasmissioni Modello 770 Semplificato", true},
        {186, "Trasmissioni Modello 730", true},
        {127, "Trasmissioni Modello 730-4", true},
        {140, "Trasmissioni Modello Unico P.F. (740)", true},
        {142, "Trasmissioni Modello Unico Soc. Persone (750)", true},
        {144, "Trasmissioni Modello Unico Soc. Capitali (760)", true},
        {146, "Trasmissioni Modello Unico Soc. non commerciali (760b)", true},
        {168, "Trasmissioni Modello di Dichiarazione IRAP", true},
        {99, "Istanze di Rimborso IRAP", true},
        {100, "Trasmissioni Richiesta di Rimborso IRAP", true},
        {148, "Trasmissioni Studi di Settore", true},
        {150, "Trasmissioni IVA", true},
        {184, "Trasmissioni Richieste Rimborsi IVA Trimestrale", true},
        {196, "Trasmissioni Annullamento F24", true},
        {152, "Trasmissioni Annullamento dichiarazioni", true},
        {154, "Trasmissioni Comunicazione Regime di tassazione trasparenza Soc. Capitali", true},
        {156, "Trasmissioni Comunicazione dati Dichiarazioni Intento", true},
        {158, "Trasmissioni Compenso F24 I° Semestre", true},
        {160, "Trasmissioni Compenso Intermediari", true},
        {162, "Trasmissioni Inizio Attività IVA Soggetti diversi dalle persone fisiche", true},
        {174, "Trasmissioni Inizio Attività IVA Imprese individuali e lavoratori autonomi", true},
        {164, "Trasmissioni Variazione Attività IVA Soggetti diversi dalle persone fisiche", true},
        {176, "Trasmissioni Variazione Attività IVA Imprese individuali e lavoratori autonomi",
         true},
        {166, "Trasmissioni Cessazione Attività IVA", true},
        {170, "Trasmissioni Elenco Clienti e Fornitori", true},
        {172, "Trasmissioni Contratti di Locazione", true},
        {180, "Esiti Pagamenti Contratti di Locazione", true},
        {178, "Trasmissione Pagamenti successivi alla registrazione di Contratti di Locazione",
         true},
        {182, "Esiti Pagamenti imposte successivi alla registrazione di Contratti di Locazione",
         true},
        {188, "Trasmissione Consolidato nazionale e mondiale", true},
        {190, "Trasmissione Anagrafe dei Rapporti", true},
        {120, "Comunicazioni all'Anagrafe Tributaria", true},
        {192, "Istanze di attribuzione del Credito d'Imposta per le Misure di Sicurezza", true},
        {194, "Atti di accoglimento o diniego del Credito d'Imposta", true},
        {198, "Richiesta bonus straordinario", true},
        {122, "Trasmissioni Comunicazioni dati degli Enti Associativi (Mod. EAS)", true},
        {124, "Trasmissioni Denunce mensili INPS (EMENS-DM10)", true},
        {404, "Trasmissioni Denunce contributive INPS da sito (DM10)", true},
        {125, "Trasmissioni Denunce Contributiva Mensile ENPALS", true},
        {126, "Trasmissioni Autoliquidazioni INAIL", true},
        {93, "Trasmissioni Elenchi INTRA", true},
        {95, "Esiti Elenchi INTRA", true},
        {78, "Comunicazione Dati Operazioni Paesi Black List", true},
        {80, "Avvisi Telematici di Regolarità/Irregolarità modelli dichiarativi", true},
        {82, "Trasmissione comunicazione impronte", true},
        {83, "Accettazione/scarto comunicazione impronte", true},
        {350, "Trasmissione comunicazione Art.21", true},
        {386, "Comunicazione polivalente", true},
        {388, "Comunicazione beni in godimento", true},
        {381, "Trasmissione Certificazione Unica", true},
        {286, "Trasmissione Modello Interventi Riqualificazione Energetica", true},
        {289, "Trasmissione Comunicazione Dati INPGI", true},
        {291, "Attestazione Elaborazione Fattura/Nota per Compensi a Intermediari", true},
        {293, "Fornitura Documenti Fiscali Art. 3 comma 3 DPR 404", false},
    };
    return kTypes;
}

std::string ReceiptTypeName(long code) {
    const auto& types = ReceiptTypes();
    const auto it = std::find_if(types.begin(), types.end(),
                                 [code](const ReceiptType& t) { return t.code == code; });
    return it == types.end() ? std::string() : it->name;
}

const std::vector<long>& FlagReadOrder() {
    // The historical first-run write order, which is not the dialog order.
    static const std::vector<long> kOrder = {
        78,  80,  82,  83,  93,  95,  99,  100, 120, 122, 130, 132, 134, 136, 138,
        140, 142, 144, 146, 148, 150, 152, 154, 156, 158, 160, 162, 164, 166, 168,
        170, 172, 174, 176, 178, 180, 182, 184, 186, 188, 190, 192, 194, 196, 198,
        124, 125, 126, 127, 286, 289, 291, 293, 350, 381, 386, 388, 404,
    };
    return kOrder;
}

} // namespace quorvin::catalogue
