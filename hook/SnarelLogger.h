#pragma once

#include <spdlog/logger.h>

#include <memory>

// The library's logger: a silent console logger of its own until the application hands over
// its "Snarel" logger.
namespace omvar::Snarel::detail {

// At process attach: the library's own "Snarel" logger at level critical, registered in the
// library's registry.
void createInitialLogger();

// Never null.
std::shared_ptr<spdlog::logger> logger();

// Checks and installs the application's logger; throws std::runtime_error on a bad one and
// keeps the current logger.
void replaceLogger(std::shared_ptr<spdlog::logger> next);

// At process detach: the library's registry lets go of its loggers.
void shutdownLogging();

}  // namespace omvar::Snarel::detail
