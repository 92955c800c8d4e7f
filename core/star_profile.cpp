#include "star_profile.h"

namespace orvane {

std::optional<StarPlace> starNear(const PixelView &picture, double clickX, double clickY, int boxSize, double minSnr,
                                  StarMeasurer measure)
{
    const StarMeasurement m = measure(picture, clickX, clickY, boxSize, minSnr);
    if (!m.found)
        return std::nullopt;
    return StarPlace{m.runX, m.runY};
}

} // namespace orvane
