// The library's own interaction: wxWidgets dialogs. In a wxWidgets host the
// host's application object and event loop serve them; in any other host wx is
// brought up for the length of each dialog. Without a display nothing is shown:
// the save dialog answers Cancel, a message box OK (for MB_OK) or No/Cancel,
// and a note goes to stderr.
#pragma once

#include <ledgra/LedgraInteraction.h>

#include <functional>
#include <string>

namespace ledgra {

class WxInteraction : public Interaction {
public:
    int SaveDialog(const SaveDialogRequest& request, std::string& pathOut) override;
    int AfxMessageBox(const std::string& text, unsigned type, unsigned helpId) override;
    int MessageBoxA(const std::string& text, const std::string& caption, unsigned type) override;
};

// The title AfxMessageBox captions its boxes with: the host application's
// display name in a wxWidgets host, else the program's file name.
std::string HostProgramTitle();

// Called right before each dialog of WxInteraction runs modally, with wx up: the
// seam through which a test drives the real dialogs. Empty by default.
void SetBeforeModalHook(std::function<void()> hook);

}  // namespace ledgra
