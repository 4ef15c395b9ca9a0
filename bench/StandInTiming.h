#pragma once

// Timing runs of the HAMLOG stand-in (its `bench` commands) and their summaries, shared by the
// benchmarks that measure what hooks cost HAMLOG's GUI thread.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "HamlogControl.h"
#include "Percentile.h"

namespace bench {

// Waits for the stand-in's timing run; handles messages sent to this thread meanwhile.
inline std::wstring awaitResult(omvar::sim::hamlog::HamlogControl& hamlog) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    for (;;) {
        std::wstring result = hamlog.command(L"bench result");
        if (result != L"running") {
            return result;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("the stand-in's timing run did not finish");
        }
        omvar::sim::hamlog::HamlogControl::pumpSentMessages(std::chrono::milliseconds(10));
    }
}

// Runs `count` key messages (down, up, ... of F5 or the key given) posted to the named window
// one at a time and appends the time GetMessage took for each, in microseconds.
inline void appendKeyTimesMicroseconds(omvar::sim::hamlog::HamlogControl& hamlog,
                                       const std::wstring& window, int count,
                                       std::vector<double>& times, UINT key = VK_F5) {
    hamlog.command(L"bench keys " + window + L" " + std::to_wstring(count) + L" " +
                   std::to_wstring(key));
    std::wistringstream words(awaitResult(hamlog));
    std::wstring kind;
    words >> kind;
    int received = 0;
    for (long long ns; words >> ns; ++received) {
        times.push_back(static_cast<double>(ns) / 1000.0);
    }
    if (kind != L"keys" || received != count) {
        throw std::runtime_error("unexpected key timing result");
    }
}

struct Summary {
    double median;
    double p99;
    double min;
    double max;
};

inline Summary summarize(std::vector<double> times) {
    const double median = nearest_rank(times, 0.5);
    const double p99 = nearest_rank(times, 0.99);
    const auto [min, max] = std::minmax_element(times.begin(), times.end());
    return {median, p99, *min, *max};
}

inline void printSummary(const char* label, const Summary& s, const char* unit = "us") {
    std::printf("  %-34s median %8.1f %s   p99 %8.1f %s   min %8.1f %s   max %8.1f %s\n", label,
                s.median, unit, s.p99, unit, s.min, unit, s.max, unit);
}

inline std::string platform() {
    using WineVersion = const char*(CDECL*)();
    const auto version = reinterpret_cast<WineVersion>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    return version != nullptr
               ? std::string("Wine ") + version() + " (not Windows: figures are Wine's)"
               : std::string("Windows");
}

}  // namespace bench
