#pragma once
// The summary writers: one body per receipt family, chosen by DocType through the
// dispatch table of SummaryWriters.cpp, which runs the body under the writer's error
// handler with the writer's name.
#include "engine/writers/WriterSupport.h"

namespace quorvin::writers {

using SummaryBody = bool (*)(FieldWriter&);

bool F24Riep(FieldWriter& w);
bool F24EsitoRiep(FieldWriter& w);
bool Riep730(FieldWriter& w);
bool ComunicazioneRiep(FieldWriter& w);
bool DichiarazioniRiep(FieldWriter& w);
bool CompensiRiep(FieldWriter& w);
bool IvaAttivita(FieldWriter& w);
bool ElencoCFRiep(FieldWriter& w);
bool AnnullamentoRiep(FieldWriter& w);
bool StudiSettRiep(FieldWriter& w);
bool LocazioneContrRiep(FieldWriter& w);
bool LocazioneEsitoRiep(FieldWriter& w);
bool IvaTrRimbRiep(FieldWriter& w);
bool AccCredImpRiep(FieldWriter& w);
bool RichiestaRiep(FieldWriter& w);
bool EMENSRiep(FieldWriter& w);
bool ENPALSRiep(FieldWriter& w);
bool INAILAutoliqRiep(FieldWriter& w);
bool ComPoliRiep(FieldWriter& w);
bool RiqEnergRiep(FieldWriter& w);

// The common acknowledgement's first fields: Data_doc, Ora_doc, Protocollo_Attribuito,
// File, Cod_Tipo_doc_F, Data_ricezione, Anno, Descrizione. Most writers date the
// document with DocDate and the reception with ReceiptDate; some the other way round.
std::vector<Field> AcknowledgementFields(InfoMember docDate, InfoMember receivedDate);
// Then, each only when non-empty: the three counters, and the sender.
const std::vector<Field>& CounterFields();
const std::vector<Field>& SenderFields();

// A numeric total is the document count; otherwise the count is acquired + rejected
// (each when numeric) and that sum becomes the total written.
void SettleTotal(FieldWriter& w);

} // namespace quorvin::writers
