// A program that loads the library, opens an interface and unloads the library without ever
// closing it. The unload must neither hang nor crash: it warns about the interface left open,
// closes it and lets go of the program's loggers. The library here is the one built over the
// emulator (bin/emulated), whose unit this program plugs in. With --write-pending the unit
// takes no writes, and a command is on its way to it when the library goes: the unload ends
// the one attempt under way, not the retries that would follow.
// Usage: quentrax_unload_open_host [--write-pending] LIBRARY_PATH (natively; on Windows
// emulated\quentrax.dll beside the program)
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
using TwoInts = int(QUENTRAX_CALL*)(int, int);

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

// Sends a command the stalled unit does not take; false when the call held the caller for a
// whole write time-out (1000 ms) or the write never began.
bool leave_a_write_pending(host::Library library) {
    auto set_wpm = function<TwoInts>(library, "quentraxSetWPM");
    if (set_wpm == nullptr) {
        return false;
    }
    const int writes = emulated_unit_writes();
    emulated_unit_stall_writes(60000);
    const auto t0 = std::chrono::steady_clock::now();
    if (set_wpm(0, 20) != 0 || std::chrono::steady_clock::now() - t0 >= std::chrono::seconds(1)) {
        return false;
    }
    const auto deadline = t0 + std::chrono::seconds(10);
    while (emulated_unit_writes() == writes) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool write_pending = false;
    const char* path = "";
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--write-pending") {
            write_pending = true;
        } else {
            path = argv[i];
        }
    }
    emulated_unit_plug_in();
    host::Library library = load(path);
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
    if (write_pending && !leave_a_write_pending(library)) {
        return fail("the command to a unit that takes no writes held its caller or never began");
    }
    {
        // The unload ends the interface's threads, which finish their current read first:
        // a fraction of a second. Far longer means it waits for something that never comes.
        const HangWatch watch(std::chrono::seconds(20));
        const auto t0 = std::chrono::steady_clock::now();
        if (!host::unload_library(library)) {
            return fail("cannot unload the library");
        }
        const auto took = std::chrono::steady_clock::now() - t0;
        std::printf("unloaded in %.0f ms\n",
                    std::chrono::duration<double, std::milli>(took).count());
        // The attempt under way ends within its time-out (1 s); all four would take 4 s.
        if (write_pending && took >= std::chrono::seconds(3)) {
            return fail("the unload waited for the retries of the pending write");
        }
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
