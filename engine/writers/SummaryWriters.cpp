// Which summary writer serves which receipt type, the fields every acknowledgement
// shares, and the writer of fields prepared by the page storing.
#include "engine/writers/SummaryWriters.h"

#include <algorithm>
#include <array>

namespace quorvin {

namespace writers {

namespace {

struct SummaryRow {
    std::vector<long> docTypes;
    const char* name;
    SummaryBody body;
};

// clang-format off
const std::array<SummaryRow, 20> kSummaryWriters = {{
    {{130},                                    "WriteFieldsF24Riep",            F24Riep},
    {{132},                                    "WriteFieldsF24EsitoRiep",       F24EsitoRiep},
    {{186},                                    "WriteFields730Riep",            Riep730},
    {{127, 289, 293},                          "WriteFieldsComunicazioneRiep",  ComunicazioneRiep},
    {{93, 95, 134, 136, 138, 140, 142, 144, 146, 150, 154, 156, 168, 188, 381},
                                               "WriteFieldsDichiarazioniRiep",  DichiarazioniRiep},
    {{100, 120, 158, 160, 190},                "WriteFieldsCompensiRiep",       CompensiRiep},
    {{162, 164, 166, 174, 176, 192},           "WriteFieldsIvaAttivita",        IvaAttivita},
    {{170},                                    "WriteFieldsElencoCFRiep",       ElencoCFRiep},
    {{152, 196},                               "WriteFieldsAnnullamentoRiep",   AnnullamentoRiep},
    {{148},                                    "WriteFieldsStudiSettRiep",      StudiSettRiep},
    {{172, 178},                               "WriteFieldsLocazioneContrRiep", LocazioneContrRiep},
    {{180, 182},                               "WriteFieldsLocazioneEsitoRiep", LocazioneEsitoRiep},
    {{184},                                    "WriteFieldsIvaTrRimbRiep",      IvaTrRimbRiep},
    {{194},                                    "WriteFieldsAccCredImpRiep",     AccCredImpRiep},
    {{78, 122, 198},                           "WriteFieldsRichiestaRiep",      RichiestaRiep},
    {{124},                                    "WriteFieldsEMENSRiep",          EMENSRiep},
    {{125},                                    "WriteFieldsENPALSRiep",         ENPALSRiep},
    {{126},                                    "WriteFieldsINAILAutoliqRiep",   INAILAutoliqRiep},
    {{316, 318, 350, 386, 388},                "WriteFieldsComPoliRiep",        ComPoliRiep},
    {{286},                                    "WriteFieldsRiqEnergRiep",       RiqEnergRiep},
}};
// clang-format on

const SummaryRow* SummaryWriterFor(long docType) {
    for (const auto& row : kSummaryWriters) {
        if (std::find(row.docTypes.begin(), row.docTypes.end(), docType) != row.docTypes.end()) {
            return &row;
        }
    }
    return nullptr;
}

} // namespace

std::vector<Field> AcknowledgementFields(InfoMember docDate, InfoMember receivedDate) {
    return {
        {"Data_doc", From(docDate)},
        {"Ora_doc", From(&TelInfo::ReceiptTime)},
        {"Protocollo_Attribuito", From(&TelInfo::Protocol)},
        {"File", From(&TelInfo::SentFile)},
        {"Cod_Tipo_doc_F", kDocTypeCode},
        {"Data_ricezione", From(receivedDate)},
        {"Anno", YearOf(&TelInfo::ReceiptDate)},
        {"Descrizione", From(&Work::description)},
    };
}

const std::vector<Field>& CounterFields() {
    static const std::vector<Field> kFields = {
        {"Num_trasmissioni", From(&Work::total), kIfNonEmpty},
        {"Num_accolte", From(&Work::acquired), kIfNonEmpty},
        {"Num_scartate", From(&Work::rejected), kIfNonEmpty},
    };
    return kFields;
}

const std::vector<Field>& SenderFields() {
    static const std::vector<Field> kFields = {
        {"Trasmesso_Cod", From(&TelInfo::SenderCode), kIfNonEmpty},
        {"Trasmesso_Nome", From(&TelInfo::SenderName), kIfNonEmpty},
    };
    return kFields;
}

void SettleTotal(FieldWriter& w) {
    if (const auto total = Count(w.work.total)) {
        w.Tel().DocumentCount(*total);
        return;
    }
    const long sum = SumOfCounts({&w.work.acquired, &w.work.rejected});
    w.Tel().DocumentCount(sum);
    w.work.total = std::to_string(sum);
}

} // namespace writers

bool bvTel::WriteSummaryFields(const std::string& text) {
    const writers::SummaryRow* row = writers::SummaryWriterFor(m_nDocType);
    if (row == nullptr) {
        return false;
    }
    return writers::RunWriter(*this, row->name, [&] {
        writers::FieldWriter w(*this, text);
        return row->body(w);
    });
}

bool bvTel::WriteFieldsModelli(const std::string& text) {
    using namespace writers;
    static const std::vector<Field> kFields = {
        {"Data_doc", From(&TelInfo::PaymentDate)}, {"Anno", From(&TelInfo::Year)},
        {"Ditta", From(&TelInfo::Company)},        {"Cod_Fiscale", From(&TelInfo::TaxCode)},
        {"Cod_Tipo_doc_F", kArchTipoDocCode},      {"Dal", From(&TelInfo::PeriodFrom)},
        {"Al", From(&TelInfo::PeriodTo)},
    };
    return RunWriter(*this, "WriteFieldsModelli", [&] {
        FieldWriter w(*this, text);
        const bool ok = w.Write(kFields);
        return w.Set("Periodo", m_TelInfo.PeriodFrom + " - " + m_TelInfo.PeriodTo) && ok;
    });
}

} // namespace quorvin
