#pragma once
// Grey levels of the picture's pixels and the median of a sample of them, as
// the star measurements and the star choice read the sky.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvane {

// The mean of a pixel's red, green and blue, 0 to 255.
inline double greyLevel(uint32_t colour)
{
    return double((colour & 0xFF) + ((colour >> 8) & 0xFF) + ((colour >> 16) & 0xFF)) / 3.0;
}

// The middle value (the upper of the two middles for an even count); `values` must not be empty.
inline double medianOf(std::vector<double> values)
{
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

} // namespace orvane
