#pragma once
// Finding the guide star in its box: the brightest horizontal run of six pixels
// is the star's place, and it counts as a star only when it stands clearly out
// of the box's own background and is more than one lit (hot) pixel.

#include "pixel_view.h"

namespace orvane {

struct StarMeasurement {
    double driftX = 0;         // pixels: the run's centre minus the mark
    double driftY = 0;         // pixels
    int runX = 0;              // pixels: centre of the brightest run (0, 0 when none is above black)
    int runY = 0;
    double background = 0;     // grey level: median of the box's pixels on the picture
    double snr = 0;            // the run's light above background, in units of the run's noise
    bool onePixelPeak = false; // the run's brightest pixel has no lit neighbour
    bool found = false;        // a star: a run above black, not one pixel, snr >= the least asked for
    double mass = 0;           // sum of the star's counts above background (0 where the way does not weigh it)
};

// Searches the box of side boxSize pixels centred on the mark (pixels). The
// first of equal runs wins, scanning rows top to bottom and runs left to right;
// the run's first window ends just left of the first column compared, so the
// box's leftmost column is never a run's centre.
StarMeasurement measureStar(const PixelView &picture, double markX, double markY, int boxSize, double minSnr);

} // namespace orvane
