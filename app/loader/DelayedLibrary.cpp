#include "DelayedLibrary.h"

#include "TextEncoding.h"
#include "win32/ExecutableFolder.h"

#include <spdlog/spdlog.h>

#include <utility>

namespace omvar::Vetrin {

namespace {

std::shared_ptr<spdlog::logger> loaderLogger() {
    if (auto logger = spdlog::get("Vetrin")) {
        return logger;
    }
    return spdlog::default_logger();
}

std::string systemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    return quentrax::wide_to_utf8(message);
}

}  // namespace

DelayedLibrary::DelayedLibrary(std::wstring fileName, std::vector<std::string> exportNames)
    : fileName_(std::move(fileName)), exportNames_(std::move(exportNames)) {}

// The process is ending: the system unmaps what is still loaded, and a library's own exit work
// must not run from here, after other static objects may have gone.
DelayedLibrary::~DelayedLibrary() = default;

std::wstring DelayedLibrary::path() const {
    const bool qualified = fileName_.find_first_of(L"\\/:") != std::wstring::npos;
    // Beside the program, never from the search path: the libraries ship with it.
    return qualified ? fileName_ : win32::executableFolder() + fileName_;
}

void* DelayedLibrary::address(std::size_t index) {
    State state = state_.load(std::memory_order_acquire);
    if (state == State::notLoaded) {
        load();
        state = state_.load(std::memory_order_acquire);
    }
    if (state != State::loaded || index >= addresses_.size()) {
        return nullptr;
    }
    return addresses_[index];
}

void DelayedLibrary::load() {
    std::lock_guard held(mutex_);
    if (state_.load(std::memory_order_relaxed) != State::notLoaded) {
        return;  // another thread was first
    }
    const std::wstring file = path();
    const std::string name = quentrax::wide_to_utf8(fileName_);
    HMODULE module = LoadLibraryW(file.c_str());
    if (module == nullptr) {
        const DWORD error = GetLastError();
        loaderLogger()->error("{} could not be loaded from {} (error {}: {}); running without it",
                              name, quentrax::wide_to_utf8(file), error, systemMessage(error));
        state_.store(State::absent, std::memory_order_release);
        return;
    }
    std::vector<void*> addresses;
    std::string missing;
    for (const std::string& exportName : exportNames_) {
        void* found = reinterpret_cast<void*>(GetProcAddress(module, exportName.c_str()));
        if (found == nullptr) {
            missing += missing.empty() ? exportName : ", " + exportName;
        }
        addresses.push_back(found);
    }
    if (!missing.empty()) {
        // A library of another version: none of it is used, rather than some functions of it.
        FreeLibrary(module);
        loaderLogger()->error("{} ({}) lacks the export(s) {}; running without it", name,
                              quentrax::wide_to_utf8(file), missing);
        state_.store(State::absent, std::memory_order_release);
        return;
    }
    module_ = module;
    addresses_ = std::move(addresses);
    state_.store(State::loaded, std::memory_order_release);
    loaderLogger()->debug("{} loaded from {}", name, quentrax::wide_to_utf8(file));
}

void DelayedLibrary::unload() {
    std::lock_guard held(mutex_);
    const State state = state_.exchange(State::unloaded, std::memory_order_acq_rel);
    if (state == State::loaded) {
        addresses_.clear();
        FreeLibrary(std::exchange(module_, nullptr));
    }
}

}  // namespace omvar::Vetrin
