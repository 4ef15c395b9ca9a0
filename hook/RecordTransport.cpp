#include "RecordTransport.h"

#include <atomic>

namespace omvar::Snarel::detail {

unsigned int messageDataId() {
    static std::atomic<unsigned int> cached{0};
    unsigned int id = cached.load(std::memory_order_relaxed);
    if (id == 0) {
        id = RegisterWindowMessageW(L"Snarel.dll {5cb9a8aa-dc41-f664-1150-ae84ffa47770}");
        cached.store(id, std::memory_order_relaxed);
    }
    return id;
}

std::optional<LRESULT> sendRecord(HWND receiver, const HookMessageRecord& record) {
    COPYDATASTRUCT data{};
    data.dwData = messageDataId();
    data.cbData = sizeof record;
    data.lpData = const_cast<HookMessageRecord*>(&record);
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutW(receiver, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                            SMTO_ABORTIFHUNG, 1000, &answer) == 0) {
        return std::nullopt;
    }
    return static_cast<LRESULT>(answer);
}

}  // namespace omvar::Snarel::detail
