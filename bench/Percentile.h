#pragma once

#include <algorithm>
#include <cstddef>
#include <stdexcept>
#include <vector>

namespace bench {

// The sample at fraction p (0..1) of the sorted samples, the index rounded to the nearest.
inline double percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        throw std::runtime_error("no samples");
    }
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

// The nearest-rank percentile: the smallest sample with at least fraction q (0..1] of the
// samples at or below it.
inline double nearest_rank(std::vector<double> values, double q) {
    if (values.empty()) {
        throw std::runtime_error("no samples");
    }
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(q * static_cast<double>(values.size()) + 0.999999);
    return values[std::min(rank == 0 ? 0 : rank - 1, values.size() - 1)];
}

}  // namespace bench
