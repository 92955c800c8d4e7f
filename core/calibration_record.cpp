#include "calibration_record.h"

#include "file_rewrite.h"
#include "ini_lines.h"

#include <QFile>

#include <cmath>

namespace orvane {

namespace {

const QString kGroup = QStringLiteral("calibration");

struct NumberKey {
    const char *key;
    double CalibrationRecord::*value;
    bool positive; // a rate: must be above 0
};

constexpr NumberKey kNumberKeys[] = {
    {"xAngleDeg", &CalibrationRecord::xAngleDeg, false},
    {"xRatePxPerSec", &CalibrationRecord::xRatePxPerSec, true},
    {"yAngleDeg", &CalibrationRecord::yAngleDeg, false},
    {"yRatePxPerSec", &CalibrationRecord::yRatePxPerSec, true},
};

} // namespace

double CalibrationRecord::orthogonalityErrorDeg() const
{
    double between = std::fmod(std::fabs(yAngleDeg - xAngleDeg), 360.0); // 0..360
    if (between > 180)
        between = 360 - between; // 0..180
    return std::fabs(between - 90);
}

std::optional<CalibrationRecord> readCalibration(const QString &iniPath)
{
    QFile file(iniPath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray text = file.readAll();
    CalibrationRecord record;
    for (const NumberKey &k : kNumberKeys) {
        const auto stored = iniValue(text, kGroup, QLatin1String(k.key));
        bool ok = false;
        const double value = stored ? stored->trimmed().toDouble(&ok) : 0.0;
        if (!ok || !std::isfinite(value) || (k.positive && value <= 0))
            return std::nullopt;
        record.*k.value = value;
    }
    record.when = iniValue(text, kGroup, QStringLiteral("when")).value_or(QString()).trimmed();
    return record;
}

Result writeCalibration(const QString &iniPath, const CalibrationRecord &record)
{
    QFile existing(iniPath);
    if (existing.exists() && !existing.open(QIODevice::ReadOnly))
        return Result::failure(QStringLiteral("%1 cannot be read: %2.").arg(iniPath, existing.errorString()));
    const QByteArray before = existing.isOpen() ? existing.readAll() : QByteArray();
    QByteArray after = before;
    for (const NumberKey &k : kNumberKeys)
        after = withIniValue(after, kGroup, QLatin1String(k.key), QString::number(record.*k.value, 'g', 8));
    after = withIniValue(after, kGroup, QStringLiteral("when"), record.when);
    if (after == before)
        return Result::success();
    return writeWholeFile(iniPath, after);
}

} // namespace orvane
