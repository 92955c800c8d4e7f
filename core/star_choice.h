#pragma once
// Choosing the guide star for the user: the star of the picture that guides
// best, or the plain reason why none will. The window's command and a guider
// server's find_star both ask this one function.

#include "pixel_view.h"

#include <QString>

namespace orvane {

struct StarChoiceLimits {
    double minSnr = 12;          // least signal-to-noise of the star's light (twice a guide step's default)
    int boxSize = 40;            // pixels: the guide box the mark will carry
    double saturatedGrey = 250;  // grey level: a star whose core reaches it is clipped
    double leastRoundness = 0.6; // narrowest width over widest: below it the star is trailed or double
};

struct StarChoice {
    bool found = false;
    double x = 0;   // pixels: the chosen star's centre, where a click would put the mark
    double y = 0;
    double snr = 0; // its light in units of the sky's noise
    int candidates = 0; // spots that stood out of the noise, chosen or not
    QString reason; // empty when found; else a sentence saying why no star qualifies
};

// Looks over the whole picture for spots well above the sky's noise and keeps
// those that are not one lit (hot) pixel, not clipped, farther than half a
// guide box from every edge, with no other spot at least a third as bright
// within half a box, and round; of those, the one of highest snr wins.
StarChoice chooseGuideStar(const PixelView &picture, const StarChoiceLimits &limits = {});

} // namespace orvane
