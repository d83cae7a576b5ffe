#pragma once
// The classification chain as data: one row per receipt kind, tried in order.
#include <string_view>
#include <vector>

namespace quorvin::classify {

// Header phrases; a row holds when any of the headers it names is on the page.
enum Header : unsigned { kNoHeader = 0, kAG = 1, kSD = 2, kSE = 4 };

inline constexpr std::string_view kHeaderAG =
    "AGENZIA DELLE ENTRATE - SERVIZIO TELEMATICO ENTRATEL";
inline constexpr std::string_view kHeaderSD =
    "SERVIZIO TELEMATICO DI PRESENTAZIONE DELLE DICHIARAZIONI";
inline constexpr std::string_view kHeaderSE =
    "SERVIZIO TELEMATICO ENTRATEL DI PRESENTAZIONE DELLE DICHIARAZIONI";

// Tests that need more than phrases (they read other pages or set side flags).
enum class Test {
    None,
    ListPageStartOther,  // list page: "inizio attivita’ soggetti diversi dalle persone fisiche"
    ListPageStartFirm,   // list page: "inizio attivita’ ditta individuale"
    ListPageChangeOther, // list page: "variazione dati soggetti diversi dalle persone fisiche"
    ListPageChangeFirm,  // list page: "variazione dati ditta individuale"
    Model730,            // the 730 test, both layouts
    InvoiceSubjectEqual, // the line after the invoice heading is "PER LA TRASMISSIONE DEGLI F24"
    InvoiceSubjectOther, // ... and is not
    Intent,              // either of the two intent layouts (sets IntentVariant)
    RentPaymentsOrTypeLine, // the rent-payments phrase under H-AG, or the document-type line
    Intrastat,              // formal/substantive checks, or the INTRASTAT file code
    Quadri,                 // regularity notice (sets OutcomeRegular)
};

using Phrases = std::vector<std::string_view>;

struct Row {
    int number = 0;
    unsigned headers = kNoHeader; // any of them required (none named: no header test)
    Phrases anyOf{};              // at least one present
    Phrases allOf{};              // every one present
    Phrases noneOf{};             // none present
    std::string_view model{};     // "MODELLO DI DICHIARAZIONE ..." with a phrase after it
    Phrases after{};              // any of these, from 6 characters after the model phrase
    Phrases lowerAllOf{};         // on the lower-cased text
    Phrases lowerNoneOf{};        // on the lower-cased text
    Test test = Test::None;
    bool fillPageBox = false; // read the period box of every page afterwards
    long docType = -1;
    long archTipoDoc = -1;
};

const std::vector<Row>& Rows();

} // namespace quorvin::classify
