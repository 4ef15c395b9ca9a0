// A program that loads the library, opens an interface and unloads the library without ever
// closing it. The unload must neither hang nor crash: it warns about the interface left open,
// closes it and lets go of the program's loggers. The library here is the one built over the
// emulator (bin/emulated), whose unit this program plugs in.
// Usage: quentrax_unload_open_host LIBRARY_PATH (natively; on Windows emulated\quentrax.dll
// beside the program)
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include "HostLogSink.h"
#include "LibraryModule.h"
#include "EmulatedUnit.h"
#include "QuentraxExportNames.h"
#include "quentrax.h"

namespace {

using host::function;
using SetLogger = void(QUENTRAX_CALL*)(std::shared_ptr<spdlog::logger>);
using OneInt = int(QUENTRAX_CALL*)(int);

int fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    return 1;
}

host::Library load([[maybe_unused]] const char* path) {
#ifdef _WIN32
    wchar_t own[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::wstring folder(own, length);
    folder.resize(folder.find_last_of(L'\\') + 1);
    return host::load_library((folder + L"emulated\\quentrax.dll").c_str());
#else
    return host::load_library(path);
#endif
}

// Ends the program when the unload has not come back in time: it hangs. The watch is running
// when the constructor returns (a thread still starting would wait for the loader lock that the
// unload holds).
class HangWatch {
public:
    explicit HangWatch(std::chrono::seconds bound)
        : thread_([this, bound] {
              std::unique_lock<std::mutex> lock(mutex_);
              running_ = true;
              changed_.notify_all();
              if (!changed_.wait_for(lock, bound, [this] { return done_; })) {
                  std::fprintf(stderr, "the unload has not returned after %lld s: it hangs\n",
                               static_cast<long long>(bound.count()));
                  std::fflush(stderr);
#ifdef _WIN32
                  // The hanging unload holds the loader lock, which ExitProcess would wait for.
                  TerminateProcess(GetCurrentProcess(), 2);
#endif
                  std::_Exit(2);
              }
          }) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return running_; });
    }
    ~HangWatch() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool running_ = false;
    bool done_ = false;
    std::thread thread_;  // last: it uses the members above
};

}  // namespace

int main([[maybe_unused]] int argc, [[maybe_unused]] char** argv) {
    emulated_unit_plug_in();
    host::Library library = load(argc > 1 ? argv[1] : "");
    if (library == nullptr) {
        return fail("cannot load the library");
    }
    auto set_logger = function<SetLogger>(library, QUENTRAX_EXPORT_NAME(quentraxSetLogger, 8));
    auto open = function<OneInt>(library, "quentraxOpen");
    if (set_logger == nullptr || open == nullptr) {
        return fail("the library lacks an export");
    }
    auto loggers = host::host_loggers();
    for (auto& logger : loggers) {
        set_logger(logger);
    }
    if (open(0) != 0) {
        return fail("no interface opened");
    }
    {
        // The unload ends the interface's threads, which finish their current read first:
        // a fraction of a second. Far longer means it waits for something that never comes.
        const HangWatch watch(std::chrono::seconds(20));
        const auto t0 = std::chrono::steady_clock::now();
        if (!host::unload_library(library)) {
            return fail("cannot unload the library");
        }
        std::printf("unloaded in %.0f ms\n",
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                        .count());
    }
    if (!host::host_logged(
            "DllMain: デバイス(nId=0)に対してquentraxClose()が呼び出されていません")) {
        return fail("the unload did not warn about the interface left open");
    }
    if (emulated_unit_open_handles() != 0) {
        return fail("the interface left open was not closed");
    }
    for (const auto& logger : loggers) {
        if (logger.use_count() != 1) {
            return fail("the unloaded library still holds a logger of the program");
        }
    }
    emulated_unit_unplug();
    return 0;
}
