// Module entry of the virtual library: the interface library's load and unload work, with a
// line that tells this build apart.
#include <windows.h>

#include "LibraryLifecycle.h"
#include "LibraryLoggers.h"
#include "VirtualEntryPoints.h"

// Loading always succeeds; nothing may escape into the loader.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    try {
        switch (reason) {
            case DLL_PROCESS_ATTACH:
                omvar::quentrax::library_attach();
                omvar::quentrax::interface_logger()->debug(
                    "quentrax.dll: 仮想QUENTRAX (エミュレータ、ハードウェアなし) Vetrin {}",
                    VETRIN_VERSION);
                break;
            case DLL_THREAD_ATTACH:
                omvar::quentrax::library_thread_attach();
                break;
            case DLL_THREAD_DETACH:
                omvar::quentrax::library_thread_detach();
                break;
            case DLL_PROCESS_DETACH:
                omvar::sim::virtual_unit::abandonSession();
                omvar::quentrax::library_detach();
                break;
            default:
                break;
        }
    } catch (...) {
    }
    return TRUE;
}
