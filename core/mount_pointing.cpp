#include "mount_pointing.h"

#include <QRegularExpression>

#include <cmath>

namespace orvane {

namespace {

// Whole units, minutes and seconds of `value` (>= 0), rounded to 1/10^decimals of a second.
QString sexagesimal(double value, int unitDigits, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    const double tenths = std::round(value * 3600 * scale);
    const long long whole = (long long)(tenths / (3600 * scale));
    const long long minutes = (long long)(tenths / (60 * scale)) % 60;
    const double seconds = std::fmod(tenths, 60 * scale) / scale;
    return QStringLiteral("%1 %2 %3")
        .arg(whole, unitDigits, 10, QChar('0'))
        .arg(minutes, 2, 10, QChar('0'))
        .arg(seconds, decimals ? 3 + decimals : 2, 'f', decimals, QChar('0'));
}

} // namespace

std::optional<double> lx200RaHours(const QByteArray &reply)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2}):(\\d{2})(?::(\\d{2})|\\.(\\d))#$"));
    const auto m = pattern.match(QString::fromLatin1(reply.trimmed()));
    if (!m.hasMatch())
        return std::nullopt;
    const double h = m.captured(1).toInt(), min = m.captured(2).toInt();
    const double s = m.captured(3).isEmpty() ? m.captured(4).toInt() * 6.0 : m.captured(3).toInt();
    if (h >= 24 || min >= 60 || s >= 60)
        return std::nullopt;
    return h + min / 60 + s / 3600;
}

std::optional<double> lx200DecDeg(const QByteArray &reply)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([+-]?)(\\d{1,2})[*\u00df\u00b0':](\\d{2})(?:[:'](\\d{2}))?#$"));
    // The degree sign is sent as 0xDF by many mounts: read the reply as Latin-1.
    const auto m = pattern.match(QString::fromLatin1(reply.trimmed()));
    if (!m.hasMatch())
        return std::nullopt;
    const double d = m.captured(2).toInt(), min = m.captured(3).toInt(), s = m.captured(4).toInt();
    if (d > 90 || min >= 60 || s >= 60)
        return std::nullopt;
    const double value = d + min / 60 + s / 3600;
    if (value > 90)
        return std::nullopt;
    return m.captured(1) == QLatin1String("-") ? -value : value;
}

QString sexagesimalRa(double hours)
{
    return sexagesimal(std::fmod(std::fmod(hours, 24) + 24, 24), 2, 1);
}

QString sexagesimalDec(double degrees)
{
    return (degrees < 0 ? QStringLiteral("-") : QStringLiteral("+")) + sexagesimal(std::fabs(degrees), 2, 0);
}

QString pierSideWord(PierSide side)
{
    switch (side) {
    case PierSide::East: return QStringLiteral("EAST");
    case PierSide::West: return QStringLiteral("WEST");
    case PierSide::Unknown: break;
    }
    return QStringLiteral("UNKNOWN");
}

} // namespace orvane
