// The interaction the library's exports use: the table the host installed with
// ledgra_set_interaction, or the system's own dialogs; and what one export
// came to, for ledgra_export_last_error.
#pragma once

#include <ledgra/LedgraInteraction.h>

#include <cstdint>
#include <memory>
#include <string>

namespace ledgra {

// The interaction installed now (never null). Holding the pointer keeps it
// alive, whatever the host installs meanwhile.
std::shared_ptr<Interaction> InstalledInteraction();
// Installs an interaction for the exports that start from now on; null
// restores the system's own dialogs. Any thread, any moment.
void InstallInteraction(std::shared_ptr<Interaction> interaction);

// One export on this thread, from its start to its return: it holds the
// interaction installed when it started, and records the code of its outcome
// and the last text it showed the user. Exports nest (a callback may export
// another table); the innermost one is the current one.
class ExportSession {
public:
    ExportSession();
    ~ExportSession();
    ExportSession(const ExportSession&) = delete;
    ExportSession& operator=(const ExportSession&) = delete;

    Interaction& Ui();
    std::int32_t Code() const { return code_; }
    const std::string& Shown() const { return shown_; }
    void SetCode(std::int32_t code) { code_ = code; }

private:
    class Recorder;
    std::unique_ptr<Recorder> ui_;
    std::int32_t code_ = LEDGRA_OK;
    std::string shown_;
    ExportSession* outer_;
};

// The current export's interaction; outside an export, the installed one.
Interaction& CurrentInteraction();

// Records what the current export came to (nothing outside an export).
void SetOutcome(std::int32_t code);

}  // namespace ledgra
