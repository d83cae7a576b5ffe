// The classification chain on laid-out pages: order conflicts, side flags, list pages.
#include "engine/FakeReader.h"
#include "engine/bvTel.h"

#include <gtest/gtest.h>

namespace quorvin {
namespace {

using Pages = test::FakeReader::Pages;

const std::string AG = "AGENZIA DELLE ENTRATE - SERVIZIO TELEMATICO ENTRATEL";
const std::string SD = "SERVIZIO TELEMATICO DI PRESENTAZIONE DELLE DICHIARAZIONI";
const std::string SE = "SERVIZIO TELEMATICO ENTRATEL DI PRESENTAZIONE DELLE DICHIARAZIONI";

struct Classified {
    long docType;
    long archTipoDoc;
};

class Classify : public ::testing::Test {
protected:
    long Type(const Pages& pages) {
        reader.Add("r.pdf", pages);
        tel.File("r.pdf");
        EXPECT_TRUE(tel.IsOpen());
        EXPECT_EQ(tel.DocType() < 0, tel.ArchTipoDoc() < 0) << "both codes set or both -1";
        return tel.DocType();
    }
    long Type(const std::vector<std::string>& firstPage) { return Type(Pages{firstPage}); }

    test::FakeReader reader;
    bvTel tel{reader};
};

TEST_F(Classify, TransmissionAgainstQuestionnaire) {
    EXPECT_EQ(Type({AG, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE"}), 130);
    EXPECT_EQ(tel.ArchTipoDoc(), 131);
    EXPECT_EQ(Type({SE, "Attestazione di avvenuta trasmissione"}), 130);
    EXPECT_EQ(Type({SD, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE"}), -1);
    EXPECT_EQ(Type({AG, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE",
                    "SERVIZIO TELEMATICO DI PRESENTAZIONE DEI QUESTIONARI"}),
              148);
}

TEST_F(Classify, PaymentOutcomeAgainstRentPayments) {
    const std::string outcome = "RICHIESTA DI PAGAMENTO TELEMATICO - ESITO DEL VERSAMENTO";
    EXPECT_EQ(Type({AG, outcome}), 132);
    EXPECT_EQ(Type({AG, outcome, "Contratto registrato in data 01/02/2010"}), 180);
    EXPECT_EQ(
        Type({AG, outcome, "IMPOSTE SUCCESSIVE ALLA REGISTRAZIONE", "DI CONTRATTI DI LOCAZIONE"}),
        182);
    // The later-taxes phrase only counts across a line break.
    EXPECT_EQ(
        Type({AG, outcome, "IMPOSTE SUCCESSIVE ALLA REGISTRAZIONE DI CONTRATTI DI LOCAZIONE"}),
        132);
}

TEST_F(Classify, UnicoKindsAndBothApostrophes) {
    const std::string model = "MODELLO DI DICHIARAZIONE UNICO 2010 ";
    EXPECT_EQ(Type({SD, model + "PERSONE FISICHE"}), 140);
    EXPECT_EQ(Type({SE, model + "SOCIETA’ DI PERSONE"}), 142);
    EXPECT_EQ(Type({SE, model + "SOCIETA' DI PERSONE"}), 142);
    EXPECT_EQ(Type({SD, model + "Società di capitali"}), -1) << "accented A is not an apostrophe";
    EXPECT_EQ(Type({SD, model + "SOCIETA' DI CAPITALI"}), 144);
    EXPECT_EQ(Type({SD, model + "ENTI NON COMMERCIALI"}), 146);
    EXPECT_EQ(Type({AG, model + "PERSONE FISICHE"}), -1);
}

TEST_F(Classify, ModelPhraseAfterTheModelIsSearchedSixCharactersOn) {
    EXPECT_EQ(Type({SE, "MODELLO DI DICHIARAZIONE 770/2010 ORDINARIO"}), 136);
    // "ORDINARIO" one character after the model phrase is not seen.
    EXPECT_EQ(Type({SE, "MODELLO DI DICHIARAZIONE 770 ORDINARIO"}), -1);
    EXPECT_EQ(Type({SE, "MODELLO DI DICHIARAZIONE 770 ORDINARIO", "Quadri SEMPLIFICATO"}), 138);
    EXPECT_EQ(Type({SD, "MODELLO DI DICHIARAZIONE 770/2010 SEMPLIFICATO"}), 138);
    // Both words after the model: the ordinary row comes first.
    EXPECT_EQ(Type({SE, "MODELLO DI DICHIARAZIONE 770/2010 ORDINARIO", "Quadri SEMPLIFICATO"}),
              136);
}

TEST_F(Classify, IntraCommunityListsFormalSubstantiveAndIntrastat) {
    const std::vector<std::string> lists = {"ELENCHI RIEPILOGATIVI DELLE CESSIONI E DEGLI ACQUISTI",
                                            "INTRACOMUNITARI DI BENI E DI SERVIZI RESI E RICEVUTI"};
    auto page = [&](std::vector<std::string> extra, const std::string& header) {
        std::vector<std::string> lines = {header, lists[0], lists[1]};
        lines.insert(lines.end(), extra.begin(), extra.end());
        return lines;
    };
    EXPECT_EQ(Type(page({"Sono stati eseguiti i controlli formali previsti dalle specifiche"}, SD)),
              93);
    EXPECT_EQ(
        Type(page({"Sono stati eseguiti i controlli sostanziali previsti dalle specifiche"}, SE)),
        95);
    EXPECT_EQ(tel.ArchTipoDoc(), 96);
    // Both control sentences: the formal-checks row comes first.
    EXPECT_EQ(Type(page({"Sono stati eseguiti i controlli formali previsti dalle specifiche",
                         "Sono stati eseguiti i controlli sostanziali previsti dalle specifiche"},
                        SD)),
              93);
    EXPECT_EQ(Type({AG, "DICHIARAZIONI INTRASTAT - CODICE ASSEGNATO AL FILE: 12345"}), 95);
    EXPECT_EQ(Type({SD, "DICHIARAZIONI INTRASTAT - CODICE ASSEGNATO AL FILE: 12345"}), -1);
}

TEST_F(Classify, FingerprintWithAndWithoutMotivation) {
    const std::string phrase = "COMUNICAZIONE DELL'IMPRONTA DEI DOCUMENTI INFORMATICI";
    EXPECT_EQ(Type({AG, phrase, "La comunicazione e' stata acquisita"}), 82);
    EXPECT_EQ(Type({AG, phrase, "La comunicazione e' stata scartata con la seguente motivazione:"}),
              83);
}

TEST_F(Classify, The730Layouts) {
    EXPECT_EQ(Type({SD, "MODELLO DI DICHIARAZIONE 730/2011"}), 186);
    EXPECT_FALSE(tel.Is730Alt());
    EXPECT_EQ(tel.Year730(), -1);

    const std::vector<std::string> alt = {SE, "MODELLO DI DICHIARAZIONE",
                                          "COMUNICAZIONE DI AVVENUTO RICEVIMENTO PRODOTTA IL",
                                          "730 2011 INTEGRATIVO"};
    EXPECT_EQ(Type(alt), 186);
    EXPECT_TRUE(tel.Is730Alt());
    EXPECT_EQ(tel.Year730(), 2011);

    EXPECT_EQ(Type({SE, "MODELLO DI DICHIARAZIONE",
                    "COMUNICAZIONE DI AVVENUTO RICEVIMENTO PRODOTTA IL", "730 CONGIUNTO"}),
              186);
    EXPECT_TRUE(tel.Is730Alt());
    EXPECT_EQ(tel.Year730(), -1);

    EXPECT_EQ(Type({SE, "MODELLO DI DICHIARAZIONE",
                    "COMUNICAZIONE DI AVVENUTO RICEVIMENTO PRODOTTA IL", "770 2011"}),
              -1);
    EXPECT_EQ(Type({AG, "MODELLO DI DICHIARAZIONE 730/2011"}), -1) << "needs H-SD or H-SE";
    // The flags of one file never leak into the next.
    Type(alt);
    EXPECT_EQ(Type({AG, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE"}), 130);
    EXPECT_FALSE(tel.Is730Alt());
    EXPECT_EQ(tel.Year730(), -1);
}

TEST_F(Classify, IntentDeclarationVariants) {
    const std::string received =
        "COMUNICAZIONE DEI DATI CONTENUTI NELLE DICHIARAZIONI DI INTENTO RICEVUTE";
    const std::string single = "COMUNICAZIONE DI AVVENUTO RICEVIMENTO DICHIARAZIONE D'INTENTO";
    EXPECT_EQ(Type({SD, received}), 156);
    EXPECT_EQ(tel.IntentVariant(), 0);
    EXPECT_EQ(Type({AG, single}), 156);
    EXPECT_EQ(tel.IntentVariant(), 1);
    EXPECT_EQ(Type({AG, received}), -1);
    EXPECT_EQ(Type({AG, received, single}), 156);
    EXPECT_EQ(tel.IntentVariant(), 1);
}

TEST_F(Classify, RegularityNotices) {
    const std::vector<std::string> quadri = {"Elenco dei quadri della dichiarazione che",
                                             "risultano compilati: FR RN RV"};
    auto notice = [&](const std::string& outcome) {
        std::vector<std::string> lines = quadri;
        lines.push_back(outcome);
        return lines;
    };
    EXPECT_EQ(Type(notice("La dichiarazione risulta regolare.")), 80);
    EXPECT_TRUE(tel.OutcomeRegular());
    EXPECT_EQ(Type(notice("DICHIARAZIONE REGOLARE")), 80);
    EXPECT_TRUE(tel.OutcomeRegular());
    EXPECT_EQ(
        Type(notice("La dichiarazione presenta gli errori che sono evidenziati nelle pagine")), 80);
    EXPECT_FALSE(tel.OutcomeRegular());
    EXPECT_EQ(Type(notice("Esito non indicato")), -1);
}

TEST_F(Classify, InvoiceSubjectLine) {
    const std::string heading =
        "ATTESTAZIONE DI ELABORAZIONE DELLA FATTURA/NOTA PER COMPENSI AGLI INTERMEDIARI";
    EXPECT_EQ(Type({AG, heading, "PER LA TRASMISSIONE DEGLI F24 - I SEMESTRE 2010"}), 158);
    EXPECT_EQ(Type({AG, heading, "per la trasmissione delle dichiarazioni"}), 160);
    EXPECT_EQ(Type({heading, "PER LA TRASMISSIONE DEGLI F24"}), -1);
}

TEST_F(Classify, RentPaymentsByPhraseOrByTheDocumentTypeLine) {
    EXPECT_EQ(Type({AG, "Dai controlli eseguiti, tutte le richieste di pagamento sono state"}),
              178);
    EXPECT_EQ(Type(Pages{{AG, "Ricevuta"},
                         {"ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI",
                          "TIPO DI DOCUMENTO : Locazioni - pagamenti successivi"}}),
              178);
    EXPECT_EQ(Type(Pages{{AG, "Ricevuta"},
                         {"ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI",
                          "TIPO DI DOCUMENTO : Locazioni - registrazione"}}),
              -1);
}

TEST_F(Classify, VatStartAndChangeNeedTheirListPage) {
    const std::string list = "ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI";
    EXPECT_EQ(Type(Pages{{AG, "RICHIESTA DI INIZIO ATTIVITA’ IVA"},
                         {list, "Tipo: inizio attivita’ soggetti diversi dalle persone fisiche"}}),
              162);
    EXPECT_EQ(tel.ListPage(), 1);
    EXPECT_EQ(Type(Pages{{AG, "RICHIESTA DI INIZIO ATTIVITA' IVA"},
                         {list, "Tipo: INIZIO ATTIVITA' DITTA INDIVIDUALE"}}),
              174);
    EXPECT_EQ(Type(Pages{{SD, "RICHIESTA DI VARIAZIONE ATTIVITA' IVA"},
                         {list, "variazione dati soggetti diversi dalle persone fisiche"}}),
              164);
    EXPECT_EQ(Type(Pages{{SE, "RICHIESTA DI VARIAZIONE ATTIVITA’ IVA"},
                         {list, "variazione dati ditta individuale"}}),
              176);
    EXPECT_EQ(Type({AG, "RICHIESTA DI INIZIO ATTIVITA' IVA"}), -1) << "no list page";
    EXPECT_EQ(Type(Pages{{AG, "RICHIESTA DI INIZIO ATTIVITA' IVA"},
                         {list, "variazione dati ditta individuale"}}),
              -1);
}

TEST_F(Classify, ContributionBoxIsReadOnEveryPage) {
    std::vector<std::string> first(30, "");
    first[0] = "ATTESTAZIONE DELLA DENUNCIA CONTRIBUTIVA RELATIVA AL PERIODO";
    first[18] = std::string(22, ' ') + "03/2010";
    first[27] = "Periodo 03/2010 sotto il riquadro";
    std::vector<std::string> second(20, "");
    second[17] = std::string(22, ' ') + "04/2010 XY";
    EXPECT_EQ(Type(Pages{first, second}), 404);
    ASSERT_EQ(tel.PageBoxText().size(), 2u);
    EXPECT_EQ(tel.PageBoxText()[0], "03/2010\r\n");
    EXPECT_EQ(tel.PageBoxText()[1], "04/2010 XY\r\n");
    EXPECT_EQ(Type({AG, "ATTESTAZIONE DI AVVENUTA TRASMISSIONE"}), 130);
    EXPECT_TRUE(tel.PageBoxText().empty());
}

TEST_F(Classify, UnrecognisedAndEmptyFiles) {
    EXPECT_EQ(Type({"Fattura n. 12 del 01/02/2010"}), -1);
    EXPECT_EQ(tel.ArchTipoDoc(), -1);
    EXPECT_EQ(Type(Pages{{}}), -1);
    reader.Add("empty.pdf", Pages{});
    tel.File("empty.pdf");
    EXPECT_TRUE(tel.IsOpen());
    EXPECT_EQ(tel.PageCount(), 0);
    EXPECT_EQ(tel.DocType(), -1);
    EXPECT_TRUE(tel.PageText().empty());
}

} // namespace
} // namespace quorvin
