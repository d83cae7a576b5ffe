#include "archive/DorvaneJob.h"

#include "archive/DorvaneConnection.h"

#include <algorithm>

namespace quorvin {

void DorvaneJob::Option(size_t index, bool value) {
    if (index < m_options.size()) {
        m_options[index] = value;
    }
}

bool DorvaneJob::Option(size_t index) const {
    return index < m_options.size() && m_options[index];
}

void DorvaneJob::UseTransaction(std::shared_ptr<DorvaneConnection> connection) {
    m_transaction = std::move(connection);
}

bool DorvaneJob::Run() {
    m_lastPercent = -1;
    if (!OnJob) {
        return false;
    }
    if (m_transaction && !m_transaction->Begin()) {
        return false;
    }
    bool success = false;
    try {
        OnJob(success);
    } catch (...) {
        success = false;
    }
    if (m_transaction) {
        if (success) {
            success = m_transaction->Commit();
        } else {
            m_transaction->Rollback();
        }
    }
    return success;
}

void DorvaneJob::Progress(long index) {
    if (OnStatus && m_total > 0) {
        const long percent = std::clamp(index * 100 / m_total, 0L, 100L);
        if (percent != m_lastPercent) {
            m_lastPercent = percent;
            OnStatus(percent);
        }
    }
    if (ProgressHook) {
        ProgressHook();
    }
}

} // namespace quorvin
