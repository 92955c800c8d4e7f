#pragma once
// Where the guide star really is, from noisy guide frames. Seeing moves the
// whole star image by a few tenths of a pixel from frame to frame; correcting
// each frame's place in full sends that noise to the mount and widens the
// saved stars. The tracker predicts the star's place from its last estimate,
// the mount's steady drift and the correction just sent, and moves the
// estimate only part of the way to each new measurement. A measurement far
// from the prediction (a bump, a new lock position) is taken as it is.

#include <QPointF>

#include <optional>

namespace orvane {

class DriftTracker {
public:
    static constexpr double kGain = 0.4;        // share of a measurement's surprise taken into the estimate
    static constexpr double kDriftGain = 0.01;  // share of the surprise taken into the steady drift
    static constexpr double kJumpPx = 1.5;      // pixels: a surprise this large restarts the estimate
    static constexpr double kMaxDriftPx = 2.0;  // pixels per step: the steady drift never exceeds this

    // The estimated offset of the star from its lock position after this
    // measurement (pixels); `measuredPx` is the offset the guide frame gave.
    // `skyMotionPx`, when known, is how far the sky moved the star since the
    // last step (a learned periodic error); else the steady drift is assumed.
    QPointF update(QPointF measuredPx, std::optional<QPointF> skyMotionPx = std::nullopt);
    // The star is expected to move by `shiftPx` (pixels on the picture) through
    // the correction sent at this step.
    void corrected(QPointF shiftPx) { pendingShiftPx_ += shiftPx; }
    // The lock position moved by `shiftPx` (a dither): the star's offset from
    // it is smaller by as much, and the estimate goes on from there.
    void lockMoved(QPointF shiftPx) { estimatePx_ -= shiftPx; }
    // The next measurement restarts the estimate (a new lock position, a lost
    // star); the steady drift, a property of the mount and sky, is kept.
    void restart() { started_ = false; }
    // Forgets the steady drift too (a new run).
    void reset() { *this = DriftTracker(); }

    QPointF driftPerStepPx() const { return driftPx_; }

private:
    bool started_ = false;
    QPointF estimatePx_;     // offset from the lock after the last step, pixels
    QPointF driftPx_;        // steady drift of the star per guide step, pixels
    QPointF pendingShiftPx_; // corrections sent since the last measurement, pixels
};

} // namespace orvane
