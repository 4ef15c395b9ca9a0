#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <functional>
#include <vector>

// The default sound output as a ring of blocks that the caller keeps filled: 16-bit mono PCM.
namespace omvar::sim::virtual_unit {

class WaveOutStream {
public:
    // Opens the default output; throws std::runtime_error with the system's text when there is
    // no sound device or it refuses the format.
    WaveOutStream(int sampleRate, std::size_t blockSamples, int blocks);
    ~WaveOutStream();
    WaveOutStream(const WaveOutStream&) = delete;
    WaveOutStream& operator=(const WaveOutStream&) = delete;

    // Fills each block that has finished playing (or never played) and queues it again;
    // returns how many were filled. All of them at once means the output ran dry.
    int refill(const std::function<void(std::int16_t* samples, std::size_t count)>& fill);
    int blocks() const { return static_cast<int>(headers_.size()); }
    // Every block has played: the output has nothing left to play.
    bool dry() const;

private:
    HWAVEOUT device_ = nullptr;
    std::vector<std::vector<std::int16_t>> buffers_;
    std::vector<WAVEHDR> headers_;
    std::size_t next_ = 0;  // the block queued longest ago
};

}  // namespace omvar::sim::virtual_unit
