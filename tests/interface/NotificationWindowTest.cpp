#ifndef _WIN32

#include "NotificationWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

#include "WaitFor.h"

using namespace omvar::quentrax;
using testing_support::wait_for;

namespace {

struct Received {
    std::mutex mutex;
    std::vector<std::pair<MessageWParam, MessageLParam>> messages;

    void add(MessageWParam w, MessageLParam l) {
        std::lock_guard<std::mutex> lock(mutex);
        messages.emplace_back(w, l);
    }
    std::size_t size() {
        std::lock_guard<std::mutex> lock(mutex);
        return messages.size();
    }
};

TEST(NotificationWindow, DeliversEveryPairInOrder) {
    Received received;
    unsigned int seen_message = 0;
    NotificationWindow window([&](unsigned int message, MessageWParam w, MessageLParam l) {
        seen_message = message;
        received.add(w, l);
    });
    for (MessageWParam i = 0; i < 50; ++i) {
        send_callback_message(window.handle(), 0xC123, 0x10000 + i, static_cast<MessageLParam>(i));
    }
    ASSERT_TRUE(wait_for([&] { return received.size() == 50; }));
    std::lock_guard<std::mutex> lock(received.mutex);
    for (std::size_t i = 0; i < 50; ++i) {
        EXPECT_EQ(received.messages[i].first, 0x10000 + i);
        EXPECT_EQ(received.messages[i].second, static_cast<MessageLParam>(i));
    }
    EXPECT_EQ(seen_message, 0xC123u);
}

TEST(NotificationWindow, HungHandlerDoesNotHoldTheSenderAndLosesNothing) {
    std::atomic<bool> release{false};
    Received received;
    NotificationWindow window([&](unsigned int, MessageWParam w, MessageLParam l) {
        while (!release) {
            std::this_thread::yield();
        }
        received.add(w, l);
    });
    // Each send gives up after its time-out while the handler hangs.
    EXPECT_FALSE(send_callback_message(window.handle(), 1, 1, 0));
    EXPECT_FALSE(send_callback_message(window.handle(), 1, 2, 0));
    release = true;
    ASSERT_TRUE(wait_for([&] { return received.size() == 2; }));
    EXPECT_EQ(received.messages[0].first, 1u);
    EXPECT_EQ(received.messages[1].first, 2u);
    EXPECT_TRUE(send_callback_message(window.handle(), 1, 3, 0));
}

TEST(NotificationWindow, QueueIsBoundedWhileTheHandlerHangs) {
    constexpr MessageWParam kMarker = 0xFFFF;
    std::atomic<bool> started{false};
    std::atomic<bool> release{false};
    std::atomic<int> handled{0};
    std::atomic<int> handled_at_marker{-1};
    NotificationWindow window([&](unsigned int, MessageWParam w, MessageLParam) {
        started = true;
        while (!release) {
            std::this_thread::yield();
        }
        ++handled;
        if (w == kMarker) {
            handled_at_marker = handled.load();
        }
    });
    const auto no_wait = std::chrono::milliseconds(0);
    NotificationWindow::send(window.handle(), 1, 0, 0, no_wait);
    ASSERT_TRUE(wait_for([&] { return started.load(); }));
    for (std::size_t i = 0; i < NotificationWindow::kMaxQueued + 5; ++i) {
        NotificationWindow::send(window.handle(), 1, i, 0, no_wait);
    }
    release = true;
    ASSERT_TRUE(wait_for([&] { return handled == int(NotificationWindow::kMaxQueued) + 1; }));
    send_callback_message(window.handle(), 1, kMarker, 0);
    // FIFO: the marker comes after the hung message and the kMaxQueued accepted ones only.
    ASSERT_TRUE(wait_for([&] { return handled_at_marker != -1; }));
    EXPECT_EQ(handled_at_marker, int(NotificationWindow::kMaxQueued) + 2);
}

TEST(NotificationWindow, HandleOfADestroyedWindowIsHarmless) {
    WindowHandle stale = nullptr;
    {
        NotificationWindow window([](unsigned int, MessageWParam, MessageLParam) {});
        stale = window.handle();
        EXPECT_TRUE(send_callback_message(stale, 1, 0, 0));
    }
    EXPECT_FALSE(send_callback_message(stale, 1, 0, 0));
    EXPECT_FALSE(send_callback_message(reinterpret_cast<WindowHandle>(0x7777), 1, 0, 0));
}

}  // namespace

#endif
