#pragma once

#include <chrono>
#include <thread>

namespace testing_support {

// Polls the condition until it holds or the (generous) bound passes; returns the last result.
// Tests wait on conditions this way, never on bare sleeps.
template <typename Pred>
bool wait_for(Pred pred, std::chrono::milliseconds bound = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return pred();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace testing_support
