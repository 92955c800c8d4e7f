#pragma once
// Whether the brightest run the guide-star search found is a star: it must stand
// clearly above the guide box's own background, and must not be a lone bright
// pixel (a hot pixel) with nothing lit around it.

#include "picture_area.h"

namespace orvane {

struct StarCheck {
    double snr = 0;            // the run's light above background, in units of the run's noise
    bool onePixelPeak = false; // its brightest pixel has no lit neighbour
};

// Picture pixels of the guide box that lie on the picture, inclusive.
struct PixelBox {
    int left, top, right, bottom;
};

// Checks the six-pixel run that ends at (runEndX, runY) against the box's
// background (median) and noise (median absolute deviation), on grey levels.
StarCheck checkStar(const PictureArea &picture, PixelBox box, int runEndX, int runY);

} // namespace orvane
