#include "guide_log_lines.h"

#include <cmath>

namespace orvane {

namespace {

const QString kStampFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
const QString kNameFormat = QStringLiteral("'guide_log-'yyyy-MM-ddThh-mm-ss'.txt'");

QString px(double value) { return QString::number(value, 'f', 3); }

// A CSV field: quoted when it holds a comma, a quote or a line break.
QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

QString guideLogStamp(const QDateTime &local) { return local.toString(kStampFormat); }

QString guideLogFileName(const QDateTime &local) { return local.toString(kNameFormat); }

std::optional<QDateTime> guideLogFileTime(const QString &name)
{
    const QDateTime t = QDateTime::fromString(name, kNameFormat);
    return t.isValid() ? std::optional(t) : std::nullopt;
}

bool sameNight(const QDateTime &a, const QDateTime &b)
{
    constexpr qint64 kHalfDayS = 12 * 3600;
    return a.addSecs(-kHalfDayS).date() == b.addSecs(-kHalfDayS).date();
}

QStringList guideLogOpening(const QString &program, const QDateTime &local)
{
    return {QStringLiteral("%1. PHD2 log version 2.5. Log enabled at %2").arg(program, guideLogStamp(local)), {}};
}

QStringList guideLogRunHeader(const GuideRunFacts &f)
{
    const auto number = [](double v, int decimals) { return QString::number(v, 'f', decimals); };
    const auto known = [&](std::optional<double> v, int decimals) {
        return v ? number(*v, decimals) : QStringLiteral("N/A");
    };
    // Where the mount points is not known here.
    QStringList lines{QStringLiteral("Guiding Begins at %1").arg(guideLogStamp(f.begins)),
            QStringLiteral("Pixel scale = %1 arc-sec/px, Binning = 1, Focal length = %2 mm")
                .arg(known(f.arcsecPerPx, 2), known(f.focalLengthMm, 0)),
            QStringLiteral("RA = N/A hr, Dec = N/A deg, Hour angle = N/A hr, Pier side = Unknown, Rotator pos = N/A, "
                           "Alt = N/A deg, Az = N/A deg"),
            QStringLiteral("Mount = %1, xAngle = %2, xRate = %3, yAngle = %4, yRate = %5")
                .arg(f.mount, number(f.axes.xAngleDeg, 1), number(f.axes.xRatePxPerSec, 3), number(f.axes.yAngleDeg, 1),
                     number(f.axes.yRatePxPerSec, 3)),
            QStringLiteral("Frame,Time,mount,dx,dy,RARawDistance,DECRawDistance,RAGuideDistance,DECGuideDistance,"
                           "RADuration,RADirection,DECDuration,DECDirection,XStep,YStep,StarMass,SNR,ErrorCode")};
    if (f.lockPx)
        lines.insert(lines.size() - 1, QStringLiteral("Lock position = %1, %2").arg(px(f.lockPx->x()), px(f.lockPx->y())));
    return lines;
}

bool AxisLetters::xIsRa() const
{
    const auto eastWest = [](const QString &letter) {
        return letter.compare(QStringLiteral("e"), Qt::CaseInsensitive) == 0 ||
               letter.compare(QStringLiteral("w"), Qt::CaseInsensitive) == 0;
    };
    return eastWest(left) || eastWest(right) || !(eastWest(up) || eastWest(down));
}

QString guideLogRow(int frame, double seconds, const GuideStep &told, const AxisLetters &axes)
{
    const GuideStep step = told.withAxesFilled();
    const QString head = QStringLiteral("%1,%2,").arg(frame).arg(seconds, 0, 'f', 3);
    if (!step.starFound) // nothing measured, nothing moved; error code 1: no star in the box
        return head + QStringLiteral("\"DROP\",,,,,,,0,,0,,,,,0.00,1");
    struct Axis {
        double rawPx, guidePx;
        long durationMs;
        QString letter;
    };
    // x: the DirLeft/DirRight letters' axis, y: DirUp/DirDown's.
    const auto axis = [&](double rawPx, const QString &letter, double ms, double guidePx) {
        return letter.isEmpty() || ms <= 0 ? Axis{rawPx, 0, 0, {}} : Axis{rawPx, guidePx, std::lround(ms), letter.toUpper()};
    };
    const Axis x = axis(step.dxPx, step.directionX, step.moveXMs, step.guideXPx);
    const Axis y = axis(step.dyPx, step.directionY, step.moveYMs, step.guideYPx);
    const Axis &ra = axes.xIsRa() ? x : y, &dec = axes.xIsRa() ? y : x;
    const QString mass = step.starMass > 0 ? QString::number(step.starMass, 'f', 0) : QString();
    return head + QStringLiteral("\"Mount\",%1,%2,%3,%4,%5,%6,%7,%8,%9,")
                      .arg(px(step.dxPx), px(step.dyPx), px(ra.rawPx), px(dec.rawPx), px(ra.guidePx), px(dec.guidePx))
                      .arg(ra.durationMs)
                      .arg(ra.letter)
                      .arg(dec.durationMs) +
           dec.letter + QStringLiteral(",,,%1,%2,0").arg(mass).arg(step.snr, 0, 'f', 2);
}

QString ditherText(double dxPx, double dyPx, double lockXPx, double lockYPx)
{
    return QStringLiteral("%1, %2, new lock pos = %3, %4").arg(px(dxPx), px(dyPx), px(lockXPx), px(lockYPx));
}

QString guideLogStarCount(int stars)
{
    return stars == 1 ? QStringLiteral("INFO: Guiding on 1 star") : QStringLiteral("INFO: Guiding on %1 stars").arg(stars);
}

QString guideLogInfo(GuideEvent event, const QString &text)
{
    switch (event) {
    case GuideEvent::StarLost: return QStringLiteral("INFO: Star lost");
    case GuideEvent::StarFound: return QStringLiteral("INFO: Star found again");
    case GuideEvent::GuidingOff: return QStringLiteral("INFO: Guiding unticked");
    case GuideEvent::GuidingOn: return QStringLiteral("INFO: Guiding ticked");
    case GuideEvent::StarMarked: return QStringLiteral("INFO: Guide star marked at %1").arg(text);
    case GuideEvent::FrameSaved: return QStringLiteral("INFO: Frame saved as %1").arg(text);
    case GuideEvent::Dither: return QStringLiteral("INFO: DITHER by %1").arg(text);
    case GuideEvent::SettlingBegins: return QStringLiteral("INFO: SETTLING STATE CHANGE, Settling started");
    case GuideEvent::SettlingComplete: return QStringLiteral("INFO: SETTLING STATE CHANGE, Settling complete");
    case GuideEvent::SettlingFailed: return QStringLiteral("INFO: SETTLING STATE CHANGE, Settling failed");
    case GuideEvent::GuidingBegins:
    case GuideEvent::GuidingEnds: break;
    }
    return {};
}

QString guideLogEnds(const QDateTime &local) { return QStringLiteral("Guiding Ends at ") + guideLogStamp(local); }

QString guideLogClosed(const QDateTime &local) { return QStringLiteral("Log closed at ") + guideLogStamp(local); }

QString framesCsvHeader()
{
    return QStringLiteral("File,UTC start,UTC end,Exposure s,Camera,Mount,Line doubling,Guide steps,"
                          "RMS x px,RMS y px,RMS px,Peak px,Steps star lost,RMS arcsec,Peak arcsec");
}

QString framesCsvRow(const FrameRow &r)
{
    return QStringList{csvField(r.fileName), r.utcStart, r.utcEnd, QString::number(r.exposureS, 'f', 3),
                       csvField(r.camera), csvField(r.mount),
                       r.lineDoubled ? QStringLiteral("on") : QStringLiteral("off"), QString::number(r.guideSteps),
                       px(r.rmsXPx), px(r.rmsYPx), px(r.rmsPx), px(r.peakPx), QString::number(r.lostSteps),
                       r.arcsecPerPx ? px(r.rmsPx * *r.arcsecPerPx) : QString(),
                       r.arcsecPerPx ? px(r.peakPx * *r.arcsecPerPx) : QString()}
        .join(u',');
}

} // namespace orvane
