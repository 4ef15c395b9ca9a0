#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace omvar::Vetrin {

// Runs requests one after another on a thread of its own, in the order they were made: what the
// operator asks for in quick succession is handled in the order he asked, while each may wait
// for HAMLOG's answers without holding the thread that made it.
class OrderedRequests {
public:
    using Request = std::function<void()>;

    OrderedRequests() = default;
    // Stops: the request running finishes, those still waiting are dropped.
    ~OrderedRequests();
    OrderedRequests(const OrderedRequests&) = delete;
    OrderedRequests& operator=(const OrderedRequests&) = delete;

    void stop();
    // Any thread; the first request starts the thread. Nothing is run after stop. A request must
    // not throw.
    void add(Request request);
    // True once every request made so far has run (or been dropped by a stop), false when the
    // bound came first.
    bool waitUntilDone(std::chrono::milliseconds bound);

private:
    void run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Request> waiting_;
    bool running_ = false;  // a request is being run
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace omvar::Vetrin
