#pragma once
// The calibration's lines in the guide log, in the layout log viewers read:
// a header, one row per step, each axis' angle, the guide speeds, the end.

#include <QDateTime>
#include <QPointF>
#include <QString>
#include <QStringList>

namespace orvane {

// "Calibration Begins at ...", what was calibrated, and the rows' column header.
QStringList calibrationLogBegins(const QDateTime &local, const QString &mount, int stepMs, double distancePx);
// One step: `direction` West, East, North or South; `offsetPx` from the star's
// place where the direction began, `starPx` where the star is on the picture.
QString calibrationLogRow(const QString &direction, int step, QPointF offsetPx, QPointF starPx);
// "West calibration complete. Angle = 0.4 deg" (where that letter moves the star).
QString calibrationLogAxis(const QString &direction, double angleDeg);
// The axes' rates; the pixel scale is not known, so they are in pixels per second.
QString calibrationLogSpeeds(double raPxPerSec, double decPxPerSec);
// The last lines: "Calibration complete" or why it failed, and an empty line.
QStringList calibrationLogEnds(const QString &failure);

} // namespace orvane
