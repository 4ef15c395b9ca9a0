#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>
#include <vector>

#include "DummyWindow.h"

namespace {

using omvar::Vetrin::DummyWindow;

LRESULT sendCopyData(HWND window, ULONG_PTR tag) {
    COPYDATASTRUCT data{};
    data.dwData = tag;
    return SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

TEST(DummyWindow, HandlersAnswerAndTheirExceptionsStopAtTheWindow) {
    DummyWindow::Holder window = DummyWindow::create();
    ASSERT_NE(window->handle(), nullptr);
    EXPECT_FALSE(IsWindowVisible(window->handle()));
    EXPECT_EQ(sendCopyData(window->handle(), 1), 0);  // the default answers 0

    std::vector<UINT> hooked;
    window->setCopyDataHandler([](HWND, const COPYDATASTRUCT* data) {
        if (data->dwData == 2) {
            throw std::runtime_error("handler failed");
        }
        return static_cast<int>(data->dwData) * 10;
    });
    window->setMessageHook([&](UINT message, WPARAM, LPARAM) {
        hooked.push_back(message);
        if (message == WM_USER + 2) {
            throw std::logic_error("hook failed");
        }
    });
    EXPECT_EQ(sendCopyData(window->handle(), 3), 30);
    EXPECT_EQ(sendCopyData(window->handle(), 2), 0);
    SendMessageW(window->handle(), WM_USER + 1, 0, 0);
    SendMessageW(window->handle(), WM_USER + 2, 0, 0);
    SendMessageW(window->handle(), WM_USER + 3, 0, 0);
    EXPECT_EQ(hooked, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3}));

    // An empty handler is the default again.
    window->setCopyDataHandler(nullptr);
    window->setMessageHook(nullptr);
    EXPECT_EQ(sendCopyData(window->handle(), 3), 0);
    SendMessageW(window->handle(), WM_USER + 1, 0, 0);
    EXPECT_EQ(hooked.size(), 3u);

    HWND handle = window->handle();
    window.reset();
    EXPECT_FALSE(IsWindow(handle));
}

TEST(DummyWindow, AWindowDestroyedElsewhereIsForgotten) {
    DummyWindow::Holder window = DummyWindow::create();
    ASSERT_TRUE(DestroyWindow(window->handle()));
    EXPECT_EQ(window->handle(), nullptr);
    window.reset();  // destroys nothing that may carry the handle now
}

}  // namespace
