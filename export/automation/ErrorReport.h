// The two reports shown for an automation error.
#pragma once

#include "automation/Exceptions.h"
#include "automation/Types.h"

#include <string>

namespace ledgra {

class Interaction;

// "Run-time error '%d':\n\n%s" with the low 16 bits of scError (0 to 65535) and
// the description, composed in 512 characters: a longer text is cut, never
// written past the buffer.
std::string ComposeRunTimeErrorText(SCODE scError, const std::string& description);

// The system's text for a status, as FormatMessageA gives it for the statuses an
// automation request can end with; for any other status a text naming the
// status in hexadecimal.
std::string StatusMessageText(SCODE status);

// Dispatch error: the run-time error text, caption "Server Error", MB_OK | MB_SETFOREGROUND.
void ReportDispatchException(Interaction& ui, const COleDispatchException& error);
// General error: the status text, caption "COM Error", MB_OK | MB_SETFOREGROUND.
void ReportOleException(Interaction& ui, const COleException& error);

}  // namespace ledgra
