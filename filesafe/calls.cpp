// The seam every system call of the engine passes, and the lock wait's setting.
#include "filesafe.h"

namespace filesafe {

namespace {
CallHook& Hook() {
    static CallHook hook;
    return hook;
}
}  // namespace

const char* CallName(Call call) {
    switch (call) {
        case Call::kCreate:
            return "create";
        case Call::kOpen:
            return "open";
        case Call::kLock:
            return "lock";
        case Call::kReserve:
            return "reserve";
        case Call::kWrite:
            return "write";
        case Call::kSetOwner:
            return "set owner";
        case Call::kSetGroup:
            return "set group";
        case Call::kSetAttributes:
            return "set attributes";
        case Call::kSetMode:
            return "set mode";
        case Call::kStartFlush:
            return "start flush";
        case Call::kFlush:
            return "flush";
        case Call::kTruncate:
            return "truncate";
        case Call::kClose:
            return "close";
        case Call::kReplace:
            return "replace";
        case Call::kFlushFolder:
            return "flush folder";
        case Call::kRemove:
            return "remove";
    }
    return "?";
}

ScopedCallHook::ScopedCallHook(CallHook hook) : previous_(std::move(Hook())) { Hook() = std::move(hook); }

ScopedCallHook::~ScopedCallHook() { Hook() = std::move(previous_); }

LockWait& DefaultLockWait() {
    static LockWait wait;
    return wait;
}

namespace detail {
int Check(Call call, const std::string& path) { return Hook() ? Hook()(call, path) : 0; }
}  // namespace detail

}  // namespace filesafe
