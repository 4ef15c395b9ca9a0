#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

namespace omvar::Snarel::detail {

// The two hooks on one thread of HAMLOG. They belong to the thread that set them (the watcher)
// and are removed there: they go with that thread when it ends.
struct InstalledHooks {
    HHOOK retrieval = nullptr;
    HHOOK callReturn = nullptr;

    bool set() const { return retrieval != nullptr; }
};

// Sets both hooks on the thread, or neither: on a failure the one already set is removed again
// and the system's error code comes back.
struct HookInstallResult {
    InstalledHooks hooks;
    DWORD error = ERROR_SUCCESS;
};
HookInstallResult installHooks(DWORD thread);

// Removes both; false when there was no retrieval hook or its removal failed. The handles are
// cleared in every case.
bool removeHooks(InstalledHooks& hooks);

// Why the system refused, for the log: access denied means HAMLOG runs with higher rights.
std::string installFailureReason(DWORD error);

// Failures made on purpose, for tests of the program: the environment variable
// SNAREL_TEST_HOOKS of the program's process, read when the watcher starts, holds
// "refuse=N" (the first N installations fail as access denied) and/or, comma-separated,
// "drop=MS" (MS milliseconds after the first installation that worked, the hooks are removed
// without the watcher taking note, as hooks lost to the system would be) and/or "unannounced"
// (the receiver is never told of installed or removed hooks, as if every announcement got
// lost).
class HookFaults {
public:
    static HookFaults fromEnvironment();

    // True when this installation is to fail; counts it.
    bool refuseNext();
    // True once, when the hooks set at `installedAt` are to be dropped by now.
    bool dropDue(std::chrono::steady_clock::time_point installedAt,
                 std::chrono::steady_clock::time_point now);
    bool announces() const { return announces_; }

private:
    int refusals_ = 0;
    std::optional<std::chrono::milliseconds> dropAfter_;
    bool announces_ = true;
};

}  // namespace omvar::Snarel::detail
