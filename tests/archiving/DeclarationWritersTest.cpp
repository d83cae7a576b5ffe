// The declaration single writers on one page of each receipt layout: the name and year
// of every kind of declaration, reading without writing, and the supplementary mark.
#include "archiving/WritersTestSupport.h"

namespace quorvin::test {
namespace {

struct NameYearRow {
    std::string templ;
    size_t page;
    std::string find, with; // a text changed on every page first (another wording)
    // What the page gives: TelInfo after the reading.
    std::string company, year, taxCode, period, from, to;
};

// clang-format off
const std::vector<NameYearRow> kNameYearRows = {
    {"r46_intrastat_controlli_formali.txt", 1, "", "",
     "L'ANGOLO DEL CAFFE' S.R.L.", "2010", "", "2010/3", "01/03/2010", "31/03/2010"},
    {"r47_intrastat_codice_file.txt", 0, "", "",
     "L'ANGOLO DEL CAFFE' S.R.L.", "2010", "", "2010 Trim. 2", "01/04/2010", "30/06/2010"},
    {"r47_intrastat_codice_file.txt", 0, "TRIMESTRALE", "MENSILE",
     "L'ANGOLO DEL CAFFE' S.R.L.", "2010", "", "2010/2", "01/02/2010", "28/02/2010"},
    {"r03_comunicazione_annuale_dati_iva.txt", 1, "", "",
     "L'ANGOLO DEL CAFFE' S.R.L.", "2010", "09876543217", "", "01/01/2010", "31/12/2010"},
    {"r09_770_ordinario.txt", 2, "", "",
     "L'ANGOLO DEL CAFFE' S.R.L.", "2010", "09876543217", "01/01/2009 - 31/12/2009",
     "01/01/2010", "31/12/2010"},
    {"r10_770_semplificato.txt", 1, "", "",
     "OFFICINA MECCANICA COLOMBO S.R.L.", "2010", "10243658795", "01/01/2009 - 31/12/2009",
     "01/01/2010", "31/12/2010"},
    {"r13_unico_persone_fisiche.txt", 2, "", "",
     "FERRARI GIULIA", "2010", "FRRGLI85E50A944Z", "01/01/2009 - 31/12/2009",
     "01/01/2010", "31/12/2010"},
    {"r14_unico_societa_persone.txt", 1, "", "",
     "FERRAMENTA \"IL CHIODO\" S.N.C. DI GALLO ANTONIO & C.", "2010", "02456789011",
     "01/01/2009 - 31/12/2009", "01/01/2010", "31/12/2010"},
    {"r14_unico_societa_persone_apice.txt", 1, "", "",
     "EDILIZIA CONTI S.A.S. DI CONTI LUIGI & C.", "2010", "05678912345",
     "01/01/2009 - 31/12/2009", "01/01/2010", "31/12/2010"},
    {"r14_unico_societa_persone.txt", 1, "DATI DELLA SOCIETA’", "SOCIETA' O ASSOCIAZIONE",
     "FERRAMENTA \"IL CHIODO\" S.N.C. DI GALLO ANTONIO & C.", "2010", "02456789011",
     "01/01/2009 - 31/12/2009", "01/01/2010", "31/12/2010"},
    {"r15_unico_societa_capitali.txt", 1, "", "",
     "L'ANGOLO DEL CAFFE' S.R.L.", "2010", "09876543217", "01/01/2009 - 31/12/2009",
     "01/01/2010", "31/12/2010"},
    {"r15_unico_societa_capitali_apice.txt", 1, "DATI DELLA SOCIETA' O ENTE", "SOCIETA' O ENTE",
     "TRASPORTI BRIANZA S.P.A.", "2010", "03124578968", "01/01/2009 - 31/12/2009",
     "01/01/2010", "31/12/2010"},
    {"r16_unico_enti_non_commerciali.txt", 1, "", "",
     "ASSOCIAZIONE SPORTIVA DILETTANTISTICA VIRTUS", "2010", "91234567807",
     "01/01/2009 - 31/12/2009", "01/01/2010", "31/12/2010"},
    {"r18_dichiarazione_iva.txt", 1, "", "",
     "L'ANGOLO DEL CAFFE' S.R.L.", "2011", "09876543217", "01/01/2010 - 31/12/2010",
     "01/01/2011", "31/12/2011"},
    {"r21_regime_trasparenza.txt", 1, "", "",
     "IMMOBILIARE LAGO MAGGIORE S.R.L.", "2010", "04567891231", "01/01/2010 - 31/12/2012",
     "01/01/2010", "31/12/2010"},
    {"r19_intento_comunicazione_dati.txt", 1, "", "",
     "TRASPORTI BRIANZA S.P.A.", "2011", "03124578968", "", "01/01/2011", "31/12/2011"},
    {"r19_intento_ricevimento.txt", 2, "", "",
     "", "2011", "GLLNTN66T07A662S", "", "", ""},
    {"r37_dichiarazione_irap.txt", 1, "", "",
     "TRASPORTI BRIANZA S.P.A.", "2010", "03124578968", "01/01/2009 - 31/12/2009",
     "01/01/2010", "31/12/2010"},
    {"r11_730.txt", 2, "", "",
     "MARINO ELENA", "2010", "MRNLNE82L58D612H", "01/01/2010 - 31/12/2010",
     "01/01/2010", "31/12/2010"},
    {"r31_consolidato_nazionale_mondiale.txt", 1, "", "",
     "TRASPORTI BRIANZA S.P.A.", "2010", "03124578968", "01/01/2009 - 31/12/2009",
     "01/01/2010", "31/12/2010"},
    {"r17_certificazione_unica_dichiarazione.txt", 1, "", "",
     "L'ANGOLO DEL CAFFE' S.R.L.", "2015", "09876543217", "", "01/01/2015", "31/12/2015"},
    // Without an employer, the employee's name.
    {"r17_certificazione_unica.txt", 1, "AL DATORE DI LAVORO,", "AL SOSTITUTO,",
     "ROSSI MARIO", "2015", "03124578968", "", "01/01/2015", "31/12/2015"},
};
// clang-format on

class DeclarationWritersTest : public WritersTest {
protected:
    // The receipt's pages, its first-page receipt date, a new single record to fill.
    void LoadPage(const NameYearRow& row) {
        FakeReader::Pages pages = TemplatePages(row.templ);
        if (!row.find.empty()) {
            pages = Replaced(pages, row.find, row.with);
        }
        Load(pages, kStdSingle);
        m_tel.Info().ReceiptDate = "30/09/2010";
    }
    bool Write(const std::string& text, bool write, bool supplementary) {
        return m_tel.Is730Alt() ? m_tel.WriteFields730FieldsSing(text, write, supplementary)
                                : m_tel.WriteFieldsDichiarazioniSing(text, write, supplementary);
    }
};

TEST_F(DeclarationWritersTest, EachKindReadsItsNameYearAndPeriod) {
    for (const auto& row : kNameYearRows) {
        SCOPED_TRACE(row.templ + " " + row.find);
        LoadPage(row);
        const std::string& text = m_tel.PageText().at(row.page);
        ASSERT_TRUE(Write(text, false, false));
        const TelInfo& info = m_tel.Info();
        EXPECT_EQ(info.Company, row.company);
        EXPECT_EQ(info.Year, row.year);
        EXPECT_EQ(info.TaxCode, row.taxCode);
        EXPECT_EQ(info.Period, row.period);
        EXPECT_EQ(info.PeriodFrom, row.from);
        EXPECT_EQ(info.PeriodTo, row.to);
        // Reading only: the record is left as it was.
        for (const char* field : {"Anno", "Cod_Fiscale", "Descrizione", "Esito", "Dal"}) {
            EXPECT_TRUE(IsNull(field)) << field;
        }
        EXPECT_TRUE(m_log.empty());
    }
}

TEST_F(DeclarationWritersTest, WritingFillsTheRecordAndMarksSupplementaryDeclarations) {
    struct Written {
        std::string templ;
        size_t page;
        bool supplementary;
        std::vector<std::pair<std::string, std::string>> fields;
    };
    // clang-format off
    const std::vector<Written> cases = {
        {"r13_unico_persone_fisiche.txt", 3, false,
         {{"Cod_Tipo_doc_F", "141"}, {"Anno", "2010"}, {"Data_doc", "30/09/2010"},
          {"Protocollo_attribuito", ""}, {"Progressivo_Invio", "000003"},
          {"Cod_Fiscale", "RSSFNC90P63G273X"}, {"Periodo", "01/01/2009 - 31/12/2009"},
          {"Dal", "01/01/2009"}, {"Al", "31/12/2009"}, {"Esito", "SCARTATO"},
          {"Descrizione", "DICHIARAZIONE UNICO 2010 PERSONE FISICHE"}}},
        {"r13_unico_persone_fisiche.txt", 1, true,
         {{"Progressivo_Invio", "000001"}, {"Esito", "ACQUISITO"},
          {"Descrizione", "DICHIARAZIONE UNICO 2010 PERSONE FISICHE integrativa"}}},
        {"r11_730_alternativo.txt", 1, true,
         {{"Cod_Tipo_doc_F", "187"}, {"Anno", "2010"}, {"Progressivo_Invio", "000002"},
          {"Cod_Fiscale", "VRDNNA75C45L219T"}, {"Esito", "acquisito"},
          {"Periodo", "730-3 SI 730-4 SI 730-4 integrativo NO"},
          {"Dal", "01/01/2010"}, {"Al", "31/12/2010"}, {"Descrizione", "730/11 integrativa"}}},
        {"r47_intrastat_codice_file.txt", 0, false,
         {{"Cod_Tipo_doc_F", "96"}, {"File", "INTRA_0710.rel"}, {"Progressivo_Invio", "A1"},
          {"Esito", "ACQUISITO"}, {"Periodo", "2010 Trim. 2"}, {"Dal", "01/04/2010"},
          {"Al", "30/06/2010"}, {"Descrizione", "Dichiarazioni Intrastat"}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.templ + " page " + std::to_string(c.page));
        LoadPage({c.templ, c.page, "", "", "", "", "", "", "", ""});
        ASSERT_TRUE(Write(m_tel.PageText().at(c.page), true, c.supplementary));
        for (const auto& [field, value] : c.fields) {
            EXPECT_EQ(Field(field), value) << field;
        }
    }
}

TEST_F(DeclarationWritersTest, ReceiptDateThatIsNoDateFailsTheWriter) {
    LoadPage({"r13_unico_persone_fisiche.txt", 1, "", "", "", "", "", "", "", ""});
    m_tel.Info().ReceiptDate = "30 settembre";
    EXPECT_FALSE(m_tel.WriteFieldsDichiarazioniSing(m_tel.PageText().at(1), true, false));
    ASSERT_EQ(m_log.size(), 1u);
    EXPECT_EQ(m_log[0].file, "Estrazione dati");
    EXPECT_EQ(m_log[0].func, "WriteFieldsDichiarazioniSing()");
}

} // namespace
} // namespace quorvin::test
