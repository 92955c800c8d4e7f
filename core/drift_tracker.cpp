#include "drift_tracker.h"

#include <algorithm>
#include <cmath>

namespace orvane {

QPointF DriftTracker::update(QPointF measuredPx, std::optional<QPointF> skyMotionPx)
{
    const QPointF predicted = estimatePx_ + skyMotionPx.value_or(driftPx_) + pendingShiftPx_;
    pendingShiftPx_ = {};
    const QPointF surprise = measuredPx - predicted;
    if (!started_ || std::hypot(surprise.x(), surprise.y()) > kJumpPx) {
        started_ = true;
        estimatePx_ = measuredPx;
        return estimatePx_;
    }
    estimatePx_ = predicted + kGain * surprise;
    if (skyMotionPx)
        return estimatePx_; // the surprise is the learned motion's, not the steady drift's
    const auto bounded = [](double v) { return std::clamp(v, -kMaxDriftPx, kMaxDriftPx); };
    driftPx_ = QPointF(bounded(driftPx_.x() + kDriftGain * surprise.x()), bounded(driftPx_.y() + kDriftGain * surprise.y()));
    return estimatePx_;
}

} // namespace orvane
