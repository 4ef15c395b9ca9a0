// Module entry of the shared library: the load and unload work of LibraryLifecycle.
//
// The unload work logs through the host's loggers, releases hidapi and shuts the library's
// logging down. That is right when the host unloads the library (FreeLibrary, dlclose), but not
// when the process ends with the library still loaded: by then the host's own objects, which its
// log sinks may use, have been destroyed. The unload work is skipped there; the system reclaims
// everything.
#include "LibraryLifecycle.h"

#ifdef _WIN32
#include <windows.h>

#include "DeviceTable.h"

namespace {

// Process exit: the system has already ended every other thread, possibly inside a lock of a
// device or of a log sink. Destroying a device still in the table would join its dead reader and
// log through the host's logger, so the devices are left to the system.
void abandon_devices() {
    for (auto& slot : omvar::quentrax::device_table()) {
        [[maybe_unused]] auto* abandoned = slot.device.release();
    }
}

}  // namespace

// Loading always succeeds; nothing may escape into the loader.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    try {
        switch (reason) {
            case DLL_PROCESS_ATTACH:
                omvar::quentrax::library_attach();
                break;
            case DLL_THREAD_ATTACH:
                omvar::quentrax::library_thread_attach();
                break;
            case DLL_THREAD_DETACH:
                omvar::quentrax::library_thread_detach();
                break;
            case DLL_PROCESS_DETACH:
                // reserved is null for FreeLibrary, non-null when the process is ending.
                if (reserved == nullptr) {
                    omvar::quentrax::library_detach();
                } else {
                    abandon_devices();
                }
                break;
            default:
                break;
        }
    } catch (...) {
    }
    return TRUE;
}

#else

namespace {

[[gnu::constructor]] void quentrax_module_load() {
    try {
        omvar::quentrax::library_attach();
    } catch (...) {
    }
}

[[gnu::destructor]] void quentrax_module_unload() {
    if (omvar::quentrax::process_ending()) {
        return;
    }
    try {
        omvar::quentrax::library_detach();
    } catch (...) {
    }
}

}  // namespace

#endif
