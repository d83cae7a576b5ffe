// First-page data of each receipt kind, read from laid-out first pages without an
// archive (the rules that search the archive are in ProcessTest.cpp).
#include "engine/FakeReader.h"
#include "engine/archive/FirstPageRules.h"
#include "engine/bvTel.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace quorvin {
namespace {

using Pages = test::FakeReader::Pages;

const std::string AG = "AGENZIA DELLE ENTRATE - SERVIZIO TELEMATICO ENTRATEL";
const std::string SD = "SERVIZIO TELEMATICO DI PRESENTAZIONE DELLE DICHIARAZIONI";
const std::string SE = "SERVIZIO TELEMATICO ENTRATEL DI PRESENTAZIONE DELLE DICHIARAZIONI";

class FirstPage : public ::testing::Test {
protected:
    // Classifies the pages and applies the first-page rule of their type.
    bool Read(const Pages& pages) {
        reader.Add("r.pdf", pages);
        tel.File("r.pdf");
        tel.ClearDocInfo();
        docType = tel.DocType();
        archTipoDoc = tel.ArchTipoDoc();
        storeSummary = true;
        const std::string text = tel.PageText().empty() ? "" : tel.PageText()[0];
        firstpage::State state{tel,          text,           docType,       archTipoDoc,
                               storeSummary, tel.Is730Alt(), tel.Year730(), {},
                               {},           false};
        return firstpage::Apply(state, tel.IntentVariant());
    }

