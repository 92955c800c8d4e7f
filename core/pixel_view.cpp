#include "pixel_view.h"

#include "numbers.h"

#include <algorithm>

namespace orvane {

int pixelIndex(double coordinate)
{
    const double r = roundHalfEven(coordinate);
    return int(std::clamp(r, -1e6, 1e6));
}

} // namespace orvane
