#pragma once

#include <windows.h>

#include <vector>

// Access to the data every process that maps the library shares: the message filter and the
// notify window. Both start at zero, so nothing is forwarded until they are set.
namespace omvar::Snarel::detail {

inline constexpr unsigned int messageFilterSize = 32768;

// One byte read: the hook procedures ask this for every message of HAMLOG's thread.
bool filterSelects(unsigned int message);

void replaceFilter(const std::vector<unsigned int>& messages);

HWND notifyWindow();

void storeNotifyWindow(HWND window);

}  // namespace omvar::Snarel::detail
