#pragma once
// Dec backlash measured while guiding: when a Dec correction reverses the axis,
// the gears' slack swallows the start of the move. The first reversal is sent
// as planned; the step after each reversal shows how much of the move was lost
// (the star short of where it should be) or overdone, and the slack's estimate
// grows or shrinks by it (doubling while whole moves are lost). A reversing
// move is lengthened by the estimate. A mount that overshoots again and again
// has no slack to take up (or its own compensation): the estimate is given up.

#include <cstdint>

namespace orvane {

class DecBacklash {
public:
    static constexpr double kSettledPx = 0.3;    // pixels: a smaller shortfall tells nothing (seeing)
    static constexpr double kWholeShare = 0.8;   // this share of the move lost: the whole move was swallowed
    static constexpr double kMostMs = 5000;      // ms: never more slack than this
    static constexpr int kOvershootsToGiveUp = 3; // overshoots in a row that end the compensation

    // The Dec move of this step: `dir` as AxisMove::dir (0: Dec rests), `movePx`
    // the pixels it is to bring the star along the Dec axis (signed as the drift
    // it corrects), `ms` its length; `placePx` the star's offset along the Dec
    // axis now and `aheadPx` the part of the move that meets the sky's own
    // motion, both signed like movePx. Returns the ms to add to the move.
    int32_t extraMs(int dir, double movePx, int32_t ms, double placePx, double aheadPx, double ratePxPerSec);

    double sizeMs() const { return sizeMs_; }
    bool gaveUp() const { return gaveUp_; }
    void reset() { *this = DecBacklash(); }

private:
    int lastDir_ = 0;          // the last Dec move's direction
    bool checking_ = false;    // the last Dec move reversed: this step shows what it did
    int checkDir_ = 0;
    double expectedPx_ = 0;    // where the star should be now along Dec, had nothing been lost
    double movedPx_ = 0;       // how far the reversing move was to bring it
    int32_t movedMs_ = 0;      // and for how long it drove, slack included
    double sizeMs_ = 0;        // the slack, ms at guide rate
    int overshoots_ = 0;
    bool gaveUp_ = false;
};

} // namespace orvane
