#include "VirtualSession.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <vector>

#include "KeyTimeline.h"
#include "LibraryLoggers.h"
#include "TextEncoding.h"

namespace omvar::sim::virtual_unit {

namespace {

using quentrax::interface_logger;
using quentrax::wide_to_utf8;

constexpr auto kFollowPeriod = std::chrono::milliseconds(5);
// The unit computes its edges when its thread runs (every report period, 10 ms): the WAV file
// trails real time by more than that, so every edge is known before its samples are written.
constexpr double kWavLagMs = 100;
// Live sound: blocks of 20 ms, three queued, rendered 80 ms behind real time (the same
// margin: edges are known before their samples are rendered).
constexpr std::size_t kSoundBlockSamples = VirtualSession::kSampleRate / 50;
constexpr int kSoundBlocks = 3;
constexpr double kSoundLagMs = 80;
// The keyed spans are kept this long when neither the WAV file nor the sound needs them.
constexpr double kKeepMs = 1000;

}  // namespace

std::wstring VirtualSession::productString(int firmware) {
    // The library reads the firmware version from the digits at positions 13 and 15.
    return L"QUENTRAX Ver." + std::to_wstring(firmware / 10) + L"." +
           std::to_wstring(firmware % 10) + L" (virtual)";
}

VirtualSession::VirtualSession(const VirtualSettings& settings, HMODULE module)
    : socket_(
          [&settings] {
              UnitOptions options;
              options.firmware = settings.firmware;
              options.product = productString(settings.firmware);
              // A unit plugged in again comes back under the same path, as on the same port.
              options.path =
                  "\\\\?\\HID#VID_0BFE&PID_0E00#virtual&0&0000#{4d1e55b2-f16f-11cf-88cb-"
                  "001111000030}";
              return options;
          }(),
          settings.plugged),
      origin_(EmuClock::now()) {
    auto logger = interface_logger();
    logger->info("仮想QUENTRAX: ハードウェアなし、エミュレータで動作します ({}, Vetrin {})",
                 wide_to_utf8(productString(settings.firmware)), VETRIN_VERSION);
    if (!settings.plugged) {
        logger->info("仮想QUENTRAX: USBに差し込まれていない状態で始まります");
    }
    if (!settings.timelinePath.empty()) {
        timeline_.open(std::filesystem::path(settings.timelinePath), std::ios::trunc);
        if (timeline_) {
            timeline_ << kTimelineHeader << '\n' << std::flush;
            logger->info("仮想QUENTRAX: キーのタイムライン: {}",
                         wide_to_utf8(settings.timelinePath));
        } else {
            logger->error("仮想QUENTRAX: タイムラインのファイルを作れません: {}",
                          wide_to_utf8(settings.timelinePath));
        }
    }
    if (!settings.wavPath.empty()) {
        try {
            wav_.emplace(settings.wavPath, kSampleRate);
            logger->info("仮想QUENTRAX: サイドトーンのWAV: {}", wide_to_utf8(settings.wavPath));
        } catch (const std::exception&) {
            logger->error("仮想QUENTRAX: WAVファイルを作れません: {}",
                          wide_to_utf8(settings.wavPath));
        }
    }
    if (settings.sound) {
        try {
            sound_ = std::make_unique<WaveOutStream>(kSampleRate, kSoundBlockSamples, kSoundBlocks);
            soundNext_ = tone_.sampleAt(-kSoundLagMs);
        } catch (const std::exception& error) {
            logger->info("仮想QUENTRAX: サウンド出力がないため、サイドトーンは鳴りません ({})",
                         error.what());
        }
    }
    if (settings.panel) {
        panel_ = std::make_unique<ControlPanel>(socket_, module);
    }
    remote_ = std::make_unique<RemoteControl>(socket_);
    worker_ = std::thread([this] { run(); });
}

VirtualSession::~VirtualSession() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    worker_.join();
    remote_.reset();
    panel_.reset();
    follow();
    if (wav_) {
        // Everything up to now is known: the device was closed, its generator cleared.
        const std::int64_t end = tone_.sampleAt(msSinceOpen(EmuClock::now()));
        if (end > wavNext_) {
            std::vector<std::int16_t> samples(static_cast<std::size_t>(end - wavNext_));
            tone_.render(wavNext_, samples.size(), samples.data());
            wav_->append(samples.data(), samples.size());
        }
    }
    sound_.reset();
}

double VirtualSession::msSinceOpen(EmuClock::time_point time) const {
    return std::chrono::duration<double, std::milli>(time - origin_).count();
}

void VirtualSession::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!wake_.wait_for(lock, kFollowPeriod, [this] { return stopping_; })) {
        lock.unlock();
        follow();
        lock.lock();
    }
}

// Taken off the unit, with the packets it recorded (nobody here reads them): the unit keeps
// nothing that grows through a session of hours.
void VirtualSession::takeEdges(QuentraxUnit& unit) {
    unit.clear_packets();
    const auto edges = unit.take_key_timeline();
    if (edges.empty()) {
        return;
    }
    const double hz = sideToneHz(unit.keyer().side_tone);
    for (const KeyEdge& edge : edges) {
        const TimelineEdge line{msSinceOpen(edge.time), edge.down};
        tone_.addEdge(line.ms, line.down, hz);
        if (timeline_.is_open()) {
            timeline_ << format_edge(line) << '\n';
        }
    }
    if (timeline_.is_open()) {
        timeline_.flush();
    }
}

void VirtualSession::follow() {
    if (auto current = socket_.unit(); current != followed_) {
        // The last edges of the unit that was unplugged (its key released), then the new one's
        // from its start.
        if (followed_) {
            takeEdges(*followed_);
        }
        followed_ = std::move(current);
    }
    if (followed_) {
        takeEdges(*followed_);
    }
    const double now = msSinceOpen(EmuClock::now());
    std::int64_t needed = tone_.sampleAt(now - kKeepMs);
    if (wav_) {
        const std::int64_t end = tone_.sampleAt(now - kWavLagMs);
        if (end > wavNext_) {
            std::vector<std::int16_t> samples(static_cast<std::size_t>(end - wavNext_));
            tone_.render(wavNext_, samples.size(), samples.data());
            wav_->append(samples.data(), samples.size());
            wavNext_ = end;
        }
        needed = std::min(needed, wavNext_);
    }
    if (sound_) {
        if (sound_->dry()) {
            // The output ran out (the worker was late): start again just behind real time.
            soundNext_ = std::max(soundNext_, tone_.sampleAt(now - kSoundLagMs));
        }
        sound_->refill([this](std::int16_t* samples, std::size_t count) {
            tone_.render(soundNext_, count, samples);
            soundNext_ += static_cast<std::int64_t>(count);
        });
        needed = std::min(needed, soundNext_);
    }
    tone_.forgetBefore(needed);
}

}  // namespace omvar::sim::virtual_unit
