#pragma once

#include <windows.h>

#include <cstdint>
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

// Written by the hook procedures in HAMLOG's process, read by the watcher: a message taken up
// by the filter, and a probe seen passing the retrieval hook.
void noteActivity();
std::uint32_t activity();
void noteProbe(std::uint32_t sequence);
std::uint32_t probeSeen();

}  // namespace omvar::Snarel::detail
