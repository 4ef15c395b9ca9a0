#include "DllMain.h"

#include "SnarelLogger.h"

namespace omvar::Snarel::detail {
namespace {
HINSTANCE module = nullptr;
}

HINSTANCE moduleHandle() {
    return module;
}

}  // namespace omvar::Snarel::detail

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    using namespace omvar::Snarel::detail;
    // Nothing may leave the loader's callback; logging failures are the logger's own business.
    try {
        switch (reason) {
            case DLL_PROCESS_ATTACH:
                module = instance;
                createInitialLogger();
                logger()->debug("Snarel.dll: DLL initialize");
                break;
            case DLL_THREAD_ATTACH:
                logger()->trace("Snarel.dll: thread attach");
                break;
            case DLL_THREAD_DETACH:
                logger()->trace("Snarel.dll: thread detach");
                break;
            case DLL_PROCESS_DETACH:
                logger()->debug("Snarel.dll: DLLの解放");
                shutdownLogging();
                break;
        }
    } catch (...) {
    }
    return TRUE;
}
