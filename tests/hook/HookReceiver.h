#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <vector>

#include "HookMessageRecord.h"
#include "MessageWindowThread.h"
#include "Snarel.h"

namespace snarel_test {

// The program's side of the record channel: a window on its own thread with a message loop,
// keeping every record it gets and answering as the test tells it.
class HookReceiver {
public:
    using Answer = std::function<LRESULT(const omvar::Snarel::HookMessageRecord&)>;

    HWND window() const { return thread_.window(); }

    // Runs on the receiver's thread for every message record; the default answers 0. The
    // announcements of installed and removed hooks are always acknowledged.
    void answerWith(Answer answer);

    std::vector<omvar::Snarel::HookMessageRecord> records();
    // Records of kind message with the given message identifier.
    std::vector<omvar::Snarel::HookMessageRecord> messages(UINT message);
    // WM_COPYDATA payloads without the library's tag or of another size.
    int foreignPayloads();
    void clear();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onCopyData(const COPYDATASTRUCT& data);

    const unsigned int dataId_ = omvar::Snarel::GetMessageDataId();
    std::mutex mutex_;
    Answer answer_;
    std::vector<omvar::Snarel::HookMessageRecord> records_;
    int foreign_ = 0;
    // Last, so everything above exists while the window gets records.
    testing_support::MessageWindowThread thread_{L"SnarelTestReceiver", windowProc, this};
};

}  // namespace snarel_test
