#pragma once

#include <windows.h>

#include <memory>
#include <vector>

namespace spdlog {
class logger;
}

#ifdef SNAREL_BUILDING
#define SNAREL_API __declspec(dllexport)
#else
#define SNAREL_API __declspec(dllimport)
#endif

// The hook library's exports. The library and its user must be built with the same compiler
// and runtime, since standard-library types cross the boundary.
namespace omvar::Snarel {

// Starts the watcher thread that finds HAMLOG and hooks its GUI thread; does nothing while a
// watcher runs.
SNAREL_API void StartHook();

// Stops forwarding and the watcher and removes the hooks. False when no retrieval hook was
// installed or it could not be removed.
SNAREL_API bool StopHook();

// The receiver of the records, shared with every process that maps the library; null stops
// all forwarding.
SNAREL_API void SetNotifyWindow(HWND window);

// The tag that marks the records in COPYDATASTRUCT::dwData.
SNAREL_API unsigned int GetMessageDataId();

// Replaces the shared selection of forwarded message identifiers by exactly these; identifiers
// of 32768 and above are ignored.
SNAREL_API void SetMessageFilter(const std::vector<unsigned int>& messages);

// Hands over the application's logger, which must be named "Snarel"; throws
// std::runtime_error otherwise and keeps the current one.
SNAREL_API void SetLogger(std::shared_ptr<spdlog::logger> logger);

}  // namespace omvar::Snarel
