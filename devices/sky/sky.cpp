#include "sky.h"

#include <algorithm>
#include <cmath>
#include <iterator>
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
    history_.push_back({uint32_t(changedMs_ - startMs_), mountX_, mountY_, vx_, vy_});
    if (history_.size() > kHistoryLimit)
        history_.pop_front();
    mountX_ += vx_ * dt;
    mountY_ += vy_ * dt;
    vx_ = vxPxPerSec;
    vy_ = vyPxPerSec;
    changedMs_ = nowMs;
}

QPointF SimSky::mountOffsetAt(uint32_t nowMs) const
{
    const uint32_t sinceStart = uint32_t(nowMs - startMs_);
    const uint32_t changedSinceStart = uint32_t(changedMs_ - startMs_);
    if (sinceStart >= changedSinceStart || history_.empty()) {
        const double dt = (double(sinceStart) - double(changedSinceStart)) / 1000.0; // seconds
        return {mountX_ + vx_ * dt, mountY_ + vy_ * dt};
    }
    // The last change at or before nowMs; before the oldest kept one, that one
    // is extended backwards.
    auto after = std::upper_bound(history_.begin(), history_.end(), sinceStart,
                                  [](uint32_t t, const Change &c) { return t < c.sinceStartMs; });
    const Change &c = after == history_.begin() ? history_.front() : *std::prev(after);
    const double dt = (double(sinceStart) - double(c.sinceStartMs)) / 1000.0; // seconds
    return {c.mountX + c.vx * dt, c.mountY + c.vy * dt};
}

QPointF SimSky::offsetAt(uint32_t nowMs) const
{
    const double t = secondsSinceStart(nowMs);
    const QPointF mount = mountOffsetAt(nowMs);
    const double pe = motion_.periodicErrorPeriodS > 0
                          ? motion_.periodicErrorPx * std::sin(2 * std::numbers::pi * t / motion_.periodicErrorPeriodS)
                          : 0.0;
    return {mount.x() + motion_.driftXPxPerMin * t / 60.0 + pe,
            mount.y() + motion_.driftYPxPerMin * t / 60.0};
}

double SimSky::transparencyAt(uint32_t nowMs) const
{
    return cloudedAt(motion_, secondsSinceStart(nowMs)) ? 0.0 : 1.0;
}

bool cloudedAt(const SkyMotion &motion, double secondsSinceStart)
{
    if (motion.cloudLengthS <= 0 || secondsSinceStart < motion.cloudStartS)
        return false;
    double intoCloud = secondsSinceStart - motion.cloudStartS; // seconds since the last cloud came
    if (motion.cloudEveryS > 0)
        intoCloud = std::fmod(intoCloud, motion.cloudEveryS);
    return intoCloud < motion.cloudLengthS;
}

} // namespace orvane
