#include "calibration_log_lines.h"

#include "guide_log_lines.h"

#include <cmath>

namespace orvane {

namespace {
QString px(double value) { return QString::number(value, 'f', 3); }
} // namespace

QStringList calibrationLogBegins(const QDateTime &local, const QString &mount, int stepMs, double distancePx)
{
    return {QStringLiteral("Calibration Begins at %1").arg(guideLogStamp(local)),
            QStringLiteral("Mount = %1, Calibration Step = %2 ms, Calibration Distance = %3 px, Pixel scale = N/A")
                .arg(mount)
                .arg(stepMs)
                .arg(distancePx, 0, 'f', 1),
            QStringLiteral("Direction,Step,dx,dy,x,y,Dist")};
}

QString calibrationLogRow(const QString &direction, int step, QPointF offsetPx, QPointF starPx)
{
    return QStringLiteral("%1,%2,%3,%4,%5,%6,%7")
        .arg(direction)
        .arg(step)
        .arg(px(offsetPx.x()), px(offsetPx.y()), px(starPx.x()), px(starPx.y()),
             px(std::hypot(offsetPx.x(), offsetPx.y())));
}

QString calibrationLogAxis(const QString &direction, double angleDeg)
{
    return QStringLiteral("%1 calibration complete. Angle = %2 deg").arg(direction).arg(angleDeg, 0, 'f', 1);
}

QString calibrationLogSpeeds(double raPxPerSec, double decPxPerSec)
{
    return QStringLiteral("Calibration guide speeds: RA = %1 px/sec, Dec = %2 px/sec").arg(px(raPxPerSec), px(decPxPerSec));
}

QStringList calibrationLogEnds(const QString &failure)
{
    if (failure.isEmpty())
        return {QStringLiteral("Calibration complete"), {}};
    return {QStringLiteral("Calibration failed: %1").arg(failure), {}};
}

} // namespace orvane
