#pragma once

#include <spdlog/logger.h>
#include <spdlog/spdlog.h>

#include <memory>
#include <string>

namespace omvar::Vetrin {

// The registered logger of that name, or one that writes nowhere when logging has not been set
// up (tests that do not look at the log).
inline std::shared_ptr<spdlog::logger> namedLogger(const std::string& name) {
    if (auto logger = spdlog::get(name)) {
        return logger;
    }
    return std::make_shared<spdlog::logger>(name);
}

}  // namespace omvar::Vetrin
