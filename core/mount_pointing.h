#pragma once
// Where the mount points, as it tells it: right ascension, declination and the
// side of the pier, for the FITS header. LX200 replies (":GR#", ":GD#") are read
// here; an INDI mount gives the numbers directly.

#include <QByteArray>
#include <QString>

#include <optional>

namespace orvane {

enum class PierSide { Unknown, East, West };

struct MountPointing {
    double raHours = 0; // 0 up to 24, of date
    double decDeg = 0;  // -90 to 90
    PierSide pier = PierSide::Unknown;
};

// ":GR#" reply "HH:MM:SS#" or "HH:MM.T#" in hours; nothing when it is not one.
std::optional<double> lx200RaHours(const QByteArray &reply);
// ":GD#" reply "sDD*MM:SS#", "sDD*MM#" (also with ' or : after the degrees) in degrees.
std::optional<double> lx200DecDeg(const QByteArray &reply);

// OBJCTRA "05 35 17.3" (hours, minutes, seconds) and OBJCTDEC "-05 23 28" (degrees, minutes, seconds).
QString sexagesimalRa(double hours);
QString sexagesimalDec(double degrees);
// PIERSIDE: "EAST", "WEST" or "UNKNOWN".
QString pierSideWord(PierSide side);

} // namespace orvane
