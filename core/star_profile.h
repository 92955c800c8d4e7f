#pragma once
// What the user sees of a star: where a click on it puts the guide mark, and how
// wide and bright it is while focusing.

#include "guide_algorithm.h"
#include "pixel_view.h"

#include <optional>

namespace orvane {

struct StarPlace {
    int x = 0; // pixels
    int y = 0;
};

// What a click at (clickX, clickY) (pixels) finds: the star's centre that `measure`
// finds in the box of side boxSize pixels around the click, so the first guide step
// after marking measures no drift, or nothing when no star stands out there; and
// either way how far the brightest spot there stood above the noise.
struct StarSearch {
    std::optional<StarPlace> star;
    double snr = 0; // the brightest run's signal-to-noise, found or not
};
StarSearch starNear(const PixelView &picture, double clickX, double clickY, int boxSize, double minSnr,
                    StarMeasurer measure);

struct StarProfile {
    double fwhm = 0; // pixels: full width at half maximum above the box's background
    int peak = 0;    // grey level 0..255 of the star's brightest pixel
    // The star's narrowest width over its widest, 0..1: 1 for a round star, less
    // for one trailed by the mount while the shutter was open.
    double roundness = 1;
    double x = 0;    // pixels: the centre of its light, to a fraction of a pixel
    double y = 0;
};

// The profile of the brightest star in the box of side boxSize pixels centred on
// (x, y) (pixels): its width from the second moments of its light above the
// box's median, weighted by a Gaussian that settles on the star's own width, so
// the noise of the sky around it counts little; its roundness from the same
// moments along every direction. Nothing when the box holds no light above its
// background.
std::optional<StarProfile> starProfile(const PixelView &picture, double x, double y, int boxSize);

// The brightest grey level within a pixel of (x, y), less `background`: the
// star's peak as a guide step reports it (0 where nothing rises above).
double peakAbove(const PixelView &picture, double x, double y, double background);

} // namespace orvane
