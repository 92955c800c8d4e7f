#include "periodic_predictor.h"

#include <cmath>
#include <numbers>

namespace orvane {

namespace {
constexpr double kPriorSpread = 1e4; // the fit's first guess is known to nobody (pixels squared)
}

void PeriodicPredictor::reset(double periodS)
{
    *this = PeriodicPredictor();
    periodS_ = periodS > 0 ? periodS : 480;
}

PeriodicPredictor::Vector PeriodicPredictor::basis(double seconds) const
{
    // Time counted from the first sample, in periods, keeps the terms of one size.
    const double turns = (seconds - firstS_) / periodS_;
    Vector b{};
    b[0] = 1;
    b[1] = turns;
    for (int k = 1; k <= kHarmonics; ++k) {
        const double angle = 2 * std::numbers::pi * k * turns;
        b[size_t(2 * k)] = std::sin(angle);
        b[size_t(2 * k + 1)] = std::cos(angle);
    }
    return b;
}

void PeriodicPredictor::learn(double seconds, QPointF skyPx)
{
    if (periodS_ <= 0)
        reset(480);
    if (!started_) {
        started_ = true;
        firstS_ = lastS_ = seconds;
        for (int i = 0; i < kTerms; ++i)
            p_[size_t(i)][size_t(i)] = kPriorSpread;
    }
    const double lambda = std::exp(-std::max(0.0, seconds - lastS_) / (kMemoryPeriods * periodS_));
    lastS_ = std::max(lastS_, seconds);
    const Vector b = basis(seconds);
    Vector pb{};
    for (int i = 0; i < kTerms; ++i)
        for (int j = 0; j < kTerms; ++j)
            pb[size_t(i)] += p_[size_t(i)][size_t(j)] * b[size_t(j)];
    double denominator = lambda;
    for (int i = 0; i < kTerms; ++i)
        denominator += b[size_t(i)] * pb[size_t(i)];
    double fitX = 0, fitY = 0;
    for (int i = 0; i < kTerms; ++i) {
        fitX += x_[size_t(i)] * b[size_t(i)];
        fitY += y_[size_t(i)] * b[size_t(i)];
    }
    const double errX = skyPx.x() - fitX, errY = skyPx.y() - fitY;
    for (int i = 0; i < kTerms; ++i) {
        const double gain = pb[size_t(i)] / denominator;
        x_[size_t(i)] += gain * errX;
        y_[size_t(i)] += gain * errY;
    }
    for (int i = 0; i < kTerms; ++i)
        for (int j = 0; j < kTerms; ++j)
            p_[size_t(i)][size_t(j)] = (p_[size_t(i)][size_t(j)] - pb[size_t(i)] * pb[size_t(j)] / denominator) / lambda;
}

bool PeriodicPredictor::ready() const
{
    return started_ && lastS_ - firstS_ >= kReadyPeriods * periodS_;
}

std::optional<QPointF> PeriodicPredictor::motion(double fromS, double toS) const
{
    if (!ready())
        return std::nullopt;
    const Vector from = basis(fromS), to = basis(toS);
    double dx = 0, dy = 0;
    for (int i = 0; i < kTerms; ++i) {
        dx += x_[size_t(i)] * (to[size_t(i)] - from[size_t(i)]);
        dy += y_[size_t(i)] * (to[size_t(i)] - from[size_t(i)]);
    }
    return QPointF(dx, dy);
}

} // namespace orvane
