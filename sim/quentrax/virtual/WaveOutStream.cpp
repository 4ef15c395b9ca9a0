#include "WaveOutStream.h"

#include <stdexcept>
#include <string>

namespace omvar::sim::virtual_unit {

namespace {

std::string errorText(MMRESULT result) {
    wchar_t text[MAXERRORLENGTH] = {};
    waveOutGetErrorTextW(result, text, MAXERRORLENGTH);
    std::string narrow;
    for (const wchar_t* c = text; *c != L'\0'; ++c) {
        narrow += *c < 0x80 ? static_cast<char>(*c) : '?';
    }
    return "waveOutOpen: " + (narrow.empty() ? std::to_string(result) : narrow);
}

}  // namespace

WaveOutStream::WaveOutStream(int sampleRate, std::size_t blockSamples, int blocks) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    const MMRESULT result = waveOutOpen(&device_, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL);
    if (result != MMSYSERR_NOERROR) {
        throw std::runtime_error(errorText(result));
    }
    buffers_.assign(static_cast<std::size_t>(blocks), std::vector<std::int16_t>(blockSamples));
    headers_.assign(static_cast<std::size_t>(blocks), WAVEHDR{});
    for (std::size_t i = 0; i < headers_.size(); ++i) {
        headers_[i].lpData = reinterpret_cast<LPSTR>(buffers_[i].data());
        headers_[i].dwBufferLength = static_cast<DWORD>(blockSamples * sizeof(std::int16_t));
        waveOutPrepareHeader(device_, &headers_[i], sizeof(WAVEHDR));
        headers_[i].dwFlags |= WHDR_DONE;  // free to fill
    }
}

WaveOutStream::~WaveOutStream() {
    waveOutReset(device_);  // marks every queued block done
    for (WAVEHDR& header : headers_) {
        waveOutUnprepareHeader(device_, &header, sizeof(WAVEHDR));
    }
    waveOutClose(device_);
}

bool WaveOutStream::dry() const {
    for (const WAVEHDR& header : headers_) {
        if ((header.dwFlags & WHDR_DONE) == 0) {
            return false;
        }
    }
    return true;
}

int WaveOutStream::refill(
    const std::function<void(std::int16_t* samples, std::size_t count)>& fill) {
    // Blocks play in the order they were queued: refill in ring order from the oldest.
    int filled = 0;
    while (filled < blocks() && (headers_[next_].dwFlags & WHDR_DONE) != 0) {
        WAVEHDR& header = headers_[next_];
        fill(buffers_[next_].data(), buffers_[next_].size());
        header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
        waveOutWrite(device_, &header, sizeof(WAVEHDR));
        next_ = (next_ + 1) % headers_.size();
        ++filled;
    }
    return filled;
}

}  // namespace omvar::sim::virtual_unit
