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
#include "RemoteControl.h"
#include "UnitSocket.h"
#include "VirtualSettings.h"
#include "WavFile.h"
#include "WaveOutStream.h"

// One stretch of use of the virtual QUENTRAX, from the first open to the last close while the
// unit is plugged in (unplugged, the session stays, so the unit can be plugged in again): the
// socket with the emulated unit for the interface library to find, the panel, the remote
// control, and a worker that follows the key timeline of the unit in the socket every few
// milliseconds: it writes the timeline file, plays the side tone and writes the WAV file. The
// timeline runs on across unplugging and plugging in.
namespace omvar::sim::virtual_unit {

class VirtualSession {
public:
    static constexpr int kSampleRate = 16000;

    // Attaches the unit (unless the settings start it unplugged) and starts the panel, the
    // remote control and the worker; problems with the files and the sound output are logged,
    // and the session goes on without them.
    VirtualSession(const VirtualSettings& settings, HMODULE module);
    // Takes the last edges, completes the files and detaches the unit.
    ~VirtualSession();

    bool plugged() const { return socket_.plugged(); }
    VirtualSession(const VirtualSession&) = delete;
    VirtualSession& operator=(const VirtualSession&) = delete;

    static std::wstring productString(int firmware);

private:
    void run();
    void follow();
    void takeEdges(QuentraxUnit& unit);
    double msSinceOpen(EmuClock::time_point time) const;

    UnitSocket socket_;
    const EmuClock::time_point origin_;
    std::shared_ptr<QuentraxUnit> followed_;  // the unit whose timeline is followed; worker only
    KeyedTone tone_{kSampleRate};
    std::ofstream timeline_;
    std::optional<WavFile> wav_;
    std::int64_t wavNext_ = 0;
    std::unique_ptr<WaveOutStream> sound_;
    std::int64_t soundNext_ = 0;
    std::unique_ptr<ControlPanel> panel_;
    std::unique_ptr<RemoteControl> remote_;

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread worker_;  // last: starts once everything above exists
};

}  // namespace omvar::sim::virtual_unit
