#include "automation/ErrorReport.h"

#include <ledgra/LedgraInteraction.h>

#include "registry/ClassRegistry.h"
#include "text/Utf8.h"

#include <cstdio>
#include <cstring>
#include <string_view>

namespace ledgra {

namespace {

// The length of text without an incomplete UTF-8 sequence that a cut left at
// its end: a lead byte among the last three whose sequence runs past the end.
std::size_t LengthWithoutCutSequence(std::string_view text) {
    for (std::size_t back = 1; back <= 3 && back <= text.size(); ++back) {
        const auto c = static_cast<unsigned char>(text[text.size() - back]);
        if ((c & 0xC0u) == 0x80u) continue;  // a continuation byte: look further back
        return text::Utf8SequenceLength(c) > back ? text.size() - back : text.size();
    }
    return text.size();
}

struct StatusText {
    SCODE status;
    const char* text;
};

// FormatMessageA's texts for statuses the automation layer meets that the
// registry's table of system texts does not hold.
constexpr StatusText kStatusTexts[] = {
    {E_POINTER, "Invalid pointer"},
    {E_UNEXPECTED, "Catastrophic failure"},
    {E_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
    {DISP_E_UNKNOWNINTERFACE, "Unknown interface."},
    {DISP_E_PARAMNOTFOUND, "Parameter not found."},
    {DISP_E_NONAMEDARGS, "No named arguments."},
    {DISP_E_BADVARTYPE, "Bad variable type."},
    {DISP_E_OVERFLOW, "Out of present range."},
    {RPC_E_SERVERFAULT, "The server threw an exception."},
    {CO_E_SERVER_EXEC_FAILURE, "Server execution failed"},
};

}  // namespace

std::string ComposeRunTimeErrorText(SCODE scError, const std::string& description) {
    char buffer[512];
    const unsigned number = static_cast<std::uint32_t>(scError) & 0xFFFFu;
    const int wanted = std::snprintf(buffer, sizeof buffer, "Run-time error '%d':\n\n%s",
                                     static_cast<int>(number), description.c_str());
    const std::string_view written(buffer);
    return std::string(written.substr(
        0, wanted >= static_cast<int>(sizeof buffer) ? LengthWithoutCutSequence(written) : written.size()));
}

std::string StatusMessageText(SCODE status) {
    std::string text = SystemMessageText(status);
    if (!text.empty()) return text;
    for (const StatusText& entry : kStatusTexts)
        if (entry.status == status) return entry.text;
    char unknown[64];
    std::snprintf(unknown, sizeof unknown, "Unknown automation error 0x%08X.", static_cast<unsigned>(status));
    return unknown;
}

void ReportDispatchException(Interaction& ui, const COleDispatchException& error) {
    ui.MessageBoxA(ComposeRunTimeErrorText(error.m_scError, error.m_strDescription), "Server Error",
                   MB_OK | MB_SETFOREGROUND);
}

void ReportOleException(Interaction& ui, const COleException& error) {
    ui.MessageBoxA(StatusMessageText(error.m_sc), "COM Error", MB_OK | MB_SETFOREGROUND);
}

}  // namespace ledgra
