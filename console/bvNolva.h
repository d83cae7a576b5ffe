#pragma once
// The console reject processor: reads one reject file of the telematic console and marks
// the archived communication it names as rejected, with the reject text. It never prints:
// everything it does is reported through TelLogEvent.
#include <functional>
#include <string>
#include <vector>

namespace quorvin {

class DorvaneEnv;

class bvNolva {
public:
    using TelLogEventHandler =
        std::function<void(long nPriority, const std::string& sFile, const std::string& sFunc,
                           const std::string& sMsg)>;

    // The environment (signed in) must outlive the object.
    explicit bvNolva(DorvaneEnv& env);

    void ConnectTelLogEvent(TelLogEventHandler handler);

    const std::string& File() const { return m_sFile; }
    // Stores the path and reads the file whole; the text stays empty when it cannot be read.
    void File(const std::string& path);
    // The reject text, Windows-1252 turned into UTF-8 and normalised.
    const std::string& Text() const { return m_sText; }

    // Marks the communication named by the file name as rejected; true when the record was
    // saved.
    bool UpdateCom();

    // The normalisation of a reject text (already UTF-8).
    static std::string NormaliseText(const std::string& text);

private:
    void RaiseLog(const std::string& sFile, const std::string& sMsg) const;
    std::string UpdateRecord(const std::string& serial, long record, bool& ok);

    DorvaneEnv& m_env;
    std::vector<TelLogEventHandler> m_logHandlers;
    std::string m_sFile;
    std::string m_sText;
};

} // namespace quorvin
