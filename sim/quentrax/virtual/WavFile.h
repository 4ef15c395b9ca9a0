#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// A mono 16-bit PCM WAV file written as samples come: the header's sizes are brought up to
// date after every append, so the file is complete whenever a reader looks.
namespace omvar::sim::virtual_unit {

class WavFile {
public:
    // Throws std::runtime_error when the file cannot be created.
    WavFile(const std::wstring& path, int sampleRate);

    void append(const std::int16_t* samples, std::size_t count);
    std::uint64_t samples() const { return samples_; }

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };

    void writeHeader();

    std::unique_ptr<std::FILE, Closer> file_;
    int rate_;
    std::uint64_t samples_ = 0;
};

}  // namespace omvar::sim::virtual_unit
