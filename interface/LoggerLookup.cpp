#include "LoggerLookup.h"

#include <spdlog/spdlog.h>

namespace omvar::quentrax {

std::shared_ptr<spdlog::logger> find_logger(const std::string& name) {
    if (auto logger = spdlog::get(name)) {
        return logger;
    }
    return std::make_shared<spdlog::logger>(name);
}

}  // namespace omvar::quentrax
