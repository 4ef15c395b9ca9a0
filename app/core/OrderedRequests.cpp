#include "OrderedRequests.h"

#include <windows.h>

#include <utility>

namespace omvar::Vetrin {

OrderedRequests::~OrderedRequests() {
    stop();
}

void OrderedRequests::stop() {
    {
        std::unique_lock held(mutex_);
        stopping_ = true;
        waiting_.clear();
        changed_.notify_all();
        // The request running may wait for a window of this thread (the program's window thread
        // stops the model): messages sent to it are taken while the request ends.
        while (running_ && thread_.get_id() != std::this_thread::get_id()) {
            changed_.wait_for(held, std::chrono::milliseconds(10));
            held.unlock();
            MSG message;
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            held.lock();
        }
    }
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
        thread_.join();
    }
}

void OrderedRequests::add(Request request) {
    {
        std::lock_guard held(mutex_);
        if (stopping_) {
            return;
        }
        waiting_.push_back(std::move(request));
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { run(); });
        }
    }
    changed_.notify_all();
}

bool OrderedRequests::waitUntilDone(std::chrono::milliseconds bound) {
    std::unique_lock held(mutex_);
    return changed_.wait_for(held, bound, [this] { return waiting_.empty() && !running_; });
}

void OrderedRequests::run() {
    std::unique_lock held(mutex_);
    for (;;) {
        changed_.wait(held, [this] { return stopping_ || !waiting_.empty(); });
        if (stopping_) {
            return;
        }
        Request request = std::move(waiting_.front());
        waiting_.pop_front();
        running_ = true;
        held.unlock();
        request();
        held.lock();
        running_ = false;
        changed_.notify_all();
    }
}

}  // namespace omvar::Vetrin
