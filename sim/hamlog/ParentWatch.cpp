#include "ParentWatch.h"

namespace omvar::sim::hamlog {

ParentWatch::ParentWatch(DWORD parentProcess, HWND windowToClose)
    : parent_(parentProcess == 0 ? nullptr : OpenProcess(SYNCHRONIZE, FALSE, parentProcess)),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!parent_ || !stop_) {
        return;
    }
    thread_ = std::thread([this, windowToClose] {
        const HANDLE handles[] = {parent_.get(), stop_.get()};
        if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0) {
            PostMessageW(windowToClose, WM_CLOSE, 0, 0);
        }
    });
}

ParentWatch::~ParentWatch() {
    if (thread_.joinable()) {
        SetEvent(stop_.get());
        thread_.join();
    }
}

}  // namespace omvar::sim::hamlog
