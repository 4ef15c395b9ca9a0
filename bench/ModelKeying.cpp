// The model's keying over an emulated unit, read back from the unit's key timeline.
//   continuity: a 200-character message (letters, digits, prosigns, word spaces) at 5, 20, 35
//     and 50 WPM with the default pacing (M = 3, T = 1) and with M = 1, T = 0: gaps longer than
//     the standard spacing by more than one dot, and the keying time against the ideal one.
//   stop: clearSendBuffer at 50 random moments during keying at 20 and 50 WPM: time from the
//     call to the last key-up, elements started after the call.
// Usage: bench_model_keying [continuity|stop|all] [wpm...]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ModelBench.h"
#include "Percentile.h"
#include "MorseCode.h"
#include "PlayingUnits.h"
#include "UnitTimeline.h"

using namespace std::chrono;
using bench::percentile;
using omvar::sim::EmuClock;
using testing_support::wait_for;

namespace {

// Words until the message has 200 elements (a prosign is one), never ending in a blank.
std::wstring continuityMessage() {
    const std::vector<std::wstring> words = {
        L"CQ",   L"TEST", L"DE",  L"XX9XXX/1", L"[AR]", L"QRZ?", L"UR",   L"599",    L"5NN", L"NR",
        L"0123", L"[KN]", L"TNX", L"FB",       L"QSO",  L"73",   L"[VA]", L"456789", L"PSE", L"K",
        L"[BK]", L"RST",  L"QTH", L"TOKYO",    L"NAME", L"HIRO", L"WX",   L"FINE"};
    std::wstring text;
    int count = 0;
    for (std::size_t i = 0;; ++i) {
        const std::wstring& word = words[i % words.size()];
        const int length = word.front() == L'[' ? 1 : static_cast<int>(word.size());
        if (count > 0) {
            if (count + 1 + length > 200) {
                break;
            }
            text += L' ';
            ++count;
        }
        text += word;
        count += length;
    }
    while (count < 200) {  // fill up with letters
        text += L'E';
        ++count;
    }
    return text;
}

struct KeyedElement {
    double down;  // ms since the first edge
    double up;
};

// The elements the unit keyed, in order; a key still down at the end is left out.
std::vector<KeyedElement> keyedElements(const omvar::sim::QuentraxUnit& unit) {
    std::vector<KeyedElement> out;
    const auto edges = testing_support::timeline_edges(unit.key_timeline());
    for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
        if (edges[i].down && !edges[i + 1].down) {
            out.push_back({edges[i].ms, edges[i + 1].ms});
        }
    }
    return out;
}

struct ExpectedElement {
    bool dash;
    int gapBefore;  // standard spacing before it in units (0 for the first)
};

std::vector<ExpectedElement> expectedElements(const std::vector<std::uint8_t>& codes) {
    std::vector<ExpectedElement> out;
    int gap = 0;
    for (const std::uint8_t code : codes) {
        if (code == 0x80) {
            gap = 7;
            continue;
        }
        if (code == 0) {
            continue;
        }
        const std::string pattern = omvar::quentrax::to_pattern(code);
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            out.push_back({pattern[i] == '-', out.empty() ? 0 : (i == 0 ? (gap ? gap : 3) : 1)});
        }
        gap = 0;
    }
    return out;
}

void continuity(ModelBench& bench, const std::vector<int>& speeds) {
    const std::wstring message = continuityMessage();
    std::printf("keying continuity: 200 characters, %zu characters of text\n", message.size());
    std::printf("%5s %6s %9s %10s %14s %12s %12s %12s\n", "WPM", "M/T", "elements", "late gaps",
                "worst excess", "keying [s]", "vs nominal", "vs unit");
    for (const int wpm : speeds) {
        for (const auto& [maxCount, threshold] : {std::pair{3, 1}, std::pair{1, 0}}) {
            auto settings = bench.defaults();
            settings.wpm = wpm;
            settings.sendBufferMaxCount = maxCount;
            settings.sendBufferThreshold = threshold;
            if (!bench.start(settings)) {
                return;
            }
            auto& unit = *bench.unit;
            bench.model->addToSendBuffer(message, true);
            std::vector<std::uint8_t> codes;
            for (const auto& element : bench.model->sendQueue().elements()) {
                codes.push_back(element.code);
            }
            const auto expected = expectedElements(codes);
            const bool done = wait_for(
                [&] {
                    return bench.model->sendQueue().pendingCount() == 0 &&
                           keyedElements(unit).size() == expected.size();
                },
                minutes(20));
            const auto elements = keyedElements(unit);
            if (!done || elements.size() != expected.size()) {
                std::printf("%5d %3d/%-2d keyed %zu of %zu elements\n", wpm, maxCount, threshold,
                            elements.size(), expected.size());
                continue;
            }
            const double unitMs = 2.0 * unit.keyer().speed;  // the unit's own dot
            const double nominalMs = 60000.0 / (wpm * 50);
            int late = 0;
            double worst = 0.0;
            for (std::size_t i = 1; i < elements.size(); ++i) {
                const double gap = elements[i].down - elements[i - 1].up;
                const double excess = gap - expected[i].gapBefore * unitMs;
                worst = std::max(worst, excess);
                if (excess > unitMs) {
                    ++late;
                }
            }
            const double keyed = elements.back().up - elements.front().down;
            const double units = omvar::Vetrin::playingUnits(codes, 1.0, 3.0);
            std::printf("%5d %3d/%-2d %9zu %10d %9.2f dots %12.2f %11.2f%% %11.2f%%\n", wpm,
                        maxCount, threshold, elements.size(), late, worst / unitMs, keyed / 1000.0,
                        (keyed / (units * nominalMs) - 1.0) * 100.0,
                        (keyed / (units * unitMs) - 1.0) * 100.0);
            std::fflush(stdout);
        }
    }
    bench.stop();
}

