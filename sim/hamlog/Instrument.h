#pragma once

#include "win32/UniqueHandles.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace omvar::sim::hamlog {

// Timing runs for the hook benchmark, made on the GUI thread with its own message loop:
//   keys:  posts key-down/key-up messages of one key (F5 unless another is asked for) one at a
//          time to a window and takes, for each, the
//          time GetMessage needs to return it (the message is already queued, so this is the
//          time the thread's retrieval hooks keep it);
//   flood: posts messages of an identifier no hook filter selects, in batches, and takes the
//          time to retrieve and dispatch all of them.
// A run starts when the control window handles the request, not inside the command that asks
// for it, so the asking program is not held while it runs.
class Instrument {
public:
    static constexpr UINT kFloodMessage = WM_USER + 0x123;

    explicit Instrument(std::function<void(MSG&)> dispatch) : dispatch_(std::move(dispatch)) {}

    // False while a run is requested or running. A keys run posts this key (F5 unless given).
    bool request(bool keys, HWND target, int count, UINT key = VK_F5);
    bool requested() const { return state_ == State::requested; }
    void runRequested();

    // "idle", "running", "keys <ns> <ns> ...", or "flood <count> <ns>".
    std::wstring result() const;

    // A retrieval hook of the stand-in's own that only passes messages on: the cost of being
    // hooked at all, to compare a filtering hook with.
    void setPassThroughHook(bool on);

private:
    enum class State { idle, requested, running, done };

    void runKeys();
    void runFlood();
    std::int64_t nanosecondsSince(std::int64_t start) const;
    static std::int64_t now();

    std::function<void(MSG&)> dispatch_;
    win32::UniqueHook passThroughHook_;
    State state_ = State::idle;
    bool keys_ = true;
    HWND target_ = nullptr;
    int count_ = 0;
    UINT key_ = VK_F5;
    std::vector<std::int64_t> samples_;
    std::int64_t floodNanoseconds_ = 0;
};

}  // namespace omvar::sim::hamlog
