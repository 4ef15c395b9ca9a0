#pragma once

#include <windows.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

namespace omvar::Snarel {

enum class HookRecordKind : std::uint32_t {
    hooksInstalled = 1,
    hooksRemoved = 2,
    message = 3,
};

// The record that crosses from HAMLOG's process as WM_COPYDATA payload: 44 bytes,
// little-endian, every field 32 bits wide on both the 32-bit and the 64-bit build.
struct HookMessageRecord {
    HookRecordKind kind;
    std::uint32_t hookParam;  // PM_REMOVE/PM_NOREMOVE, or "sent by the hooked thread"
    std::uint32_t hwnd;
    std::uint32_t message;
    std::uint32_t wParam;
    std::uint32_t lParam;
    std::uint32_t time;
    std::int32_t ptX;
    std::int32_t ptY;
    std::uint32_t focusWindow;
    std::uint8_t post;  // 0 = taken from the queue, 1 = after the window procedure
    std::uint8_t reserved[3];
};

static_assert(std::endian::native == std::endian::little);
static_assert(sizeof(HookMessageRecord) == 44);
static_assert(offsetof(HookMessageRecord, kind) == 0);
static_assert(offsetof(HookMessageRecord, hookParam) == 4);
static_assert(offsetof(HookMessageRecord, hwnd) == 8);
static_assert(offsetof(HookMessageRecord, message) == 12);
static_assert(offsetof(HookMessageRecord, wParam) == 16);
static_assert(offsetof(HookMessageRecord, lParam) == 20);
static_assert(offsetof(HookMessageRecord, time) == 24);
static_assert(offsetof(HookMessageRecord, ptX) == 28);
static_assert(offsetof(HookMessageRecord, ptY) == 32);
static_assert(offsetof(HookMessageRecord, focusWindow) == 36);
static_assert(offsetof(HookMessageRecord, post) == 40);
static_assert(offsetof(HookMessageRecord, reserved) == 41);

// Window handles are 32-bit significant on 64-bit Windows; the system sign-extends them when
// it widens them, and so do we.
inline std::uint32_t handleToWire(HWND window) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window));
}

inline HWND handleFromWire(std::uint32_t value) {
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)));
}

// The record carried by a WM_COPYDATA payload, or nothing when the payload has another size.
inline std::optional<HookMessageRecord> readHookRecord(const COPYDATASTRUCT& data) {
    if (data.cbData != sizeof(HookMessageRecord) || data.lpData == nullptr) {
        return std::nullopt;
    }
    HookMessageRecord record;
    std::memcpy(&record, data.lpData, sizeof record);
    return record;
}

}  // namespace omvar::Snarel
