#include "sky.h"

#include <cmath>
#include <numbers>

namespace orvane {

SimSky::SimSky(uint32_t startMs, SkyMotion motion)
    : motion_(motion), startMs_(startMs), changedMs_(startMs)
{
}

double SimSky::secondsSinceStart(uint32_t nowMs) const
{
    // Unsigned difference: right for up to 49.7 days of simulated time.
    return double(uint32_t(nowMs - startMs_)) / 1000.0;
}

void SimSky::setMountVelocity(double vxPxPerSec, double vyPxPerSec, uint32_t nowMs)
{
    const double dt = double(uint32_t(nowMs - changedMs_)) / 1000.0; // seconds
    mountX_ += vx_ * dt;
    mountY_ += vy_ * dt;
    vx_ = vxPxPerSec;
    vy_ = vyPxPerSec;
    changedMs_ = nowMs;
}

QPointF SimSky::offsetAt(uint32_t nowMs) const
{
    const double t = secondsSinceStart(nowMs);
    const double dt = double(uint32_t(nowMs - changedMs_)) / 1000.0;
    const double pe = motion_.periodicErrorPeriodS > 0
                          ? motion_.periodicErrorPx * std::sin(2 * std::numbers::pi * t / motion_.periodicErrorPeriodS)
                          : 0.0;
    return {mountX_ + vx_ * dt + motion_.driftXPxPerMin * t / 60.0 + pe,
            mountY_ + vy_ * dt + motion_.driftYPxPerMin * t / 60.0};
}

} // namespace orvane
