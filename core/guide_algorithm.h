#pragma once
// The ways a guide star can be measured, chosen by name at run time. A new way is
// a file of its own beside star_measurement.cpp and one row in the list; the
// sequence and the rig's procedures stay as they are.

#include "centroid_measurement.h"
#include "star_measurement.h"

#include <QString>

namespace orvane {

// Measures the star in the box of side boxSize pixels around the mark (pixels).
using StarMeasurer = StarMeasurement (*)(const PixelView &picture, double markX, double markY, int boxSize,
                                         double minSnr);

struct GuideAlgorithm {
    const char *name; // as orvane.ini [guiding] algorithm names it
    StarMeasurer measure;
    // true: a sub-pixel way whose corrections move both axes at once, projected
    // onto the calibrated axes; false: one axis at a time beyond a 2-pixel band.
    bool twoAxis = false;
};

// The first is the default.
inline constexpr GuideAlgorithm kGuideAlgorithms[] = {
    {"box", measureStar, false},
    {"centroid", measureCentroid, true},
};

// Names that older settings files may hold, and the way each means now.
struct GuideAlgorithmAlias {
    const char *name;
    const GuideAlgorithm *meant;
};
inline constexpr GuideAlgorithmAlias kGuideAlgorithmAliases[] = {
    {"brightest-run", &kGuideAlgorithms[0]},
};

// The algorithm of that name (or an older name of it), or nullptr when there is none.
inline const GuideAlgorithm *findGuideAlgorithm(const QString &name)
{
    for (const GuideAlgorithm &algorithm : kGuideAlgorithms)
        if (name == QLatin1String(algorithm.name))
            return &algorithm;
    for (const GuideAlgorithmAlias &alias : kGuideAlgorithmAliases)
        if (name == QLatin1String(alias.name))
            return alias.meant;
    return nullptr;
}

} // namespace orvane
