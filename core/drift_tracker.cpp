#include "drift_tracker.h"

#include <algorithm>
#include <cmath>

namespace orvane {

QPointF DriftTracker::update(QPointF measuredPx)
{
    const QPointF predicted = estimatePx_ + driftPx_ + pendingShiftPx_;
    pendingShiftPx_ = {};
    const QPointF surprise = measuredPx - predicted;
    if (!started_ || std::hypot(surprise.x(), surprise.y()) > kJumpPx) {
        started_ = true;
        estimatePx_ = measuredPx;
        return estimatePx_;
    }
    estimatePx_ = predicted + kGain * surprise;
    const auto bounded = [](double v) { return std::clamp(v, -kMaxDriftPx, kMaxDriftPx); };
    driftPx_ = QPointF(bounded(driftPx_.x() + kDriftGain * surprise.x()), bounded(driftPx_.y() + kDriftGain * surprise.y()));
    return estimatePx_;
}

} // namespace orvane
