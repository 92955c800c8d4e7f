#pragma once
// Finding the guide star in its box to a fraction of a pixel: the centre of the
// star's light above the box's background. Lone bright pixels (hot pixels,
// cosmic-ray hits) are taken out before the star is looked for, so they never
// capture the mark; a star near the box edge is weighed with the pixels just
// outside the box, so it is followed while its core stays in the box.

#include "star_measurement.h"

namespace orvane {

// Measures the star in the box of side boxSize pixels centred on the mark
// (pixels). driftX/driftY are the star's centre minus the mark to a tenth of a
// pixel or better; runX/runY the centre rounded; mass the light above background
// in the star's disc; found when snr >= minSnr.
StarMeasurement measureCentroid(const PixelView &picture, double markX, double markY, int boxSize, double minSnr);

} // namespace orvane
