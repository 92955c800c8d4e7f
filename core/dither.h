#pragma once
// The random shifts of dithering: uniform on each axis within +-maxPx, from a
// seeded generator, so a run can be repeated shift for shift.

#include <cstdint>
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

private:
    std::mt19937_64 engine_;
};

} // namespace orvane
