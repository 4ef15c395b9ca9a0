#pragma once

#include <string>

namespace omvar::sim {

// Error texts as hidapi 0.13.1 of the platform builds them.
#ifdef _WIN32
// "<op>: (0x%08X) <system text>" for a Win32 error, trailing CR, LF and blanks removed.
std::wstring winapi_error_text(const wchar_t* operation, unsigned long code);
#else
// strerror(code), decoded as hidapi decodes it (current locale).
std::wstring errno_error_text(int code);
std::wstring narrow_error_text(const std::string& text);
#endif

}  // namespace omvar::sim
