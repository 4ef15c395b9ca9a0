#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// Records exchanged with a QUENTRAX: parameter blocks in wire order, answers, device events.
namespace omvar::quentrax {

struct KeyerParams {
    std::uint8_t keySpeed = 30;  // dot length in units of 2 ms, 2..255
    std::uint8_t dotWeight = 2;
    std::uint8_t dashWeight = 6;
    std::uint8_t mode = 2;
    std::uint8_t sideTone = 7;
    std::uint8_t status6 = 0xFF;  // answer byte 6, never sent
    std::uint8_t status7 = 0xFF;  // answer byte 7, never sent
};
static_assert(sizeof(KeyerParams) == 7);

struct PTTParams {
    std::uint8_t delay1 = 25;
    std::uint8_t delay2 = 200;
    std::uint8_t status6 = 0xFF;
    std::uint8_t status7 = 0xFF;
};
static_assert(sizeof(PTTParams) == 4);

// Answer bytes 1..7 of the status query; bytes[5] and bytes[6] are status bytes 6 and 7.
struct DeviceStatus {
    std::uint8_t bytes[7] = {0, 0, 0, 0, 0, 0xFF, 0xFF};
};
static_assert(sizeof(DeviceStatus) == 7);

// Answer bytes 1..7 of the generator-buffer query; bytes[0] is the reported buffer size.
struct GeneratorBufferContent {
    std::uint8_t bytes[7] = {0, 0, 0, 0, 0, 0xFF, 0xFF};
};
static_assert(sizeof(GeneratorBufferContent) == 7);

struct QUENTRAXDeviceEvent {
    std::string name;
    std::vector<std::uint8_t> data;  // the report, for "read"
    std::uint8_t value = 0;          // keyed native code, for "input"
    std::string text;                // its dot-dash pattern, for "input"
};

// The firmware of the interface lacks the command.
class NotSupportVerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace omvar::quentrax
