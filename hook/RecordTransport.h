#pragma once

#include <windows.h>

#include <optional>

#include "HookMessageRecord.h"

namespace omvar::Snarel::detail {

// The registered identifier of "Snarel.dll {5cb9a8aa-dc41-f664-1150-ae84ffa47770}", registered
// on first use in this process and cached.
unsigned int messageDataId();

// Sends the record to the receiver as WM_COPYDATA and waits at most 1000 ms. Returns the
// receiver's answer, or nothing when the send failed or timed out (the record is then lost).
std::optional<LRESULT> sendRecord(HWND receiver, const HookMessageRecord& record);

}  // namespace omvar::Snarel::detail
