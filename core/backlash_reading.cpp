#include "backlash_reading.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

constexpr int kLeastMovingPlaces = 3; // a rate needs this many places after the star began to move
constexpr double kLeastRatePxPerSec = 0.2;

QPointF withoutDrift(const BacklashPlace &p, QPointF driftPxPerS)
{
    return p.placePx - driftPxPerS * p.clockS;
}

double length(QPointF v) { return std::hypot(v.x(), v.y()); }

// The places from the first that stands kBacklashMovedPx or more from the
// leg's start along `along` (any way when `along` is null), and how far each stands.
std::vector<std::pair<double, double>> movingPlaces(const std::vector<BacklashPlace> &leg, QPointF driftPxPerS,
                                                    std::optional<QPointF> along, std::vector<QPointF> *places)
{
    std::vector<std::pair<double, double>> moved; // drive ms, pixels from the start
    const QPointF start = withoutDrift(leg.front(), driftPxPerS);
    for (size_t i = 1; i < leg.size(); ++i) {
        const QPointF d = withoutDrift(leg[i], driftPxPerS) - start;
        const double px = along ? QPointF::dotProduct(d, *along) : length(d);
        if (moved.empty() && px < kBacklashMovedPx)
            continue;
        moved.emplace_back(leg[i].driveMs, px);
        if (places)
            places->push_back(withoutDrift(leg[i], driftPxPerS));
    }
    return moved;
}

} // namespace

std::optional<BacklashReading> readBacklash(const std::vector<BacklashPlace> &north,
                                            const std::vector<BacklashPlace> &south, QPointF driftPxPerS, QString *why)
{
    const auto fail = [why](const QString &sentence) -> std::optional<BacklashReading> {
        if (why)
            *why = sentence;
        return std::nullopt;
    };
    if (north.size() < 2 || south.size() < 2)
        return fail(QStringLiteral("The backlash test ended before both moves were made."));

    // North: the rate and the way the star goes, fitted over the places after it began to move.
    std::vector<QPointF> places;
    const std::vector<std::pair<double, double>> moving = movingPlaces(north, driftPxPerS, std::nullopt, &places);
    if (int(moving.size()) < kLeastMovingPlaces)
        return fail(QStringLiteral("The star did not move on the north drive: is the mount connected, and does "
                                   "its Dec axis move?"));
    double t = 0, tt = 0;
    QPointF p, tp;
    for (size_t i = 0; i < moving.size(); ++i) {
        const double ms = moving[i].first;
        t += ms;
        tt += ms * ms;
        p += places[i];
        tp += places[i] * ms;
    }
    const double n = double(moving.size());
    const double spread = tt - t * t / n;
    if (spread <= 0)
        return fail(QStringLiteral("The backlash test's north drive was too short to measure."));
    const QPointF slopePxPerMs = (tp - p * (t / n)) / spread;
    BacklashReading r;
    r.ratePxPerSec = length(slopePxPerMs) * 1000;
    if (r.ratePxPerSec < kLeastRatePxPerSec)
        return fail(QStringLiteral("The star hardly moved on the north drive (%1 px/s): is the mount connected?")
                        .arg(r.ratePxPerSec, 0, 'f', 2));
    r.northPx = slopePxPerMs / length(slopePxPerMs);

    // South: the places after the star came back. The rate is fitted over both legs' moving places
    // (one slope, an offset each); the south line's offset is the drive lost before the star came back.
    const std::vector<std::pair<double, double>> back = movingPlaces(south, driftPxPerS, -r.northPx, nullptr);
    if (back.empty())
        return fail(QStringLiteral("The star did not come back within %1 s of south drive: the Dec backlash is "
                                   "longer than that, or the axis does not move south.")
                        .arg(south.back().driveMs / 1000, 0, 'f', 1));
    std::vector<std::pair<double, double>> along; // the north leg's places along the way it moved
    for (size_t i = 0; i < moving.size(); ++i)
        along.emplace_back(moving[i].first, QPointF::dotProduct(places[i], r.northPx));
    double covariance = 0, variance = 0;
    const auto addLeg = [&](const std::vector<std::pair<double, double>> &leg) {
        double mt = 0, mp = 0;
        for (const auto &[ms, px] : leg) {
            mt += ms / double(leg.size());
            mp += px / double(leg.size());
        }
        for (const auto &[ms, px] : leg) {
            covariance += (ms - mt) * (px - mp);
            variance += (ms - mt) * (ms - mt);
        }
        return std::pair{mt, mp};
    };
    addLeg(along);
    const auto [southMs, southPx] = addLeg(back);
    if (variance > 0 && covariance > 0)
        r.ratePxPerSec = covariance / variance * 1000;
    r.backlashMs = std::max(0.0, southMs - southPx / r.ratePxPerSec * 1000);
    r.backlashPx = r.backlashMs * r.ratePxPerSec / 1000;
    return r;
}

} // namespace orvane
