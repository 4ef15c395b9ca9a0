#pragma once

// Windows only.
#include <windows.h>

#include <memory>
#include <type_traits>

namespace omvar::win32 {

// Calls `Release` on the handle it is given; the deleter of the holders below. A function
// pointer as template argument keeps its calling convention (standard call on i686).
template <auto Release>
struct Releaser {
    template <typename H>
    void operator()(H handle) const {
        Release(handle);
    }
};

// Owners of one system object each, released when the owner goes. A null handle owns nothing;
// whoever opens a file turns INVALID_HANDLE_VALUE into null first.
template <typename H, auto Release>
using UniqueObject = std::unique_ptr<std::remove_pointer_t<H>, Releaser<Release>>;

using UniqueHandle = UniqueObject<HANDLE, &CloseHandle>;  // file, process, thread, event
using UniqueModule = UniqueObject<HMODULE, &FreeLibrary>;
using UniqueHook = UniqueObject<HHOOK, &UnhookWindowsHookEx>;
using UniqueWindow = UniqueObject<HWND, &DestroyWindow>;
template <typename GdiObject>  // HFONT, HBITMAP, HBRUSH, HPEN...
using UniqueGdiObject = UniqueObject<GdiObject, &DeleteObject>;

// An opened file's handle as an owner: CreateFileW tells failure by INVALID_HANDLE_VALUE.
inline UniqueHandle ownFileHandle(HANDLE opened) {
    return UniqueHandle(opened == INVALID_HANDLE_VALUE ? nullptr : opened);
}

}  // namespace omvar::win32
