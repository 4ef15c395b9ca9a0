#pragma once

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

namespace omvar::Vetrin {

// A DLL the program loads at the first call of one of its functions and frees explicitly at exit.
// The first use loads it from the program's folder and resolves every export it is given. When
// the file cannot be loaded or lacks an export, one error line says so (naming the file and the
// exports) and the library counts as absent from then on: every address is null and the callers
// answer as they do without the hardware or without HAMLOG. After unload() nothing is loaded
// again. Any thread may ask for addresses; unload() must come after every caller has stopped.
class DelayedLibrary {
public:
    // fileName: the DLL's name beside the program (a full path is taken as it is).
    DelayedLibrary(std::wstring fileName, std::vector<std::string> exportNames);
    ~DelayedLibrary();
    DelayedLibrary(const DelayedLibrary&) = delete;
    DelayedLibrary& operator=(const DelayedLibrary&) = delete;

    // The address of export `index` (position in the names given), loading the library first when
    // this is the first use; null when the library is absent or unloaded.
    void* address(std::size_t index);
    template <typename Function>
    Function function(std::size_t index) {
        return reinterpret_cast<Function>(address(index));
    }

    // Frees the library when it was loaded. Later calls get null.
    void unload();
    bool isLoaded() const { return state_.load(std::memory_order_acquire) == State::loaded; }

    const std::vector<std::string>& exportNames() const { return exportNames_; }

private:
    enum class State { notLoaded, loaded, absent, unloaded };

    void load();
    std::wstring path() const;

    const std::wstring fileName_;
    const std::vector<std::string> exportNames_;
    std::mutex mutex_;
    std::atomic<State> state_{State::notLoaded};
    HMODULE module_ = nullptr;
    std::vector<void*> addresses_;  // written once under mutex_, before state_ becomes loaded
};

}  // namespace omvar::Vetrin
