#pragma once

#include <windows.h>

#include <cstdint>

// The control channel between the HAMLOG stand-in and the programs that drive it: one
// message-only window per stand-in process takes text commands as WM_COPYDATA and answers
// with a WM_COPYDATA to the window given as the command's wParam (see README.md).
namespace omvar::sim::hamlog {

inline constexpr wchar_t kControlWindowClass[] = L"VetrinHamlogStandInControl";
inline constexpr wchar_t kStandInExe[] = L"hamlog_standin.exe";

// COPYDATASTRUCT::dwData of a command (UTF-16 text without terminator) and of its answer.
inline constexpr ULONG_PTR kCommandTag = 0x484C4331;  // "HLC1"
inline constexpr ULONG_PTR kReplyTag = 0x484C5231;    // "HLR1"

// Bit 25 of a keystroke lParam is reserved by the system; the stand-in marks the key messages
// it posts to itself with it, so its message loop can tell them from real input after a hook
// has seen (and maybe swallowed) them.
inline constexpr std::uint32_t kSyntheticKeyBit = 1u << 25;
inline constexpr std::uint32_t kBenchKeyBit = 1u << 26;

// The key and character messages the stand-in logs, under the names the `keys` answer gives
// them; the stand-in writes and the client reads that answer with this one table.
struct KeyMessageName {
    UINT message;
    const wchar_t* name;
};
inline constexpr KeyMessageName kKeyMessageNames[] = {
    {WM_KEYDOWN, L"keydown"},   {WM_KEYUP, L"keyup"}, {WM_SYSKEYDOWN, L"syskeydown"},
    {WM_SYSKEYUP, L"syskeyup"}, {WM_CHAR, L"char"},   {WM_SYSCHAR, L"syschar"},
};

}  // namespace omvar::sim::hamlog
