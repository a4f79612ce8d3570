#include "step_failure.h"

#include <cerrno>

#ifdef _WIN32
#include <windows.h>

#include <atomic>
#include <thread>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace filesafe::test {

int RealisticError(Call call, int k) {
#ifdef _WIN32
    switch (call) {
        case Call::kCreate:
            return k % 2 ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED;
        case Call::kOpen:
            return ERROR_SHARING_VIOLATION;
        case Call::kLock:
            return ERROR_LOCK_VIOLATION;
        case Call::kReserve:
        case Call::kWrite:
            return k % 2 ? ERROR_DISK_FULL : ERROR_WRITE_FAULT;
        case Call::kReplace:
            return k % 2 ? ERROR_UNABLE_TO_MOVE_REPLACEMENT : ERROR_SHARING_VIOLATION;
        case Call::kRemove:
            return ERROR_ACCESS_DENIED;
        default:
            return ERROR_WRITE_FAULT;
    }
#else
    switch (call) {
        case Call::kCreate:
            return k % 2 ? ENOSPC : EACCES;
        case Call::kOpen:
            return EACCES;
        case Call::kLock:
            return EINTR;
        case Call::kReserve:
            return ENOSPC;
        case Call::kWrite:
            return k % 3 == 0 ? EINTR : k % 3 == 1 ? ENOSPC : EIO;
        case Call::kSetOwner:
        case Call::kSetGroup:
        case Call::kSetMode:
            return EPERM;
        case Call::kSetAttributes:
            return ENOTSUP;
        case Call::kReplace:
            return k % 2 ? EXDEV : EACCES;
        case Call::kRemove:
            return EACCES;
        default:
            return EIO;
    }
#endif
}

int CountCalls(const std::function<bool()>& run, const CallHook& always) {
    int count = 0;
    ScopedCallHook hook([&](Call call, const std::string& path) {
        if (const int error = always ? always(call, path) : 0) return error;
        ++count;
        return 0;
    });
    run();
    return count;
}

void FailEveryStep(const std::function<void()>& setup, const std::function<bool()>& run,
                   const std::function<void(const Step&, bool)>& check, const CallHook& always) {
    setup();
    const int count = CountCalls(run, always);
    for (int k = 1; k <= count; ++k) {
        setup();
        Step step;
        step.index = k;
        int seen = 0;
        bool ok = false;
        {
            ScopedCallHook hook([&](Call call, const std::string& path) {
                if (const int error = always ? always(call, path) : 0) return error;
                if (++seen != k) return 0;
                step.call = call;
                step.error = RealisticError(call, k);
                return step.error;
            });
            ok = run();
        }
        check(step, ok);
    }
}

#ifdef _WIN32
// The writer is a thread frozen for good inside the seam right after call k:
// the engine abandoned without any cleanup, its files still open. The thread
// is never woken; the process's end takes it.
void StopAtEveryStep(const std::function<void()>& setup, const std::function<bool()>& run,
                     const std::function<void(const Step&)>& check, const CallHook& always) {
    setup();
    const int count = CountCalls(run, always);
    for (int k = 1; k <= count; ++k) {
        setup();
        struct Writer {
            HANDLE stopped = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            std::atomic<DWORD> thread{0};
            int seen = 0;
            Step step;
        };
        Writer* writer = new Writer;  // left to the frozen thread
        writer->step.index = k;
        CallHook hook = [writer, k, always](Call call, const std::string& path) {
            if (GetCurrentThreadId() != writer->thread) return 0;
            if (const int error = always ? always(call, path) : 0) return error;
            if (++writer->seen == k + 1) {
                writer->step.call = call;
                SetEvent(writer->stopped);
                WaitForSingleObject(writer->never, INFINITE);
            }
            return 0;
        };
        ScopedCallHook installed(hook);
        std::thread thread([writer, run] {
            writer->thread = GetCurrentThreadId();
            run();
            SetEvent(writer->stopped);  // it ended before call k + 1
        });
        while (writer->thread == 0) Sleep(1);
        WaitForSingleObject(writer->stopped, INFINITE);
        thread.detach();
        check(writer->step);
    }
}
#else
void StopAtEveryStep(const std::function<void()>& setup, const std::function<bool()>& run,
                     const std::function<void(const Step&)>& check, const CallHook& always) {
    setup();
    const int count = CountCalls(run, always);
    for (int k = 1; k <= count; ++k) {
        setup();
        int channel[2];
        if (::pipe(channel) != 0) return;
        const pid_t writer = ::fork();
        if (writer == 0) {
            int seen = 0;
            ScopedCallHook hook([&](Call call, const std::string& path) {
                if (const int error = always ? always(call, path) : 0) return error;
                if (++seen == k + 1) {
                    const int kind = static_cast<int>(call);
                    (void)!::write(channel[1], &kind, sizeof kind);
                    ::_exit(0);  // dead, right after call k: no destructor, no cleanup
                }
                return 0;
            });
            run();
            ::_exit(0);
        }
        ::close(channel[1]);
        int kind = -1;
        (void)!::read(channel[0], &kind, sizeof kind);
        ::close(channel[0]);
        ::waitpid(writer, nullptr, 0);
        Step step;
        step.index = k;
        if (kind >= 0) step.call = static_cast<Call>(kind);
        check(step);
    }
}
#endif

}  // namespace filesafe::test
