// Summary writers over Entratel's common acknowledgement ("... ha acquisito con
// protocollo ... il file ... contenente N documenti"): communications, requests,
// multi-purpose communications, energy requalification works.
#include "engine/writers/SummaryWriters.h"

#include <algorithm>
#include <iterator>

namespace quorvin::writers {

namespace {

const Step kTime = {&TelInfo::ReceiptTime, {{" alle ore ", Chars(5)}, {"alle ore ", Chars(5)}}};
const Step kProtocol = {
    &TelInfo::Protocol,
    {{"ha acquisito con protocollo\r\n", Set(" ")}, {"ha acquisito con protocollo ", kEOL}}};
const Step kSenderCode = {&TelInfo::SenderCode, {{"codice fiscale : ", kWS, kTaxCode}}};
const Step kAcquired = {&Work::acquired, {Summary("DOCUMENTI ACQUISITI : ", kEOL)}};
const Step kRejected = {&Work::rejected, {Summary("DOCUMENTI SCARTATI : ", kEOL)}};
const Step kDescription = {&Work::description, {Summary("TIPO DI DOCUMENTO : ", kEOL)}};

// clang-format off
const std::vector<Step> kComunicazioneReads = {
    kTime,
    kProtocol,
    {&TelInfo::SentFile,   {{"il file ", kWS}}},
    {&TelInfo::SenderName, {{"cognome e nome : ", kEOL}, {"denominazione : ", kEOL}}},
    kSenderCode,
    {&TelInfo::DocDate,    {{"Li, ", kWS, kDate}}},
    {&Work::total,         {{"contenente ", kWS, kNumeric}}},
    kAcquired,
    kRejected,
    kDescription,
};

const std::vector<Step> kRichiestaReads = {
    kTime,
    kProtocol,
    {&TelInfo::SentFile,   {{"il file ", kEOL}}},
    {&TelInfo::SenderName, {{"denominazione : ", kEOL}}},
    kSenderCode,
    {&TelInfo::DocDate,    {{"Li, ", Set(" "), kDate}}},
    {&Work::total,         {{"contenente ", Set(" "), kNumeric}}},
    kAcquired,
    kRejected,
    kDescription,
};

const std::vector<Step> kComPoliReads = {
    {&TelInfo::ReceiptTime, {{" alle ore ", Chars(5)}}},
    {&TelInfo::Protocol,    {{" con protocollo ", kEOL}}},
    {&TelInfo::SentFile,    {{"il file ", kEOL}}},
    {&TelInfo::DocDate,     {{"Li, ", Set(" "), kDate}}},
    {&TelInfo::SenderCode,  {{"Codice fiscale : ", Set(" "), kTaxCode, "Il file e' stato trasmesso da:"}}},
    {&Work::total,          {{"La fornitura contiene ", Set(" "), kNumeric}}},
    {&Work::acquired,       {{"- ", Lit(" accolt"), kNumeric, "La fornitura contiene "}}},
    {&Work::rejected,       {{"- ", Lit(" scartat"), kNumeric, "accolt"}}},
};

// The description of these two is fixed; the others take the list's document type.
struct FixedDescription {
    long docType;
    const char* description;
};
constexpr FixedDescription kComPoliDescriptions[] = {
    {316, "Comunicazione polivalente Black List"},
    {318, "Comunicazione polivalente San Marino"},
};

const std::vector<Step> kRiqEnergReads = {
    kTime,
    kProtocol,
    {&TelInfo::SentFile,   {{"il file ", kWS}}},
    {&TelInfo::SenderName, {{"denominazione : ", kEOL}}},
    kSenderCode,
    {&TelInfo::DocDate,    {{"Li, ", kWS, kDate}}},
    {&Work::total,         {{"contenente ", kWS, kNumeric}}},
    {&Work::acquired,      {{"accolte: ", kEOL, kNumeric}}},
    {&Work::rejected,      {{"scartate: ", kEOL, kNumeric}}},
    kDescription,
};
// clang-format on

bool CommonWrite(FieldWriter& w, bool withSender = true) {
    SettleTotal(w);
    bool ok = w.Write(AcknowledgementFields(&TelInfo::DocDate, &TelInfo::ReceiptDate));
    ok = w.Write(CounterFields()) && ok;
    return withSender ? w.Write(SenderFields()) && ok : ok;
}

} // namespace

bool ComunicazioneRiep(FieldWriter& w) {
    w.Run(kComunicazioneReads);
    return CommonWrite(w);
}

bool RichiestaRiep(FieldWriter& w) {
    w.Run(kRichiestaReads);
    return CommonWrite(w);
}

bool RiqEnergRiep(FieldWriter& w) {
    w.Run(kRiqEnergReads);
    return CommonWrite(w);
}

bool ComPoliRiep(FieldWriter& w) {
    w.Run(kComPoliReads);
    const auto* fixed =
        std::find_if(std::begin(kComPoliDescriptions), std::end(kComPoliDescriptions),
                     [&](const auto& row) { return row.docType == w.Tel().DocType(); });
    if (fixed != std::end(kComPoliDescriptions)) {
        w.work.description = fixed->description;
    } else {
        w.Run(kDescription);
    }
    return CommonWrite(w, false);
}

} // namespace quorvin::writers
