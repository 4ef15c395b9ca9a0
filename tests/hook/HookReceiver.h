#pragma once

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "HookMessageRecord.h"

namespace snarel_test {

// The program's side of the record channel: a hidden top-level window on its own thread with a
// message loop, keeping every record it gets and answering as the test tells it.
class HookReceiver {
public:
    using Answer = std::function<LRESULT(const omvar::Snarel::HookMessageRecord&)>;

    HookReceiver();
    ~HookReceiver();
    HookReceiver(const HookReceiver&) = delete;
    HookReceiver& operator=(const HookReceiver&) = delete;

    HWND window() const { return window_; }

    // Runs on the receiver's thread for every record; the default answers 0.
    void answerWith(Answer answer);

    std::vector<omvar::Snarel::HookMessageRecord> records();
    // Records of kind message with the given message identifier.
    std::vector<omvar::Snarel::HookMessageRecord> messages(UINT message);
    // WM_COPYDATA payloads without the library's tag or of another size.
    int foreignPayloads();
    void clear();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void run();
    LRESULT onCopyData(const COPYDATASTRUCT& data);

    unsigned int dataId_;
    HWND window_ = nullptr;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable ready_;
    Answer answer_;
    std::vector<omvar::Snarel::HookMessageRecord> records_;
    int foreign_ = 0;
};

}  // namespace snarel_test
