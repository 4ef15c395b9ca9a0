#pragma once

#include <spdlog/logger.h>

#include <memory>

// The interface library's two loggers: "quentrax" for the exported functions' lines and
// "qxpacket" for the packet trace. Both live in the library's own logger registry, where the
// device objects look them up by name, and can be replaced by the host's loggers.
namespace omvar::quentrax {

// At load: console-only loggers, the operations logger silenced (critical) until the host
// hands over its own loggers or sets a level.
void create_library_loggers();

// The current "quentrax" logger; never null once the loggers exist.
std::shared_ptr<spdlog::logger> interface_logger();

// quentraxSetLogger: takes over a logger named "quentrax" or "qxpacket"; anything else is
// refused with an error line.
void replace_library_logger(std::shared_ptr<spdlog::logger> logger);

// quentraxSetLogLevel: both loggers, in spdlog's numbering (0 trace .. 6 off).
void set_library_log_level(int level);

// At unload: forgets both loggers and shuts the library's registry down.
void shutdown_library_loggers();

}  // namespace omvar::quentrax
