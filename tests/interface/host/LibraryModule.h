#pragma once

// Loading, looking up and unloading a library at run time, as a host program of another
// logger's author does: LoadLibraryW/GetProcAddress/FreeLibrary on Windows, dlopen/dlsym/dlclose
// natively.
#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace host {

#ifdef _WIN32
using Library = HMODULE;
inline Library load_library(const wchar_t* path) {
    return LoadLibraryW(path);
}
inline void* find_function(Library library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(library, name));
}
inline bool unload_library(Library library) {
    return FreeLibrary(library) != 0;
}
#else
using Library = void*;
inline Library load_library(const char* path) {
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}
inline void* find_function(Library library, const char* name) {
    return dlsym(library, name);
}
inline bool unload_library(Library library) {
    return dlclose(library) == 0;
}
#endif

template <typename F>
F function(Library library, const char* name) {
    return reinterpret_cast<F>(find_function(library, name));
}

}  // namespace host
