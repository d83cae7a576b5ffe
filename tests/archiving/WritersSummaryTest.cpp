// The summary writers over realistic first pages, checked field by field on a real
// record of the summary archive.
#include "archiving/WritersTestSupport.h"

#include <gmock/gmock.h>

#include <set>

namespace quorvin::test {
namespace {

using ::testing::ElementsAre;

class SummaryWritersTest : public WritersTest {
protected:
    // The members the first-page reading fills before the job writes the summary.
    void FirstPage(const std::string& receiptDate, const std::string& protocol = "",
                   const std::string& time = "") {
        m_tel.Info().ReceiptDate = receiptDate;
        m_tel.Info().Protocol = protocol;
        m_tel.Info().ReceiptTime = time;
        m_tel.Info().SenderTaxCode = "BNCLCU70B15F205E";
    }
};

// Every receipt type with a summary writer, on its template: the writer succeeds, every
// field it names exists in the summary archive and accepts the value read.
TEST_F(SummaryWritersTest, EveryTemplateWithASummaryWriterIsWrittenWhole) {
    const std::set<long> noWriter = {-1, 80, 82, 83, 99, 404};
    const std::set<long> ivaAttivita = {162, 164, 166, 174, 176, 192};
    std::set<long> seen;
    for (const auto& name : TemplateNames()) {
        Load(TemplatePages(name));
        if (noWriter.count(m_tel.DocType()) != 0) {
            EXPECT_FALSE(WriteSummary()) << name;
            continue;
        }
        SCOPED_TRACE(name);
        seen.insert(m_tel.DocType());
        FirstPage("01/03/2010");
        EXPECT_TRUE(WriteSummary());
        EXPECT_THAT(m_log, ElementsAre());
        EXPECT_EQ(Field("Cod_Tipo_doc_F"), std::to_string(m_tel.DocType()));
        // The VAT-activity writer writes no year.
        if (ivaAttivita.count(m_tel.DocType()) == 0) {
            EXPECT_EQ(Field("Anno"), "2010");
        }
    }
    EXPECT_GE(seen.size(), 40u) << "the templates cover most summary types";
}

TEST_F(SummaryWritersTest, F24TransmissionFieldByField) {
    LoadTemplate("r01_f24_trasmissione.txt");
    FirstPage("16/06/2010");
    ASSERT_TRUE(WriteSummary());
    EXPECT_EQ(Field("Data_doc"), "16/06/2010");
    EXPECT_EQ(Field("Anno"), "2010");
    EXPECT_EQ(Field("Trasmesso_Cod"), "BNCLCU70B15F205E");
    EXPECT_EQ(Field("Ora_doc"), "10:42");
    EXPECT_EQ(Field("Protocollo_Attribuito"), "10061610424512345");
    EXPECT_EQ(Field("File"), "F24_20100616_01.rel");
    EXPECT_EQ(Field("Cod_Tipo_doc_F"), "130");
    EXPECT_EQ(Field("Descrizione"), "F24 - RICHIESTE DI PAGAMENTO TELEMATICO");
    EXPECT_EQ(Field("Num_Pagamenti"), "4");
    EXPECT_EQ(Field("Vers_positivo"), "2");
    EXPECT_EQ(Field("Vers_zero"), "1") << "the plain apostrophe, after 'importo versamento zero'";
    EXPECT_EQ(Field("Scartati"), "1");
    EXPECT_EQ(m_tel.DocumentCount(), 4);
    EXPECT_EQ(m_tel.Info().BankAbi, "03069");
    EXPECT_EQ(m_tel.Info().BankCab, "01600");
    EXPECT_EQ(m_tel.Info().BankAccount, "000012345678");
}

TEST_F(SummaryWritersTest, AMissingLabelLeavesItsFieldEmpty) {
    Load(Replaced(TemplatePages("r01_f24_trasmissione.txt"),
                  "al quale e' stato attribuito il numero di protocollo", "protocollo"));
    FirstPage("16/06/2010");
    EXPECT_TRUE(WriteSummary());
    EXPECT_TRUE(IsNull("Protocollo_Attribuito"));
    EXPECT_EQ(Field("File"), "F24_20100616_01.rel");
}

TEST_F(SummaryWritersTest, ALabelWhoseFirstValueFailsItsKindIsReadAgain) {
    Load(
        Replaced(TemplatePages("r01_f24_trasmissione.txt"), "Il file contiene la richiesta",
                 "Con addebito effettuato dalla banca: vedi sotto. Il file contiene la richiesta"));
    FirstPage("16/06/2010");
    ASSERT_TRUE(WriteSummary());
    EXPECT_EQ(Field("Vers_positivo"), "2");
}

TEST_F(SummaryWritersTest, AReceiptDateThatIsNoDateFailsTheWriter) {
    const std::pair<const char*, const char*> cases[] = {
        {"r01_f24_trasmissione.txt", "WriteFieldsF24Riep()"},
        {"r13_unico_persone_fisiche.txt", "WriteFieldsDichiarazioniRiep()"},
    };
    for (const auto& [name, writer] : cases) {
        SCOPED_TRACE(name);
        LoadTemplate(name);
        FirstPage("16 giugno");
        EXPECT_FALSE(WriteSummary());
        ASSERT_EQ(m_log.size(), 1u);
        EXPECT_EQ(m_log[0].priority, 1);
        EXPECT_EQ(m_log[0].file, "Estrazione dati");
        EXPECT_EQ(m_log[0].func, writer);
        EXPECT_THAT(m_log[0].msg, ::testing::StartsWith("13: "));
    }
}

TEST_F(SummaryWritersTest, F24OutcomeFieldByField) {
    for (const bool plain : {false, true}) {
        SCOPED_TRACE(plain ? "plain apostrophes" : "typographic apostrophes");
        auto pages = TemplatePages("r02_f24_esito.txt");
        Load(plain ? Replaced(pages, "’", "'") : pages);
        FirstPage("18/06/2010", "10061610424512345", "10:42");
        ASSERT_TRUE(WriteSummary());
        EXPECT_EQ(Field("Data_doc"), "18/06/2010");
        EXPECT_EQ(Field("Anno"), "2010");
        EXPECT_EQ(Field("Trasmesso_Cod"), "BNCLCU70B15F205E");
        EXPECT_EQ(Field("Ora_doc"), "10:42");
        EXPECT_EQ(Field("Protocollo_Attribuito"), "10061610424512345");
        EXPECT_EQ(Field("File"), "F24_20100616_01.rel") << "from the list page";
        EXPECT_EQ(Field("Cod_Tipo_doc_F"), "132");
        EXPECT_EQ(Field("Vers_positivo"), "2");
        EXPECT_EQ(Field("Vers_zero"), "1");
        EXPECT_EQ(Field("Scartati"), "1");
        EXPECT_EQ(Field("Attesa"), "0");
        EXPECT_EQ(Field("Annullati"), "0");
        EXPECT_EQ(Field("Num_Pagamenti"), "4");
        EXPECT_EQ(m_tel.DocumentCount(), 4);
    }
}

TEST_F(SummaryWritersTest, F24OutcomeWithoutCountersTakesTheListCounters) {
    auto pages = TemplatePages("r02_f24_esito.txt");
    std::vector<std::string> first;
    for (const auto& line : pages[0]) {
        if (line.find(" : ") == std::string::npos && line.find("ESEGUITI") == std::string::npos &&
            line.find("ADDEBITO:") == std::string::npos) {
            first.push_back(line);
        }
    }
    pages[0] = first;
    Load(pages);
    ASSERT_EQ(m_tel.DocType(), 132);
    FirstPage("18/06/2010");
    m_tel.Info().SentFile = "F24_ESITI.rel";
    ASSERT_TRUE(WriteSummary());
    EXPECT_EQ(Field("Num_Pagamenti"), "4");
    EXPECT_EQ(Field("Vers_positivo"), "3");
    EXPECT_EQ(Field("Scartati"), "1");
    EXPECT_TRUE(IsNull("Vers_zero"));
    EXPECT_EQ(Field("File"), "F24_ESITI.rel") << "a known file name is kept";
    EXPECT_EQ(m_tel.DocumentCount(), 4);
}

TEST_F(SummaryWritersTest, DeclarationFieldByField) {
    LoadTemplate("r13_unico_persone_fisiche.txt");
    FirstPage("30/09/2010");
    ASSERT_TRUE(WriteSummary());
    EXPECT_EQ(Field("Data_doc"), "30/09/2010");
    EXPECT_EQ(Field("Ora_doc"), "16:41");
    EXPECT_EQ(Field("Protocollo_Attribuito"), "10093016411234567");
    EXPECT_EQ(Field("File"), "UNICO10_PF_0001.rel");
    EXPECT_EQ(Field("Cod_Tipo_doc_F"), "140");
    EXPECT_EQ(Field("Data_ricezione"), "02/10/2010");
    EXPECT_EQ(Field("Anno"), "2010");
    EXPECT_EQ(Field("Descrizione"), "DICHIARAZIONE UNICO 2010 PERSONE FISICHE");
    EXPECT_EQ(Field("Num_trasmissioni"), "3");
    EXPECT_EQ(Field("Num_accolte"), "2");
    EXPECT_EQ(Field("Num_scartate"), "1");
    EXPECT_EQ(Field("Resp_trasm_Cod"), "BNCLCU70B15F205E");
    EXPECT_EQ(Field("Resp_trasm_Nome"), "BIANCHI LUCA");
    EXPECT_EQ(Field("Trasmesso_Cod"), "01234567897");
    EXPECT_EQ(Field("Trasmesso_Nome"), "STUDIO ASSOCIATO BIANCHI & VERDI");
    EXPECT_EQ(m_tel.DocumentCount(), 3);
}

TEST_F(SummaryWritersTest, DeclarationTotalsInEachWording) {
    const auto pages = TemplatePages("r13_unico_persone_fisiche.txt");
    struct Case {
        const char* what;
        const char* totalLine;
        const char* total;
    };
    const Case cases[] = {
        {"the supply sentence", "La fornitura contiene 5 dichiarazioni", "5"},
        {"no total: acquired + rejected", "Totale non indicato", "3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Load(Replaced(pages, "DICHIARAZIONI TOTALI 3", c.totalLine));
        FirstPage("30/09/2010");
        ASSERT_TRUE(WriteSummary());
        EXPECT_EQ(Field("Num_trasmissioni"), c.total);
        EXPECT_EQ(std::to_string(m_tel.DocumentCount()), c.total);
    }
}

TEST_F(SummaryWritersTest, LeaseWritersCountTheWordUnAsOne) {
    Load(Replaced(TemplatePages("r26_contratti_locazione.txt"), "contenente 2 contratti",
                  "contenente un contratto"));
    FirstPage("03/03/2010");
    ASSERT_TRUE(WriteSummary());
    EXPECT_EQ(Field("Num_Trasmissioni"), "1");
    EXPECT_EQ(m_tel.DocumentCount(), 1);
    EXPECT_EQ(Field("Ora_doc"), "11:20");
    EXPECT_EQ(Field("File"), "LOC_20100303_01.rel");
    EXPECT_EQ(Field("Num_accolte"), "2");
    EXPECT_EQ(Field("Num_scartate"), "0");

    LoadTemplate("r27_locazione_registrata_esito.txt"); // "... e contiene un" at a line end
    ASSERT_EQ(m_tel.DocType(), 180);
    FirstPage("05/03/2010");
    ASSERT_TRUE(WriteSummary());
    EXPECT_EQ(Field("Num_Trasmissioni"), "1");
    EXPECT_EQ(m_tel.DocumentCount(), 1);
    EXPECT_EQ(Field("Protocollo_Attribuito"), "10030311203456789");
    EXPECT_EQ(m_tel.Info().BankAccount, "000087654321");
}

TEST_F(SummaryWritersTest, AnnulmentOfAllRequestsCountsTheTotalAsAcquired) {
    // Only the acknowledgement page: no list page to fall back on.
    Load({TemplatePages("r25_annullamento_f24.txt").at(0)});
    ASSERT_EQ(m_tel.DocType(), 196);
    FirstPage("20/06/2010");
    ASSERT_TRUE(WriteSummary());
    EXPECT_EQ(Field("Num_trasmissioni"), "2");
    EXPECT_EQ(Field("Num_accolte"), "2");
    EXPECT_EQ(Field("Num_scartate"), "0");
    EXPECT_EQ(Field("Trasmesso_Nome"), "BIANCHI LUCA");
    EXPECT_EQ(Field("Trasmesso_Cod"), "BNCLCU70B15F205E");
    EXPECT_EQ(Field("Data_ricezione"), "20/06/2010");
    EXPECT_EQ(m_tel.DocumentCount(), 2);
}

TEST_F(SummaryWritersTest, EmensPeriodAndMonth) {
    LoadTemplate("r42_inps_emens.txt");
    FirstPage("01/03/2010", "4512378");
    ASSERT_TRUE(WriteSummary());
    EXPECT_EQ(m_tel.Info().Period, "MARZO 2010");
    EXPECT_EQ(Field("Protocollo_Attribuito"), "4512378");
    EXPECT_EQ(Field("Cod_Tipo_doc_F"), "124");
    EXPECT_EQ(Field("Anno"), "2010");
    EXPECT_EQ(Field("Dal"), "01/03/2010");
    EXPECT_EQ(Field("Al"), "31/03/2010");
    EXPECT_EQ(Field("Num_trasmissioni"), "2") << "one page per company";
}

TEST_F(SummaryWritersTest, CommonAcknowledgementOfMultiPurposeCommunications) {
    LoadTemplate("r52_comunicazioni_art21.txt");
    FirstPage("20/04/2012", "", "");
    ASSERT_TRUE(WriteSummary());
    EXPECT_EQ(Field("Ora_doc"), "18:30");
    EXPECT_EQ(Field("Protocollo_Attribuito"), "12042018301234567");
    EXPECT_EQ(Field("File"), "SPESOM_2011_0001.rel");
    EXPECT_EQ(Field("Data_doc"), "21/04/2012");
    EXPECT_EQ(Field("Data_ricezione"), "20/04/2012");
    EXPECT_EQ(Field("Descrizione"), "COMUNICAZIONE OPERAZIONI RILEVANTI AI FINI IVA");
    EXPECT_EQ(Field("Num_trasmissioni"), "3");
    EXPECT_EQ(Field("Num_accolte"), "2");
    EXPECT_EQ(Field("Num_scartate"), "1");
    EXPECT_TRUE(IsNull("Trasmesso_Cod")) << "this writer leaves the sender out";
    EXPECT_EQ(m_tel.DocumentCount(), 3);
}

TEST_F(SummaryWritersTest, PreparedModelFields) {
    Load({{"modello"}}, kStdSingle);
    TelInfo& info = m_tel.Info();
    info.PaymentDate = "16/06/2010";
    info.Year = "2009";
    info.Company = "ROSSI MARIO";
    info.TaxCode = "RSSMRA80A01H501U";
    info.PeriodFrom = "01/01/2009";
    info.PeriodTo = "31/12/2009";
    ASSERT_TRUE(m_tel.WriteFieldsModelli(""));
    EXPECT_EQ(Field("Data_doc"), "16/06/2010");
    EXPECT_EQ(Field("Anno"), "2009");
    EXPECT_EQ(Field("Ditta"), "ROSSI MARIO");
    EXPECT_EQ(Field("Cod_Fiscale"), "RSSMRA80A01H501U");
    EXPECT_EQ(Field("Dal"), "01/01/2009");
    EXPECT_EQ(Field("Al"), "31/12/2009");
    EXPECT_EQ(Field("Periodo"), "01/01/2009 - 31/12/2009");
}

} // namespace
} // namespace quorvin::test
