#pragma once
// The receipt data record: 25 text slots, filled from the first page, by the page
// storing and by the field writers; each empty when not known.
#include <array>
#include <string>

namespace quorvin {

struct TelInfo {
    std::string SenderTaxCode;      // 0  Trasmesso_Cod
    std::string ReceiptDate;        // 1  Data_doc, Data_ricezione; its year gives Anno
    std::string ReceiptTime;        // 2  Ora_doc
    std::string Protocol;           // 3  Protocollo_Attribuito
    std::string SentFile;           // 4  File
    std::string PaymentProtocol;    // 5  Protocollo_pag, Protocollo_utente
    std::string SendNumber;         // 6  Progressivo_Invio, Progressivo_pag
    std::string TaxCode;            // 7  Cod_Fiscale
    std::string VatNumber;          // 8
    std::string Company;            // 9  Ditta
    std::string ResponsibleName;    // 10 Resp_trasm_Nome
    std::string ResponsibleTaxCode; // 11 Resp_trasm_Cod
    std::string SenderName;         // 12 Trasmesso_Nome
    std::string SenderCode;         // 13 Trasmesso_Cod
    std::string DocDate;            // 14 Data_doc, Data_ricezione
    std::string PaymentDate;        // 15 Data_vers, Data_Vers, Data_doc
    std::string Amount;             // 16 Importo
    std::string BankAbi;            // 17 Abi
    std::string BankCab;            // 18 Cab
    std::string BankAccount;        // 19 Cc
    std::string Outcome;            // 20 Esito
    std::string PeriodFrom;         // 21 Dal
    std::string PeriodTo;           // 22 Al
    std::string Period;             // 23 Periodo
    std::string Year;               // 24 Anno

    static constexpr size_t kSlots = 25;
    // Slot k (0-24) in the order above.
    std::string& Slot(size_t k);
    void Clear() { *this = TelInfo{}; }
};

inline std::string& TelInfo::Slot(size_t k) {
    std::array<std::string*, kSlots> all = {
        &SenderTaxCode, &ReceiptDate,     &ReceiptTime,     &Protocol,
        &SentFile,      &PaymentProtocol, &SendNumber,      &TaxCode,
        &VatNumber,     &Company,         &ResponsibleName, &ResponsibleTaxCode,
        &SenderName,    &SenderCode,      &DocDate,         &PaymentDate,
        &Amount,        &BankAbi,         &BankCab,         &BankAccount,
        &Outcome,       &PeriodFrom,      &PeriodTo,        &Period,
        &Year};
    return *all.at(k);
}

} // namespace quorvin
