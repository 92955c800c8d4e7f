#pragma once
// The mount's two guide axes as the last calibration measured them on the
// picture, kept in orvane.ini [calibration] so that guiding, the guide log and
// a rehearsal of the night all start from the same figures.
//
// The "x axis" is the mount axis the DirLeft/DirRight letters move (right
// ascension), the "y axis" the one DirUp/DirDown move (declination). Angles are
// in degrees from the picture's +x toward its +y; rates in picture pixels per
// second at guide rate.

#include "result.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace orvane {

struct CalibrationRecord {
    double xAngleDeg = 0;     // where the DirRight letter moves the star
    double xRatePxPerSec = 0; // how fast
    double yAngleDeg = 90;    // where the DirUp letter moves the star
    double yRatePxPerSec = 0;
    QString when;             // UTC time of the calibration, ISO 8601

    // Degrees by which the two axes miss a right angle (0 when square; the sign
    // dropped, so a mirrored axis is square too).
    double orthogonalityErrorDeg() const;
    bool operator==(const CalibrationRecord &) const = default;
};

// The record in the ini file, or nothing when the file has none, or when a key
// is missing, is not a number in its range or the axes are such as the
// calibration window refuses (more than 10 degrees from square, one axis over 3
// times slower than the other): then a sentence naming the key goes to `notes`.
std::optional<CalibrationRecord> readCalibration(const QString &iniPath, QStringList *notes = nullptr);

// Writes the five keys of [calibration], leaving every other line as it was.
Result writeCalibration(const QString &iniPath, const CalibrationRecord &record);

// [calibration] declinationDeg: where the telescope pointed at the calibration
// (degrees), when the user said; nothing when empty, absent or not a usable number.
std::optional<double> readCalibrationDeclination(const QString &iniPath);
// Writes it (empty for nothing; no key is added for nothing), leaving every other line as it was.
Result writeCalibrationDeclination(const QString &iniPath, std::optional<double> declinationDeg);

} // namespace orvane
