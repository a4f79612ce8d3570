// OleInitialize / OleUninitialize on Windows: the system's, counted per thread
// so that Ledgra knows whether objects can be created on it; and the wait for
// a busy application, which keeps the thread's windows answering.
#include "automation/Ole.h"

#include <windows.h>

#include <ole2.h>

namespace ledgra {

namespace {
thread_local unsigned long t_oleInitCount = 0;
}

HRESULT OleInitialize(void* reserved) {
    if (reserved != nullptr) return E_INVALIDARG;
    const HRESULT hr = ::OleInitialize(nullptr);
    if (SUCCEEDED(hr)) ++t_oleInitCount;
    return hr;
}

void OleUninitialize() noexcept {
    if (t_oleInitCount == 0) return;
    --t_oleInitCount;
    ::OleUninitialize();
}

bool OleIsInitialized() noexcept { return t_oleInitCount > 0; }

void WaitBeforeRetry(std::chrono::milliseconds pause) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = Clock::now() + pause;
    for (;;) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {  // the host's own loop is to see it
                ::PostQuitMessage(static_cast<int>(message.wParam));
                return;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
        const Clock::time_point now = Clock::now();
        if (now >= until) return;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now);
        ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left.count()), QS_ALLINPUT,
                                      MWMO_INPUTAVAILABLE);
    }
}

}  // namespace ledgra
