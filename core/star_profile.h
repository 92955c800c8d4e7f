#pragma once
// What the user sees of a star: where a click on it puts the guide mark.

#include "guide_algorithm.h"
#include "pixel_view.h"

#include <optional>

namespace orvane {

struct StarPlace {
    int x = 0; // pixels
    int y = 0;
};

// The star a click at (clickX, clickY) (pixels) means: the centre that `measure`
// finds in the box of side boxSize pixels around the click, so the first guide
// step after marking measures no drift; nothing when no star stands out there.
std::optional<StarPlace> starNear(const PixelView &picture, double clickX, double clickY, int boxSize, double minSnr,
                                  StarMeasurer measure);

} // namespace orvane
