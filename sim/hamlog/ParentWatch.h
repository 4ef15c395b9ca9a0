#pragma once

#include <windows.h>

#include <thread>

#include "win32/UniqueHandles.h"

namespace omvar::sim::hamlog {

// Closes the given window when the driving process ends, so a stand-in never outlives a test
// that crashed.
class ParentWatch {
public:
    ParentWatch(DWORD parentProcess, HWND windowToClose);
    ~ParentWatch();
    ParentWatch(const ParentWatch&) = delete;
    ParentWatch& operator=(const ParentWatch&) = delete;

private:
    win32::UniqueHandle parent_;
    win32::UniqueHandle stop_;
    std::thread thread_;
};

}  // namespace omvar::sim::hamlog