    test::FakeReader reader;
    bvTel tel{reader};
    long docType = -1;
    long archTipoDoc = -1;
    bool storeSummary = true;
};

TEST_F(FirstPage, F24TransmissionReadsDateSenderAndLetterDate) {
    ASSERT_TRUE(Read({{AG, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE",
                       "In data 12/03/2010 alle ore 10:15 e' stato trasmesso da: RSSMRA80A01H501U",
                       "il file F24_0312.rel", "Roma, Li, 13/03/2010"}}));
    EXPECT_EQ(docType, 130);
    EXPECT_EQ(tel.Info().ReceiptDate, "12/03/2010");
    EXPECT_EQ(tel.Info().DocDate, "13/03/2010");
    EXPECT_EQ(tel.Info().SenderTaxCode, "RSSMRA80A01H501U");
    EXPECT_TRUE(storeSummary);
}

TEST_F(FirstPage, MissingSenderOrDateIsNotOk) {
    EXPECT_FALSE(Read({{AG, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE", "In data 12/03/2010",
                        "trasmesso da: ROSSI"}}))
        << "a sender that is not a tax code";
    EXPECT_FALSE(
        Read({{AG, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE", "trasmesso da: RSSMRA80A01H501U"}}));
    EXPECT_FALSE(Read({{"Fattura n. 12 del 01/02/2010"}})) << "unrecognised type";
}

TEST_F(FirstPage, F24WithOnePaymentTakesTheSenderFromTheList) {
    const Pages pages = {{AG, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE",
                          "In data 12/03/2010 alle ore 10:15",
                          "relativo alla richiesta di n. 1 pagamento"},
                         {"ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI",
                          "Esito Protocollo Codice fiscale Denominazione", "documenti",
                          "ACQUISITO 1 BNCLRA75C41F205X BIANCHI LAURA E FIGLI"}};
    ASSERT_TRUE(Read(pages));
    EXPECT_EQ(tel.Info().SenderTaxCode, "BNCLRA75C41F205X");

    Pages two = pages;
    two[0][3] = "relativo alla richiesta di n. 2 pagamenti";
    EXPECT_FALSE(Read(two)) << "the list is read only for a single payment";
}

TEST_F(FirstPage, ContributionReturnPeriodGivesTheFirstDayOfTheMonth) {
    const Pages pages = {{"ISTITUTO NAZIONALE DELLA PREVIDENZA SOCIALE",
                          "Codice Fiscale Azienda : 01234567890 Matricola 1234567890",
                          "Trasmissione n. 4455667", "PERIODO: MARZO 2010 PRESENZA DIPENDENTI SI"}};
    ASSERT_TRUE(Read(pages));
    EXPECT_EQ(docType, 124);
    EXPECT_EQ(tel.Info().ReceiptDate, "01/03/2010");
    EXPECT_EQ(tel.Info().SenderTaxCode, "01234567890");
    EXPECT_EQ(tel.Info().Protocol, "4455667");

    Pages typeForm = pages;
    typeForm[0][3] = "PERIODO : APRILE 2010 TIPO DENUNCIA ORDINARIA";
    ASSERT_TRUE(Read(typeForm)) << "the form ending at TIPO";
    EXPECT_EQ(tel.Info().ReceiptDate, "01/04/2010");

    Pages none = pages;
    none[0][3] = "PERIODO: non indicato";
    EXPECT_FALSE(Read(none)) << "no period, no receipt date";
}

const std::vector<std::string> kUnico = {
    SD, "MODELLO DI DICHIARAZIONE UNICO 2010 PERSONE FISICHE",
    "DATA DI TRASMISSIONE 30/09/2010 ORE 18:02",
    "Invio effettuato da : STUDIO VERDI codice fiscale : VRDGPP60A01F205Z",
    "INVIO PROTOCOLLO N. 10093018021234567"};

TEST_F(FirstPage, DeclarationWithTotalsKeepsItsSummaryRecord) {
    std::vector<std::string> lines = kUnico;
    lines.push_back("DICHIARAZIONI TOTALI 12");
    ASSERT_TRUE(Read({lines}));
    EXPECT_EQ(docType, 140);
    EXPECT_EQ(tel.Info().ReceiptDate, "30/09/2010");
    EXPECT_EQ(tel.Info().SenderTaxCode, "VRDGPP60A01F205Z");
    EXPECT_EQ(tel.Info().Protocol, "10093018021234567");
    EXPECT_TRUE(storeSummary);

    lines.back() = "CERTIFICAZIONI TOTALI 3";
    ASSERT_TRUE(Read({lines}));
    EXPECT_TRUE(storeSummary);
}

TEST_F(FirstPage, DeclarationWithoutTotalsOrListHasNoSummaryRecord) {
    ASSERT_TRUE(Read({kUnico}));
    EXPECT_FALSE(storeSummary);
}

TEST_F(FirstPage, DeclarationFallbackForms) {
    ASSERT_TRUE(Read({{SE, "MODELLO DI DICHIARAZIONE 770/2010 ORDINARIO",
                       "Dichiarazione presentata il 31/07/2010", "DATI DEL SOSTITUTO",
                       "Codice fiscale : 01234567890", "DICHIARAZIONE PROTOCOLLO N. 998877 - 1"}}));
    EXPECT_EQ(docType, 136);
    EXPECT_EQ(tel.Info().ReceiptDate, "31/07/2010");
    EXPECT_EQ(tel.Info().SenderTaxCode, "01234567890");
    EXPECT_EQ(tel.Info().Protocol, "998877");
}

TEST_F(FirstPage, FingerprintReceiptsNeverKeepASummaryRecord) {
    const std::string phrase = "COMUNICAZIONE DELL'IMPRONTA DEI DOCUMENTI INFORMATICI";
    ASSERT_TRUE(Read({{AG, phrase, "In data 02/05/2011 e' stata acquisita", "Dati del titolare",
                       "Codice fiscale : RSSMRA80A01H501U Denominazione ROSSI",
                       "La comunicazione e' stata acquisita"}}));
    EXPECT_EQ(docType, 82);
    EXPECT_EQ(tel.Info().SenderTaxCode, "RSSMRA80A01H501U") << "holder when no intermediary";
    EXPECT_FALSE(storeSummary);

    ASSERT_TRUE(Read({{AG, phrase, "In data 02/05/2011",
                       "La comunicazione e' stata scartata con la seguente motivazione:"}}));
    EXPECT_EQ(docType, 83);
    EXPECT_FALSE(storeSummary);
}

TEST_F(FirstPage, RegularityNoticeReadsNothing) {
    ASSERT_TRUE(Read({{"Elenco dei quadri della dichiarazione che", "risultano compilati: FR RN",
                       "La dichiarazione risulta regolare.", "12/03/2010"}}));
    EXPECT_EQ(docType, 80);
    EXPECT_TRUE(tel.Info().ReceiptDate.empty());
    EXPECT_FALSE(storeSummary);
}

TEST_F(FirstPage, The730Layouts) {
    ASSERT_TRUE(Read({{SD, "MODELLO DI DICHIARAZIONE 730/2011", "DATA DI TRASMISSIONE 30/06/2011",
                       "Invio effettuato da : CAF NORD codice fiscale : 01234567890",
                       "INVIO PROTOCOLLO N. 11063012345"}}));
    EXPECT_EQ(docType, 186);
    EXPECT_EQ(tel.Info().Protocol, "11063012345");
    EXPECT_TRUE(storeSummary);

    ASSERT_TRUE(
        Read({{SD, "MODELLO DI DICHIARAZIONE 730 2011", "Dichiarazione presentata il 15/06/2011",
               "DICHIARAZIONE PROTOCOLLO N. 11061500001 - 000001"}}));
    EXPECT_EQ(tel.Info().ReceiptDate, "15/06/2011");
    EXPECT_EQ(tel.Info().Protocol, "11061500001");
    EXPECT_FALSE(storeSummary);

    ASSERT_TRUE(
        Read({{SE, "MODELLO DI DICHIARAZIONE", "Comunicazione di avvenuto ricevimento prodotta il",
               "730 2011", "11061500002 - 000001 15/06/2011 10:00"}}));
    EXPECT_TRUE(tel.Is730Alt());
    EXPECT_EQ(tel.Info().Protocol, "11061500002");
    EXPECT_EQ(tel.Info().ReceiptDate, "15/06/2011");
    EXPECT_FALSE(storeSummary);
}

TEST_F(FirstPage, IntentDeclarationVariants) {
    ASSERT_TRUE(
        Read({{SD, "COMUNICAZIONE DEI DATI CONTENUTI NELLE DICHIARAZIONI DI INTENTO RICEVUTE",
               "DATA DI TRASMISSIONE 16/02/2011",
               "Invio effettuato da : ROSSI codice fiscale : RSSMRA80A01H501U",
               "COMUNICAZIONI TOTALI 4"}}));
    EXPECT_EQ(tel.IntentVariant(), 0);
    EXPECT_TRUE(storeSummary);

    ASSERT_TRUE(Read({{AG, "COMUNICAZIONE DI AVVENUTO RICEVIMENTO DICHIARAZIONE D'INTENTO",
                       "In data 16/02/2011 e' stata trasmessa con protocollo 1102161234 il file",
                       "intenti.rel dal codice fiscale : RSSMRA80A01H501U", "Li, 17/02/2011"}}));
    EXPECT_EQ(tel.IntentVariant(), 1);
    EXPECT_EQ(tel.Info().Protocol, "1102161234");
    EXPECT_EQ(tel.Info().DocDate, "17/02/2011");
}

TEST_F(FirstPage, PolyvalentCommunicationTakesItsKindFromTheLaterPages) {
    const std::vector<std::string> first = {
        AG, "ATTESTAZIONE DI ELABORAZIONE DATI - COMUNICAZIONI POLIVALENTI",
        "In data 10/04/2011 ricevuto dal codice fiscale : RSSMRA80A01H501U"};
    auto scan = [&](const std::string& kind) {
        EXPECT_TRUE(Read({first, {"Anno di riferimento 2010 Mese: 3 formato dati", kind}}));
        return std::pair{docType, archTipoDoc};
    };
    EXPECT_EQ(scan("Dati aggregati"), (std::pair{316L, 317L}));
    EXPECT_EQ(scan("DATI ANALITICI"), (std::pair{318L, 319L}));
    EXPECT_EQ(scan("Nessun dettaglio"), (std::pair{386L, 387L}));
    // A kind phrase without a month or quarter decides nothing.
    EXPECT_TRUE(Read({first, {"Anno di riferimento 2010", "dati analitici"}}));
    EXPECT_EQ(docType, 386);
    EXPECT_TRUE(Read({first, {"anno di riferimento 2010 trim: 2", "dati analitici"}}));
    EXPECT_EQ(docType, 318);
}

TEST_F(FirstPage, EveryRowNamesEachTypeOnce) {
    std::map<std::pair<long, long>, int> seen;
    for (const auto& rule : firstpage::Rules()) {
        for (const long type : rule.docTypes) {
            EXPECT_EQ(++seen[std::pair(type, rule.variant)], 1) << type;
        }
    }
    EXPECT_EQ(firstpage::RuleFor(156, 2), nullptr) << "an unknown intent layout reads nothing";
}

} // namespace
} // namespace quorvin
