#include "HookInstallation.h"

#include "DllMain.h"
#include "HookProcedures.h"

#include <cstdlib>
#include <sstream>

namespace omvar::Snarel::detail {

HookInstallResult installHooks(DWORD thread) {
    HookInstallResult result;
    result.hooks.retrieval =
        SetWindowsHookExW(WH_GETMESSAGE, retrievalHookProc, moduleHandle(), thread);
    if (result.hooks.retrieval == nullptr) {
        result.error = GetLastError();
        return result;
    }
    result.hooks.callReturn =
        SetWindowsHookExW(WH_CALLWNDPROCRET, callReturnHookProc, moduleHandle(), thread);
    if (result.hooks.callReturn == nullptr) {
        result.error = GetLastError();
        removeHooks(result.hooks);
    }
    return result;
}

bool removeHooks(InstalledHooks& hooks) {
    const bool removed = hooks.retrieval != nullptr && UnhookWindowsHookEx(hooks.retrieval);
    if (hooks.callReturn != nullptr) {
        UnhookWindowsHookEx(hooks.callReturn);
    }
    hooks = {};
    return removed;
}

std::string installFailureReason(DWORD error) {
    if (error == ERROR_ACCESS_DENIED) {
        return "access denied (HAMLOG runs with higher rights than this program)";
    }
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string reason = "error " + std::to_string(error);
    if (length > 0 && text != nullptr) {
        std::string message(text, length);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                    message.back() == ' ' || message.back() == '.')) {
            message.pop_back();
        }
        reason += ": " + message;
    }
    LocalFree(text);
    return reason;
}

HookFaults HookFaults::fromEnvironment() {
    HookFaults faults;
    // The process's environment as it is now, not the runtime's copy taken at load.
    char value[64] = {};
    const DWORD length = GetEnvironmentVariableA("SNAREL_TEST_HOOKS", value, sizeof value);
    if (length == 0 || length >= sizeof value) {
        return faults;
    }
    std::istringstream items(std::string(value, length));
    std::string item;
    while (std::getline(items, item, ',')) {
        if (item == "unannounced") {
            faults.announces_ = false;
        }
        const auto equals = item.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string name = item.substr(0, equals);
        const int number = std::atoi(item.c_str() + equals + 1);
        if (name == "refuse") {
            faults.refusals_ = number;
        } else if (name == "drop") {
            faults.dropAfter_ = std::chrono::milliseconds(number);
        }
    }
    return faults;
}

bool HookFaults::refuseNext() {
    if (refusals_ <= 0) {
        return false;
    }
    --refusals_;
    return true;
}

bool HookFaults::dropDue(std::chrono::steady_clock::time_point installedAt,
                         std::chrono::steady_clock::time_point now) {
    if (!dropAfter_ || now - installedAt < *dropAfter_) {
        return false;
    }
    dropAfter_.reset();
    return true;
}

}  // namespace omvar::Snarel::detail
