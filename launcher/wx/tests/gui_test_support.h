// Helpers for tests that drive real windows under an X display.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "test_folder.h"
#include "user_messages.h"

namespace ardmon::test {

// Handles pending window events until done() holds or timeout_ms passed.
// Returns done().
bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 3000);

// Handles window events for about ms milliseconds.
void Pump(int ms = 50);

// Message boxes that answer OK at once and remember what they showed.
class RecordingMessages final : public UserMessages {
public:
    struct Shown {
        std::string text;
        std::string caption;
        unsigned style;
    };
    int MessageBox(const std::string& text, const std::string& caption, unsigned style) override;
    std::vector<std::string> Texts() const;
    std::vector<Shown> shown;
    // Runs inside each message box, while it would be open.
    std::function<void(const std::string&)> on_show;
};

// The executable's name as wx derives the application title from it.
std::string ExpectedTitle();

}  // namespace ardmon::test
