#pragma once

#include <windows.h>

#include <thread>

#include "UniqueHandle.h"

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
    UniqueHandle parent_;
    UniqueHandle stop_;
    std::thread thread_;
};

}  // namespace omvar::sim::hamlog
