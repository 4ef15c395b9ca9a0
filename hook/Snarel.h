#pragma once

#include <windows.h>

#include <memory>
#include <vector>

namespace spdlog {
class logger;
}

// Callers get plain declarations, not dllimport ones: the test programs link the import library,
// whose thunks serve plain calls, and the program links a loader of its own under the same names
// that loads the library at its first call.
#ifdef SNAREL_BUILDING
#define SNAREL_API __declspec(dllexport)
#else
#define SNAREL_API
#endif

// The hook library's exports. The library and its user must be built with the same compiler
// and runtime, since standard-library types cross the boundary.
//
// No exception leaves these functions. In the 32-bit build every module carries its own copy of
// the unwinder, which knows only its own module's frames: an exception thrown here towards the
// caller would end the process. Failures come back as results and as error lines on the
// library's logger.
namespace omvar::Snarel {

// Starts the watcher thread that finds HAMLOG and hooks its GUI thread; does nothing while a
// watcher runs. False when the thread could not be started. The receiver acknowledges the
// records of installed and removed hooks with a nonzero answer; until it does, they are sent
// again.
SNAREL_API bool StartHook();

// Stops forwarding and the watcher, which removes the hooks on its way out: they belong to the
// thread that set them. False when no retrieval hook was installed or it could not be removed.
SNAREL_API bool StopHook();

// The receiver of the records, shared with every process that maps the library; null stops
// all forwarding.
SNAREL_API void SetNotifyWindow(HWND window);

// The tag that marks the records in COPYDATASTRUCT::dwData.
SNAREL_API unsigned int GetMessageDataId();

// Replaces the shared selection of forwarded message identifiers by exactly these; identifiers
// of 32768 and above are ignored.
SNAREL_API void SetMessageFilter(const std::vector<unsigned int>& messages);

// Hands over the application's logger, which must be named "Snarel". False for a null logger
// or another name ("SetLogger: logger is null", "SetLogger: Please set Snarel logger" on the
// current logger), which keeps the current one.
SNAREL_API bool SetLogger(std::shared_ptr<spdlog::logger> logger);

}  // namespace omvar::Snarel
