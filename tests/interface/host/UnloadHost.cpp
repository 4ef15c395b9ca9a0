// A program that loads the shared library itself, hands over its own loggers, uses an interface
// and unloads the library before it ends, as the desktop program does. The unload must still do
// its work: log its line into the program's sink and let go of the program's loggers.
// Usage: quentrax_unload_host LIBRARY_PATH (natively; on Windows quentrax.dll beside the program)
#include <cstdio>

#include "HostLogSink.h"
#include "LibraryModule.h"
#include "QuentraxExportNames.h"
#include "quentrax.h"

namespace {

using host::function;
using SetLogger = void(QUENTRAX_CALL*)(std::shared_ptr<spdlog::logger>);
using OneInt = int(QUENTRAX_CALL*)(int);
using Close = void(QUENTRAX_CALL*)(int);

int fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

}  // namespace

int main([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
#ifdef _WIN32
    host::Library library = host::load_library(L"quentrax.dll");
#else
    host::Library library = host::load_library(argc > 1 ? argv[1] : "");
#endif
    if (library == nullptr) {
        return fail("cannot load the library");
    }
    auto set_logger = function<SetLogger>(library, QUENTRAX_EXPORT_NAME(quentraxSetLogger, 8));
    auto open = function<OneInt>(library, "quentraxOpen");
    auto close = function<Close>(library, "quentraxClose");
    if (set_logger == nullptr || open == nullptr || close == nullptr) {
        return fail("the library lacks an export");
    }
    auto loggers = host::host_loggers();
    for (auto& logger : loggers) {
        set_logger(logger);
    }
    const int id = open(0);
    if (id >= 0) {
        close(id);
    }
    if (!host::unload_library(library)) {
        return fail("cannot unload the library");
    }
    if (!host::host_logged("quentrax.dll: DLLの解放")) {
        return fail("the unload did not log its line");
    }
    for (const auto& logger : loggers) {
        if (logger.use_count() != 1) {
            return fail("the unloaded library still holds a logger of the program");
        }
    }
    std::printf("unloaded; the program's loggers are its own again\n");
    return 0;
}
