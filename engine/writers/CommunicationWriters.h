#pragma once
// What the single writers of communications, requests and leases share.
#include "engine/writers/WriterSupport.h"

#include <string>
#include <vector>

namespace quorvin::writers {

// The progressive number as the list lookups take it: a number that matches no row when
// the receipt printed none (-1 would match any row).
long Progressive(const std::string& sendNumber);

// A protocol value "protocol - number" into PaymentProtocol and SendNumber, both trimmed.
// Strict: a value without the separator is a run-time error (the writer fails), as for
// Entratel's acknowledgement sentence; otherwise the whole value is the protocol.
void SplitProtocolValue(TelInfo& info, const std::string& value, std::string_view separator,
                        bool strict);

// The document's row in the list of documents, by its progressive number and tax code:
// Company and Outcome from the row, both emptied when there is none.
void CompanyAndOutcomeFromList(FieldWriter& w);

// "TIPO DI DOCUMENTO : " of the list page into the description.
void DescriptionFromList(FieldWriter& w);

// Entratel's acknowledgement of one document, written the common way: Data_doc,
// Data_Ricevimento, Anno, Periodo, Protocollo_attribuito, Progressivo_Invio, Cod_Fiscale,
// Descrizione, Esito, File, Cod_Tipo_doc_F.
const std::vector<Field>& AcknowledgementFields();
// The fields of an intermediary's invoice and of the writers that write like it.
const std::vector<Field>& InvoiceFields();

} // namespace quorvin::writers
