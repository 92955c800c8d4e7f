#include "calibration_record.h"

#include "file_rewrite.h"
#include "calibration_solve.h"
#include "ini_lines.h"
#include "ini_values.h"

#include <QFile>

#include <cmath>
#include <numbers>

namespace orvane {

namespace {

const QString kGroup = QStringLiteral("calibration");

struct NumberKey {
    const char *key;
    double CalibrationRecord::*value;
};

constexpr NumberKey kNumberKeys[] = {
    {"xAngleDeg", &CalibrationRecord::xAngleDeg },
    {"xRatePxPerSec", &CalibrationRecord::xRatePxPerSec },
    {"yAngleDeg", &CalibrationRecord::yAngleDeg },
    {"yRatePxPerSec", &CalibrationRecord::yRatePxPerSec },
};

} // namespace

double CalibrationRecord::orthogonalityErrorDeg() const
{
    double between = std::fmod(std::fabs(yAngleDeg - xAngleDeg), 360.0); // 0..360
    if (between > 180)
        between = 360 - between; // 0..180
    return std::fabs(between - 90);
}

std::optional<CalibrationRecord> readCalibration(const QString &iniPath, QStringList *notes)
{
    QStringList told;
    IniValues ini = IniValues::read(iniPath, told);
    if (!ini.has("calibration", "xAngleDeg") && !ini.has("calibration", "xRatePxPerSec") &&
        !ini.has("calibration", "yAngleDeg") && !ini.has("calibration", "yRatePxPerSec"))
        return std::nullopt; // never calibrated
    const QString instead = QStringLiteral("no calibration (guiding uses Options)");
    CalibrationRecord record;
    for (const NumberKey &k : kNumberKeys) {
        const std::optional<double> value = ini.number("calibration", k.key, instead);
        if (!value) {
            if (!ini.has("calibration", k.key))
                ini.refuse("calibration", k.key, QStringLiteral("missing"), instead);
            if (notes)
                notes->append(told);
            return std::nullopt;
        }
        record.*k.value = *value;
    }
    // Refused as the calibration window refuses the moves it measured; RA, the
    // slower axis by nature, is that much slower by cos(Dec) where it is known.
    const std::optional<double> declination = readCalibrationDeclination(iniPath);
    const double raScale = declination ? std::max(std::cos(*declination * std::numbers::pi / 180), 0.05) : 1.0;
    const bool xSlower = record.xRatePxPerSec < record.yRatePxPerSec;
    const double ratio = xSlower ? record.yRatePxPerSec * raScale / record.xRatePxPerSec
                                 : record.xRatePxPerSec * raScale / record.yRatePxPerSec;
    const CalibrationLimits limits;
    if (record.orthogonalityErrorDeg() > limits.maxSquareErrorDeg)
        ini.refuse("calibration", "yAngleDeg",
                   QStringLiteral("%1 degrees away from a right angle to xAngleDeg (at most %2 will guide)")
                       .arg(record.orthogonalityErrorDeg(), 0, 'f', 1)
                       .arg(limits.maxSquareErrorDeg),
                   instead);
    else if (ratio > limits.maxRateRatio)
        ini.refuse("calibration", xSlower ? "xRatePxPerSec" : "yRatePxPerSec",
                   QStringLiteral("%1 times slower than the other axis (at most %2 times will guide)")
                       .arg(ratio, 0, 'g', 3)
                       .arg(limits.maxRateRatio),
                   instead);
    if (!told.isEmpty()) {
        if (notes)
            notes->append(told);
        return std::nullopt;
    }
    record.when = ini.text("calibration", "when").value_or(QString());
    return record;
}

Result writeCalibration(const QString &iniPath, const CalibrationRecord &record)
{
    const IniFileText existing = readIniFile(iniPath);
    if (!existing.problem.isEmpty())
        return Result::failure(QStringLiteral("%1 cannot be read: %2.").arg(iniPath, existing.cause));
    const QByteArray &before = existing.text;
    QByteArray after = before;
    for (const NumberKey &k : kNumberKeys)
        after = withIniValue(after, kGroup, QLatin1String(k.key), QString::number(record.*k.value, 'g', 8));
    after = withIniValue(after, kGroup, QStringLiteral("when"), record.when);
    if (after == before)
        return Result::success();
    return writeWholeFile(iniPath, after);
}

std::optional<double> readCalibrationDeclination(const QString &iniPath)
{
    QStringList ignored; // an unusable value reads as unknown: the checks it feeds are advice
    IniValues ini = IniValues::read(iniPath, ignored);
    if (ini.text("calibration", "declinationDeg").value_or(QString()).isEmpty())
        return std::nullopt;
    return ini.number("calibration", "declinationDeg", QStringLiteral("unknown"));
}

Result writeCalibrationDeclination(const QString &iniPath, std::optional<double> declinationDeg)
{
    const IniFileText existing = readIniFile(iniPath);
    if (!existing.problem.isEmpty())
        return Result::failure(QStringLiteral("%1 cannot be read: %2.").arg(iniPath, existing.cause));
    if (!declinationDeg && !iniValue(existing.text, kGroup, QStringLiteral("declinationDeg")))
        return Result::success(); // unknown, and never said
    const QByteArray after = withIniValue(existing.text, kGroup, QStringLiteral("declinationDeg"),
                                          declinationDeg ? QString::number(*declinationDeg, 'g', 6) : QString());
    return after == existing.text ? Result::success() : writeWholeFile(iniPath, after);
}

} // namespace orvane
