#include "LibraryThread.h"

#include <system_error>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

namespace omvar::quentrax {

#ifdef _WIN32

struct LibraryThread::Handles {
    HANDLE done = nullptr;
    HANDLE release = nullptr;

    Handles()
        : done(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          release(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        if (done == nullptr || release == nullptr) {
            const auto error = static_cast<int>(GetLastError());
            close();
            throw std::system_error(error, std::system_category(), "CreateEventW");
        }
    }
    ~Handles() { close(); }
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;

    // A thread parked on `release` keeps waiting on the event itself once the handle is closed.
    void close() {
        for (HANDLE* h : {&done, &release}) {
            if (*h != nullptr) {
                CloseHandle(*h);
                *h = nullptr;
            }
        }
    }
};

#else

struct LibraryThread::Handles {};

#endif

LibraryThread::LibraryThread() = default;

LibraryThread::~LibraryThread() {
    join();
}

void LibraryThread::start(std::function<void()> body) {
#ifdef _WIN32
    auto handles = std::make_unique<Handles>();
    HANDLE done = handles->done;
    HANDLE release = handles->release;
    thread_ = std::thread([body = std::move(body), done, release]() mutable {
        {
            auto run = std::move(body);
            run();
        }
        // One call: once `done` is signalled this thread is in the system's code, waiting.
        SignalObjectAndWait(done, release, INFINITE, FALSE);
    });
    handles_ = std::move(handles);
#else
    thread_ = std::thread(std::move(body));
#endif
}

void LibraryThread::join() {
    if (!thread_.joinable()) {
        return;
    }
#ifdef _WIN32
    SetEvent(handles_->release);
#endif
    thread_.join();
    handles_.reset();
}

void LibraryThread::leave() {
    if (!thread_.joinable()) {
        return;
    }
#ifdef _WIN32
    WaitForSingleObject(handles_->done, INFINITE);
    thread_.detach();
    handles_.reset();
#else
    thread_.join();
#endif
}

}  // namespace omvar::quentrax
