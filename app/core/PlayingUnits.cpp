#include "PlayingUnits.h"

#include "MorseCode.h"

namespace omvar::Vetrin {

namespace {

double elementUnits(std::uint8_t code, double weightDot, double weightDash) {
    int bit = 0;
    while (((code >> bit) & 1) == 0) {
        ++bit;  // below the end marker
    }
    double units = 0.0;
    bool first = true;
    for (++bit; bit <= 7; ++bit) {
        if (!first) {
            units += 1.0;  // element gap
        }
        first = false;
        units += ((code >> bit) & 1) != 0 ? weightDash : weightDot;
    }
    return units;
}

}  // namespace

double playingUnits(std::span<const std::uint8_t> codes, double weightDot, double weightDash) {
    double units = 0.0;
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] == quentrax::kWordSpace) {
            units += 7.0;
            continue;
        }
        if (codes[i] == quentrax::kNoCode) {
            continue;  // plays nothing, not even a gap
        }
        if (i > 0 && codes[i - 1] != quentrax::kWordSpace) {
            units += 3.0;  // character gap
        }
        units += elementUnits(codes[i], weightDot, weightDash);
    }
    return units;
}

}  // namespace omvar::Vetrin
