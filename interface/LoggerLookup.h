#pragma once

#include <spdlog/logger.h>

#include <memory>
#include <string>

namespace omvar::quentrax {

// The registered logger of that name, or a logger without sinks when none is registered, so
// that a host that never set up logging still gets a working (silent) library.
std::shared_ptr<spdlog::logger> find_logger(const std::string& name);

}  // namespace omvar::quentrax