void stopLatency(ModelBench& bench, const std::vector<int>& speeds) {
    std::printf("stop latency: clearSendBuffer at 50 random moments while keying\n");
    std::printf(
        "  stop: from the call to the last key-up; wire: from the call until the unit "
        "had the clear command (the interface library's write path)\n");
    std::printf("%5s %24s %24s %14s %15s\n", "WPM", "stop median/p90/max [ms]",
                "wire median/p90/max [ms]", "started after", "started >30 ms");
    std::mt19937 random(20240611);
    for (const int wpm : speeds) {
        auto settings = bench.defaults();
        settings.wpm = wpm;
        if (!bench.start(settings)) {
            return;
        }
        auto& unit = *bench.unit;
        const double unitMs = 2.0 * unit.keyer().speed;
        std::uniform_real_distribution<double> moment(0.0, 60.0 * unitMs);  // some characters in
        std::vector<double> latencies;
        std::vector<double> wire;
        int startedAfter = 0;
        int startedLate = 0;
        for (int trial = 0; trial < 50; ++trial) {
            unit.clear_key_timeline();
            bench.model->addToSendBuffer(L"PARIS PARIS PARIS PARIS PARIS PARIS", false);
            if (!wait_for([&] { return !unit.key_timeline().empty(); }, seconds(10))) {
                std::printf("trial %d: nothing keyed\n", trial);
                return;
            }
            std::this_thread::sleep_for(duration<double, std::milli>(moment(random)));
            const std::size_t packetsBefore = unit.packets().size();
            const auto t0 = EmuClock::now();
            bench.model->clearSendBuffer();
            // Whatever the interface or a late chunk still keys shows within a few characters.
            wait_for([&] { return unit.buffer_size() == 0 && quentraxIsTxBusy(0) == 0; },
                     seconds(10));
            std::this_thread::sleep_for(milliseconds(static_cast<int>(20 * unitMs)));
            const auto timeline = unit.key_timeline();
            auto lastUp = t0;
            for (const auto& edge : timeline) {
                if (!edge.down && edge.time > lastUp) {
                    lastUp = edge.time;
                }
                if (edge.down && edge.time > t0) {
                    ++startedAfter;
                    if (edge.time > t0 + milliseconds(30)) {
                        ++startedLate;
                    }
                }
            }
            latencies.push_back(duration<double, std::milli>(lastUp - t0).count());
            const auto packets = unit.packets();
            for (std::size_t i = packetsBefore; i < packets.size(); ++i) {
                if (packets[i].code() == 0x34 && packets[i].time >= t0) {
                    wire.push_back(duration<double, std::milli>(packets[i].time - t0).count());
                    break;
                }
            }
            bench.model->resetSendBuffer();
        }
        std::printf("%5d %8.2f %7.2f %7.2f %8.2f %7.2f %7.2f %14d %15d\n", wpm,
                    percentile(latencies, 0.5), percentile(latencies, 0.9),
                    percentile(latencies, 1.0), percentile(wire, 0.5), percentile(wire, 0.9),
                    percentile(wire, 1.0), startedAfter, startedLate);
        std::fflush(stdout);
    }
    bench.stop();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string what = argc > 1 ? argv[1] : "all";
    std::vector<int> speeds;
    for (int i = 2; i < argc; ++i) {
        speeds.push_back(std::atoi(argv[i]));
    }
    ModelBench bench;
    if (what == "continuity" || what == "all") {
        continuity(bench, speeds.empty() ? std::vector<int>{5, 20, 35, 50} : speeds);
    }
    if (what == "stop" || what == "all") {
        stopLatency(bench, speeds.empty() ? std::vector<int>{20, 50} : speeds);
    }
    return 0;
}
