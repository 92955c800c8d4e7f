#pragma once
// Guiding on several stars at once: beside the main guide star, a few others
// of the picture, each with its own box and its own lost-star test. Each step
// their drifts are combined, weighted by their signal-to-noise (a faint star's
// centre is less sure), after leaving out any star whose drift strays from the
// others' (a variable star, a satellite, a hot pixel's neighbour). The main
// star's loss is survived while the others remain.

#include "guide_algorithm.h"

#include <QPointF>

#include <vector>

namespace orvane {

// The other stars to guide on, in a picture where the main star stands at
// `main` (pixels): up to `count` stars of at least `minSnr` found by `measure`
// in boxes of side boxSize, a box apart from the main star, from each other and
// from the picture's edges; brightest (highest signal-to-noise) first. Each is
// given as its centre minus `main`, pixels.
std::vector<QPointF> findOtherGuideStars(const PixelView &picture, QPointF main, int boxSize, double minSnr,
                                         int count, StarMeasurer measure);

// One star's measurement at a step, its drift from where it should be.
struct StarDrift {
    QPointF driftPx;
    double snr = 0;
    bool found = false;
};

struct CombinedDrift {
    QPointF driftPx;   // pixels, weighted mean of the stars kept
    double snr = 0;    // of the combination: root of the sum of the kept stars' squared snr
    int used = 0;      // stars kept
    int strayed = 0;   // stars found but left out for straying from the others
    bool found = false; // at least one star kept
};

// A star strays when its drift lies this far from the stars' median drift, pixels
// (the seeing moves each star a few tenths of a pixel on its own).
inline constexpr double kStrayPx = 1.0;

// Combines the stars' drifts, the main star first. With two stars that disagree
// the brighter is kept.
CombinedDrift combineDrifts(const std::vector<StarDrift> &stars);

} // namespace orvane
