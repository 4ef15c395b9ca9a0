#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>

namespace omvar::Snarel::detail {

// Proves the hooks alive while HAMLOG is quiet. Any message the hook procedures take up counts;
// after a while without one a probe (a tagged WM_NULL) is posted to HAMLOG's application
// window, and the retrieval hook notes it in the shared section as it passes. A probe that does
// not come through while HAMLOG answers sent messages means the hooks are gone; one held up by
// a busy or hung HAMLOG is only waited for. Only the watcher's thread uses it.
class LivenessProbe {
public:
    // New hooks: alive from now.
    void restart(std::chrono::steady_clock::time_point now);
    // True when the hooks on HAMLOG's thread are found dead.
    bool hooksDead(HWND application, std::chrono::steady_clock::time_point now);

private:
    void post(HWND application, std::chrono::steady_clock::time_point now);

    std::uint32_t activity_ = 0;
    std::chrono::steady_clock::time_point aliveAt_{};
    std::uint32_t sequence_ = 0;
    std::optional<std::chrono::steady_clock::time_point> sentAt_;
    bool answered_ = false;  // HAMLOG answered a sent message while the probe was out
};

}  // namespace omvar::Snarel::detail
