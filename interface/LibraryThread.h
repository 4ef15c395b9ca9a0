#pragma once

#include <functional>
#include <memory>
#include <thread>

namespace omvar::quentrax {

// A thread of the interface library that the library's unload can leave behind.
//
// Windows unloads a library under the loader lock, and a thread can only end by taking that
// lock, so joining a thread there never returns; yet the library's code must not go away while
// one of its threads still runs in it. On Windows each thread therefore ends its body by
// signalling that it is done and waiting to be released, in one system call: join() releases
// it and joins it as usual; leave() (for the unload) only waits until it is done, after which
// the thread runs none of the library's code again and stays parked until the process ends.
// Natively a thread may be joined during dlclose: leave() joins.
class LibraryThread {
public:
    LibraryThread();
    ~LibraryThread();  // joins a thread neither joined nor left
    LibraryThread(const LibraryThread&) = delete;
    LibraryThread& operator=(const LibraryThread&) = delete;

    // Runs body on a new thread; std::system_error when none can be started.
    void start(std::function<void()> body);
    bool started() const { return thread_.joinable(); }
    void join();
    void leave();

private:
    struct Handles;
    std::unique_ptr<Handles> handles_;  // Windows: the done and release events
    std::thread thread_;
};

}  // namespace omvar::quentrax
