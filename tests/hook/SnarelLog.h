#pragma once

#include "CapturingSink.h"
#include "Snarel.h"

namespace snarel_test {

// The "Snarel" logger this program hands to the library once; tests that hand over another
// one give this one back.
inline const std::pair<std::shared_ptr<spdlog::logger>,
                       std::shared_ptr<testing_support::CapturingSink>>&
snarelLog() {
    static const auto log = [] {
        auto made = testing_support::capturing_logger("Snarel");
        omvar::Snarel::SetLogger(made.first);
        return made;
    }();
    return log;
}

}  // namespace snarel_test
