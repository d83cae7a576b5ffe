// INAIL wages declarations: one single record per wages sheet, each filed in the archive
// of its own year.
#include "archive/Convert.h"
#include "archive/DorvaneFiles.h"
#include "archive/Utf8.h"
#include "engine/RuntimeError.h"
#include "engine/archive/StorePages.h"
#include "engine/bvTel.h"

#include <exception>
#include <string>

namespace quorvin {

namespace {

constexpr const char* kRoutine = "StorePagesINAILAutoliq()";

using OpenStep = SinglePageStore::OpenStep;

struct OpenFailure {
    OpenStep step;
    const char* message;
};

// clang-format off
const OpenFailure kOpenFailures[] = {
    {OpenStep::Archive,     "Errore apertura archivio ricevute singole."},
    {OpenStep::Description, "Errore lettura indice descrittivo."},
    {OpenStep::Defaults,    "Errore nel controllo dei dizionari."},
};
// clang-format on

const char* OpenFailureMessage(OpenStep step) {
    for (const auto& failure : kOpenFailures) {
        if (failure.step == step) {
            return failure.message;
        }
    }
    return kOpenFailures[0].message;
}

} // namespace

bool bvTel::StorePagesINAILAutoliq(long summaryRecord) {
    long page = 1;
    return RunPageRoutine(*this, kRoutine, page, [&]() -> bool {
        SinglePageStore store(*this, kRoutine, summaryRecord);
        const std::string pdfName = DorvaneFiles::FileName(m_sFile, true);
        const auto writer = [this](const std::string& text) {
            return WriteFieldsINAILAutoliqSing(text);
        };
        const long lastPage = static_cast<long>(m_asPageText.size()) - 1;
        bool ok = false;
        for (; page <= m_nDocCount && page <= lastPage; ++page) {
            const std::string& text = m_asPageText[static_cast<size_t>(page)];
            // Each sheet goes to the archive of the year that opens its data line.
            const std::string year =
                GetLabelValue(text, "Sede Inail\r\n", " \r\n", "", kAnyText, false, false);
            m_nYear730 = static_cast<long>(ParseInteger(Trim(year)).value_or(-1));
            ok = SelectArchive(m_nArchTipoDoc, m_sSingleArchive, m_nYear730) &&
                 CheckPermissions(m_sSingleArchive) && store.Open();
            if (!ok) {
                TelLogEvent(1, pdfName, kRoutine, OpenFailureMessage(store.FailedStep()));
            } else {
                const long index = page;
                const auto label = [this, index] {
                    return m_TelInfo.SendNumber.empty() ? "singolo n. " + std::to_string(index)
                                                        : "progressivo " + m_TelInfo.SendNumber;
                };
                ok = store.Store(page, page, text, label, writer);
            }
            if (store.Progress(page)) {
                return ok;
            }
        }
        return ok;
    });
}

} // namespace quorvin
