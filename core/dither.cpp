#include "dither.h"

#include "projected_moves.h"

#include <cmath>

namespace orvane {

namespace {

bool isRaLetter(const QString &text)
{
    const QString letter = text.trimmed().toLower();
    return letter == QLatin1String("e") || letter == QLatin1String("w");
}

} // namespace

QPointF raAxisOnPicture(const std::optional<CalibrationRecord> &axes, const Settings &s)
{
    const CalibrationRecord used = axes.value_or(pictureAxes(1.0));
    const bool raIsY = !isRaLetter(s.DirLeft) && !isRaLetter(s.DirRight) && (isRaLetter(s.DirUp) || isRaLetter(s.DirDown));
    const double radians = (raIsY ? used.yAngleDeg : used.xAngleDeg) * M_PI / 180.0;
    return {std::cos(radians), std::sin(radians)};
}

} // namespace orvane
