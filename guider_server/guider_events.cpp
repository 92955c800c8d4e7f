#include "guider_events.h"

#include <QHostInfo>

#include <cmath>

namespace orvane {

QString appStateName(AppState state)
{
    switch (state) {
    case AppState::Stopped: return QStringLiteral("Stopped");
    case AppState::Selected: return QStringLiteral("Selected");
    case AppState::Calibrating: return QStringLiteral("Calibrating");
    case AppState::Guiding: return QStringLiteral("Guiding");
    case AppState::LostLock: return QStringLiteral("LostLock");
    case AppState::Paused: return QStringLiteral("Paused");
    case AppState::Looping: return QStringLiteral("Looping");
    }
    return QStringLiteral("Stopped");
}

QJsonObject guiderEvent(const QString &name, int64_t utcMs)
{
    static const QString host = QHostInfo::localHostName();
    return {{"Event", name}, {"Timestamp", double(utcMs) / 1000.0}, {"Host", host}, {"Inst", 1}};
}

QJsonObject versionEvent(int64_t utcMs)
{
    QJsonObject e = guiderEvent(QStringLiteral("Version"), utcMs);
    e.insert("PHDVersion", QStringLiteral("Orvane 4.0")); // the field clients read the guider's version from
    e.insert("PHDSubver", QString());
    e.insert("MsgVersion", 1);
    e.insert("OverlapSupport", true);
    return e;
}

QString directionName(const QString &letter)
{
    const QString l = letter.toLower();
    if (l == QLatin1String("e"))
        return QStringLiteral("East");
    if (l == QLatin1String("w"))
        return QStringLiteral("West");
    if (l == QLatin1String("n"))
        return QStringLiteral("North");
    if (l == QLatin1String("s"))
        return QStringLiteral("South");
    return letter;
}

QJsonObject guideStepEvent(int64_t utcMs, int frame, double seconds, const GuideStep &told, const AxisLetters &axes,
                           double avgDistPx, std::optional<double> hfdPx)
{
    const GuideStep step = told.withAxesFilled();
    QJsonObject e = guiderEvent(QStringLiteral("GuideStep"), utcMs);
    e.insert("Frame", frame);
    e.insert("Time", seconds);
    e.insert("Mount", QStringLiteral("Mount"));
    e.insert("dx", step.dxPx);
    e.insert("dy", step.dyPx);
    // As the guide log's row splits them: x is the DirLeft/DirRight axis.
    const bool xIsRa = axes.xIsRa();
    struct Axis {
        double rawPx, guidePx, ms;
        QString letter;
    };
    const auto axis = [](double rawPx, const QString &letter, double ms, double guidePx) {
        return letter.isEmpty() || ms <= 0 ? Axis{rawPx, 0, 0, {}} : Axis{rawPx, guidePx, double(std::lround(ms)), letter};
    };
    const Axis x = axis(step.dxPx, step.directionX, step.moveXMs, step.guideXPx);
    const Axis y = axis(step.dyPx, step.directionY, step.moveYMs, step.guideYPx);
    const Axis &ra = xIsRa ? x : y, &dec = xIsRa ? y : x;
    e.insert("RADistanceRaw", ra.rawPx);
    e.insert("DECDistanceRaw", dec.rawPx);
    e.insert("RADistanceGuide", ra.guidePx);
    e.insert("DECDistanceGuide", dec.guidePx);
    if (ra.ms > 0) {
        e.insert("RADuration", ra.ms);
        e.insert("RADirection", directionName(ra.letter));
    }
    if (dec.ms > 0) {
        e.insert("DECDuration", dec.ms);
        e.insert("DECDirection", directionName(dec.letter));
    }
    e.insert("StarMass", step.starMass);
    e.insert("SNR", step.snr);
    if (hfdPx)
        e.insert("HFD", *hfdPx);
    e.insert("AvgDist", avgDistPx);
    return e;
}

} // namespace orvane
