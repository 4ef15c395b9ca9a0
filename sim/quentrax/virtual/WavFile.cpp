#include "WavFile.h"

#include <cstdio>
#include <stdexcept>

namespace omvar::sim::virtual_unit {

namespace {

constexpr std::uint32_t kHeaderBytes = 44;
// The data chunk's size field has 32 bits: a file that reaches it stops growing.
constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - kHeaderBytes;

void put16(unsigned char* at, std::uint16_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void put32(unsigned char* at, std::uint32_t value) {
    put16(at, static_cast<std::uint16_t>(value));
    put16(at + 2, static_cast<std::uint16_t>(value >> 16));
}

}  // namespace

WavFile::WavFile(const std::wstring& path, int sampleRate)
    : file_(_wfopen(path.c_str(), L"wb")), rate_(sampleRate) {
    if (!file_) {
        throw std::runtime_error("the WAV file cannot be created");
    }
    writeHeader();
}

void WavFile::writeHeader() {
    const auto dataBytes = static_cast<std::uint32_t>(samples_ * 2);
    unsigned char header[kHeaderBytes] = {'R', 'I', 'F', 'F', 0,   0,   0,   0, 'W', 'A', 'V',
                                          'E', 'f', 'm', 't', ' ', 0,   0,   0, 0,   0,   0,
                                          0,   0,   0,   0,   0,   0,   0,   0, 0,   0,   0,
                                          0,   0,   0,   'd', 'a', 't', 'a', 0, 0,   0,   0};
    put32(header + 4, kHeaderBytes - 8 + dataBytes);
    put32(header + 16, 16);                                     // fmt chunk size
    put16(header + 20, 1);                                      // PCM
    put16(header + 22, 1);                                      // mono
    put32(header + 24, static_cast<std::uint32_t>(rate_));      // samples per second
    put32(header + 28, static_cast<std::uint32_t>(rate_ * 2));  // bytes per second
    put16(header + 32, 2);                                      // bytes per sample frame
    put16(header + 34, 16);                                     // bits per sample
    put32(header + 40, dataBytes);
    std::fseek(file_.get(), 0, SEEK_SET);
    std::fwrite(header, 1, sizeof header, file_.get());
    std::fseek(file_.get(), 0, SEEK_END);
}

void WavFile::append(const std::int16_t* samples, std::size_t count) {
    if ((samples_ + count) * 2 > kMaxDataBytes) {
        return;
    }
    std::fseek(file_.get(), 0, SEEK_END);
    for (std::size_t i = 0; i < count; ++i) {
        unsigned char bytes[2];
        put16(bytes, static_cast<std::uint16_t>(samples[i]));
        std::fwrite(bytes, 1, 2, file_.get());
    }
    samples_ += count;
    writeHeader();
    std::fflush(file_.get());
}

}  // namespace omvar::sim::virtual_unit
