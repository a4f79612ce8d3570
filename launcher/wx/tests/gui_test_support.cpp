#include "gui_test_support.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include <wx/app.h>
#include <wx/evtloop.h>

namespace ardmon::test {

namespace {

void PumpOnce()
{
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) {
        loop->YieldFor(wxEVT_CATEGORY_ALL);
    }
    wxTheApp->ProcessPendingEvents();
    wxTheApp->ProcessIdle();
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, int timeout_ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return done();
        }
        PumpOnce();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void Pump(int ms)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        PumpOnce();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
}

std::string ExpectedTitle()
{
    return std::filesystem::read_symlink("/proc/self/exe").stem().string();
}

}  // namespace ardmon::test
