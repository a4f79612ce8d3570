#include "scripted_interaction.h"

#include <utility>

namespace terminal {

ScriptedInteraction::ScriptedInteraction(std::string savePath, std::ostream& log)
    : m_strSavePath(std::move(savePath)), m_log(log) {}

int ScriptedInteraction::SaveDialog(const ledgra::SaveDialogRequest& request, std::string& pathOut) {
    m_log << "save dialog: filter \"" << request.filter << "\" -> " << m_strSavePath << '\n';
    if (m_strSavePath.empty()) return ledgra::IDCANCEL;
    pathOut = m_strSavePath;
    return ledgra::IDOK;
}

// A yes/no question gets No (the default button of every question Ledgra asks);
// anything else gets OK.
int ScriptedInteraction::Answer(unsigned type) const {
    return (type & 0xF) == ledgra::MB_YESNO ? ledgra::IDNO : ledgra::IDOK;
}

int ScriptedInteraction::AfxMessageBox(const std::string& text, unsigned type, unsigned) {
    ++m_nMessages;
    m_log << "message: " << text << '\n';
    return Answer(type);
}

int ScriptedInteraction::MessageBoxA(const std::string& text, const std::string& caption, unsigned type) {
    ++m_nMessages;
    m_log << "message [" << caption << "]: " << text << '\n';
    return Answer(type);
}

}  // namespace terminal
