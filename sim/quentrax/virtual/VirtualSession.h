#pragma once

#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <windows.h>

#include "ControlPanel.h"
#include "KeyedTone.h"
#include "QuentraxEmulator.h"
#include "VirtualSettings.h"
#include "WavFile.h"
#include "WaveOutStream.h"

// One stretch of use of the virtual QUENTRAX, from the first open to the last close: the
// emulated unit attached for the interface library to find, the panel, and a worker that
// follows the unit's key timeline every few milliseconds: it writes the timeline file, plays
// the side tone and writes the WAV file.
namespace omvar::sim::virtual_unit {

class VirtualSession {
public:
    static constexpr int kSampleRate = 16000;

    // Attaches the unit and starts the panel and the worker; problems with the files and the
    // sound output are logged, and the session goes on without them.
    VirtualSession(const VirtualSettings& settings, HMODULE module);
    // Takes the last edges, completes the files and detaches the unit.
    ~VirtualSession();
    VirtualSession(const VirtualSession&) = delete;
    VirtualSession& operator=(const VirtualSession&) = delete;

    static std::wstring productString(int firmware);

private:
    void run();
    void follow();
    double msSinceOpen(EmuClock::time_point time) const;

    std::shared_ptr<QuentraxUnit> unit_;
    const EmuClock::time_point origin_;
    KeyedTone tone_{kSampleRate};
    std::size_t edgesSeen_ = 0;
    std::ofstream timeline_;
    std::optional<WavFile> wav_;
    std::int64_t wavNext_ = 0;
    std::unique_ptr<WaveOutStream> sound_;
    std::int64_t soundNext_ = 0;
    std::unique_ptr<ControlPanel> panel_;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread worker_;  // last: starts once everything above exists
};

}  // namespace omvar::sim::virtual_unit
