// Answers Ledgra's questions without a person: the save dialog with a fixed
// path, message boxes by writing them to a log and pressing the safe button.
// The terminal installs it for its unattended exports (--export-workbook ...).
#pragma once

#include <ledgra/LedgraInteraction.h>

#include <ostream>
#include <string>

namespace terminal {

class ScriptedInteraction : public ledgra::Interaction {
public:
    ScriptedInteraction(std::string savePath, std::ostream& log);

    int SaveDialog(const ledgra::SaveDialogRequest& request, std::string& pathOut) override;
    int AfxMessageBox(const std::string& text, unsigned type, unsigned helpId) override;
    int MessageBoxA(const std::string& text, const std::string& caption, unsigned type) override;

    int messages() const { return m_nMessages; }

private:
    int Answer(unsigned type) const;

    std::string m_strSavePath;
    std::ostream& m_log;
    int m_nMessages = 0;
};

}  // namespace terminal
