#pragma once
// The random shifts of dithering: uniform on each axis within +-maxPx, from a
// seeded generator, so a run can be repeated shift for shift.

#include "calibration_record.h"
#include "settings.h"

#include <QPointF>

#include <cstdint>
#include <optional>
#include <random>

namespace orvane {

struct DitherShift {
    double dxPx = 0, dyPx = 0;
};

class DitherRandom {
public:
    explicit DitherRandom(uint64_t seed) : engine_(seed) {}
    DitherShift next(double maxPx)
    {
        std::uniform_real_distribution<double> within(-maxPx, maxPx);
        const double dx = within(engine_);
        return {dx, within(engine_)};
    }
    // One shift within +-maxPx, for dithering along one axis.
    double nextAlong(double maxPx) { return std::uniform_real_distribution<double>(-maxPx, maxPx)(engine_); }

private:
    std::mt19937_64 engine_;
};

// The unit vector along which the RA axis moves the star on the picture: the
// calibrated axis whose letters are e and w (the picture's own axes before any
// calibration), for dithering in RA only.
QPointF raAxisOnPicture(const std::optional<CalibrationRecord> &axes, const Settings &settings);

} // namespace orvane
