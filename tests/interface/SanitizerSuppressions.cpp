// libstdc++ is not built with ThreadSanitizer: the reference count of an exception carried by a
// future from the reader thread to the caller is invisible to it, so freeing the exception on
// the thread that drops the last reference looks like a race with the caller's catch block.
#if defined(__SANITIZE_THREAD__)
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions() {
    return "race:std::__exception_ptr::exception_ptr::_M_release\n";
}
#endif
