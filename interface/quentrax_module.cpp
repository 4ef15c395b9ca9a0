// Module entry of the shared library: the load and unload work of LibraryLifecycle.
#include "LibraryLifecycle.h"

#ifdef _WIN32
#include <windows.h>

// Loading always succeeds; nothing may escape into the loader.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
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
                omvar::quentrax::library_detach();
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
    try {
        omvar::quentrax::library_detach();
    } catch (...) {
    }
}

}  // namespace

#endif
