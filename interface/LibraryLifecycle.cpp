#include "LibraryLifecycle.h"

#include "DeviceTable.h"
#include "LibraryLoggers.h"

#include <hidapi.h>

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#endif

namespace omvar::quentrax {

namespace {

#ifdef _WIN32
bool older_than_windows_xp() {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = 5;
    info.dwMinorVersion = 1;
    info.wServicePackMajor = 0;
    DWORDLONG mask = 0;
    mask = VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    return !VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR,
                               mask);
}
#endif

// Trivially destructible, so still readable at the very end of the exit.
std::atomic<bool> process_ending_flag{false};

#ifndef _WIN32
// Destroyed like any static object: at exit before the objects made before it, on dlclose with
// the library's own after the unload code.
struct ProcessExitWatch {
    ~ProcessExitWatch() {
        process_ending_flag = true;
        for (auto& slot : device_table()) {
            slot.device.reset();
        }
    }
};
#endif

}  // namespace

void library_attach() {
    // Every load starts with the initial table, also where the library is loaded again
    // within one process.
    for (auto& slot : device_table()) {
        slot.reset();
    }
    create_library_loggers();
    interface_logger()->debug("quentrax.dll: DLL initialize");
#ifdef _WIN32
    if (older_than_windows_xp()) {
        MessageBoxW(nullptr, L"QUENTRAXはWindows95では動作しません。", L"QUENTRAX",
                    MB_OK | MB_ICONWARNING);
    }
#endif
}

void library_detach() {
    auto logger = interface_logger();
    logger->debug("quentrax.dll: DLLの解放");
    for (int i = 0; i < kMaxDevices; ++i) {
        if (device_table()[i].device) {
            logger->warn("{}: デバイス(nId={})に対してquentraxClose()が呼び出されていません",
                         "DllMain", i);
        }
    }
    // Interfaces the host left open end here, before hidapi is released. On Windows this runs
    // under the loader lock, where their threads cannot be joined: they are left behind.
    for (auto& slot : device_table()) {
        if (slot.device) {
            slot.device->close_at_unload();
            slot.device.reset();
        }
    }
    hid_exit();
    shutdown_library_loggers();
}

void library_thread_attach() {
    interface_logger()->trace("quentrax.dll: thread attach");
}

void library_thread_detach() {
    interface_logger()->trace("quentrax.dll: thread detach");
}

// Windows tells the end of the process to DllMain itself.
void watch_for_process_exit() {
#ifndef _WIN32
    static const ProcessExitWatch watch;
#endif
}

bool process_ending() {
    return process_ending_flag;
}

}  // namespace omvar::quentrax
