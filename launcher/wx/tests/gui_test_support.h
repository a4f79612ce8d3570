// Helpers for tests that drive real windows under an X display.
#pragma once

#include <functional>
#include <string>

#include "recording_message_boxes.h"
#include "test_folder.h"

namespace ardmon::test {

// Handles pending window events until done() holds or timeout_ms passed.
// Returns done().
bool PumpUntil(const std::function<bool()>& done, int timeout_ms = 3000);

// Handles window events for about ms milliseconds.
void Pump(int ms = 50);

// The executable's name as wx derives the application title from it.
std::string ExpectedTitle();

}  // namespace ardmon::test
