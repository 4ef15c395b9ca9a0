// Linked into every test program. libstdc++ itself is not built with ThreadSanitizer, so the
// reference count of an exception handed from one thread to another through a promise is
// invisible to it: the thread that drops the last reference seems to race with the thread that
// looked at the exception before. Only reports through that release are suppressed.
#if defined(__SANITIZE_THREAD__)
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions() {
    return "race:std::__exception_ptr::exception_ptr::_M_release\n";
}
#endif
