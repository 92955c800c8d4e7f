#pragma once
// The ways a guide star can be measured, chosen by name at run time. A new way is
// a file of its own beside star_measurement.cpp and one row in the list; the
// sequence and the rig's procedures stay as they are.

#include "star_measurement.h"

#include <QString>

namespace orvane {

// Measures the star in the box of side boxSize pixels around the mark (pixels).
using StarMeasurer = StarMeasurement (*)(const PixelView &picture, double markX, double markY, int boxSize,
                                         double minSnr);

struct GuideAlgorithm {
    const char *name; // as a settings file would name it
    StarMeasurer measure;
};

// The first is the default.
inline constexpr GuideAlgorithm kGuideAlgorithms[] = {
    {"brightest-run", measureStar},
};

// The algorithm of that name, or nullptr when there is none.
inline const GuideAlgorithm *findGuideAlgorithm(const QString &name)
{
    for (const GuideAlgorithm &algorithm : kGuideAlgorithms)
        if (name == QLatin1String(algorithm.name))
            return &algorithm;
    return nullptr;
}

} // namespace orvane
