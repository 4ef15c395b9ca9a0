#include "Instrument.h"

#include <stdexcept>

#include "ControlProtocol.h"

namespace omvar::sim::hamlog {

namespace {

constexpr int kFloodBatch = 1000;  // well below the queue's limit of posted messages

bool isBenchKey(const MSG& msg) {
    return (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP || msg.message == WM_NULL) &&
           (static_cast<std::uint32_t>(msg.lParam) & kBenchKeyBit) != 0;
}

LRESULT CALLBACK passThrough(int code, WPARAM wParam, LPARAM lParam) {
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void Instrument::setPassThroughHook(bool on) {
    if (!on) {
        passThroughHook_.reset();
    } else if (!passThroughHook_) {
        passThroughHook_.reset(
            SetWindowsHookExW(WH_GETMESSAGE, passThrough, nullptr, GetCurrentThreadId()));
        if (!passThroughHook_) {
            throw std::runtime_error("SetWindowsHookExW failed");
        }
    }
}

bool Instrument::request(bool keys, HWND target, int count, UINT key) {
    if (state_ == State::requested || state_ == State::running) {
        return false;
    }
    keys_ = keys;
    target_ = target;
    count_ = count;
    key_ = key;
    state_ = State::requested;
    return true;
}

void Instrument::runRequested() {
    if (state_ != State::requested) {
        return;
    }
    state_ = State::running;
    samples_.clear();
    floodNanoseconds_ = 0;
    if (keys_) {
        runKeys();
    } else {
        runFlood();
    }
    state_ = State::done;
}

void Instrument::runKeys() {
    const UINT scan = MapVirtualKeyW(key_, MAPVK_VK_TO_VSC) & 0xFF;
    samples_.reserve(static_cast<std::size_t>(count_));
    for (int i = 0; i < count_; ++i) {
        const bool up = (i % 2) != 0;
        std::uint32_t lParam = 1 | (scan << 16) | kBenchKeyBit;
        if (up) {
            lParam |= (1u << 30) | (1u << 31);
        }
        if (!PostMessageW(target_, up ? WM_KEYUP : WM_KEYDOWN, key_,
                          static_cast<LPARAM>(static_cast<std::int32_t>(lParam)))) {
            return;
        }
        for (;;) {
            MSG msg;
            const std::int64_t start = now();
            if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
                PostQuitMessage(0);  // hand the quit on to the main loop
                return;
            }
            const bool mine = isBenchKey(msg);
            if (mine) {
                samples_.push_back(nanosecondsSince(start));
            }
            dispatch_(msg);
            if (mine) {
                break;
            }
        }
    }
}

void Instrument::runFlood() {
    const std::int64_t start = now();
    int done = 0;
    while (done < count_) {
        const int batch = count_ - done < kFloodBatch ? count_ - done : kFloodBatch;
        for (int i = 0; i < batch; ++i) {
            PostMessageW(target_, kFloodMessage, 0, 0);
        }
        int retrieved = 0;
        while (retrieved < batch) {
            MSG msg;
            if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
                PostQuitMessage(0);
                return;
            }
            if (msg.message == kFloodMessage) {
                ++retrieved;
            }
            dispatch_(msg);
        }
        done += batch;
    }
    floodNanoseconds_ = nanosecondsSince(start);
}

std::wstring Instrument::result() const {
    switch (state_) {
        case State::idle:
            return L"idle";
        case State::requested:
        case State::running:
            return L"running";
        case State::done:
            break;
    }
    if (!keys_) {
        return L"flood " + std::to_wstring(count_) + L" " + std::to_wstring(floodNanoseconds_);
    }
    std::wstring text = L"keys";
    for (std::int64_t sample : samples_) {
        text += L' ';
        text += std::to_wstring(sample);
    }
    return text;
}

std::int64_t Instrument::now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

std::int64_t Instrument::nanosecondsSince(std::int64_t start) const {
    const std::int64_t ticks = now() - start;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<std::int64_t>(static_cast<long double>(ticks) * 1e9L /
                                     static_cast<long double>(frequency.QuadPart));
}

}  // namespace omvar::sim::hamlog
