#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace omvar::Vetrin {

// An open file (or other kernel object), closed when the holder goes.
struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using FileHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

}  // namespace omvar::Vetrin
