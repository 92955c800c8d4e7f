#include "picture_display.h"

#include "file_rewrite.h"
#include "ini_values.h"

#include <QFile>

namespace orvane {

namespace {

const QString kGroup = QStringLiteral("display");

QByteArray iniText(const QString &iniPath) { return readIniFile(iniPath).text; }

QString zoomText(int zoom) { return zoom == kZoomFit ? QStringLiteral("fit") : QString::number(zoom); }

} // namespace

DisplaySettings readDisplaySettings(const QString &iniPath, QStringList &problems)
{
    DisplaySettings s;
    IniValues ini(iniText(iniPath), iniPath, problems);
    s.autoStretch = ini.truth("display", "autoStretch", QStringLiteral("true")).value_or(s.autoStretch);
    StretchPoints manual;
    manual.black = int(ini.whole("display", "blackPoint", QString::number(manual.black)).value_or(manual.black));
    manual.white = int(ini.whole("display", "whitePoint", QString::number(manual.white)).value_or(manual.white));
    if (manual.white > manual.black)
        s.manual = manual;
    else
        ini.refuse("display", "whitePoint", QStringLiteral("not above blackPoint (%1)").arg(manual.black),
                   QStringLiteral("%1 and %2").arg(s.manual.black).arg(s.manual.white));
    if (const std::optional<int> zoom = ini.word("display", "zoom", QStringLiteral("fit")))
        s.zoom = *zoom == 0 ? kZoomFit : QString::fromLatin1(iniKey("display", "zoom").words).split(u'|')[*zoom].toInt();
    return s;
}

PictureDisplay::PictureDisplay(const PictureArea &area, QString iniPath, Notifier &notifier)
    : area_(area), iniPath_(std::move(iniPath)), notifier_(notifier)
{
    QStringList problems;
    settings_ = readDisplaySettings(iniPath_, problems);
    for (const QString &problem : problems)
        notifier_.notify(problem);
    connect(&area_, &PictureArea::changed, this, &PictureDisplay::changed);
}

void PictureDisplay::setAutoStretch(bool on)
{
    DisplaySettings next = settings_;
    next.autoStretch = on;
    if (!on && settings_.autoStretch)
        next.manual = points(); // the picture does not jump: the user starts from auto's points
    store(next);
}

void PictureDisplay::setManualPoints(StretchPoints points)
{
    DisplaySettings next = settings_;
    next.manual = normalised(points);
    store(next);
}

void PictureDisplay::setZoom(int zoom)
{
    DisplaySettings next = settings_;
    next.zoom = zoom;
    store(next);
}

void PictureDisplay::store(const DisplaySettings &next)
{
    if (next == settings_)
        return;
    settings_ = next;
    emit changed();

    const QByteArray before = iniText(iniPath_);
    QByteArray after = withIniValue(before, kGroup, QStringLiteral("autoStretch"),
                                    settings_.autoStretch ? QStringLiteral("true") : QStringLiteral("false"));
    after = withIniValue(after, kGroup, QStringLiteral("blackPoint"), QString::number(settings_.manual.black));
    after = withIniValue(after, kGroup, QStringLiteral("whitePoint"), QString::number(settings_.manual.white));
    after = withIniValue(after, kGroup, QStringLiteral("zoom"), zoomText(settings_.zoom));
    if (after == before)
        return;
    const Result written = writeWholeFile(iniPath_, after);
    // Told once, not at every step of a spin box, until a write works again.
    if (!written && !lastWriteFailed_)
        notifier_.notify(QStringLiteral("The picture display settings could not be kept in %1: %2.")
                             .arg(iniPath_, written.error()));
    lastWriteFailed_ = !written;
}

StretchPoints PictureDisplay::points() const
{
    return settings_.autoStretch ? autoStretchPoints(histogram()) : settings_.manual;
}

const Histogram &PictureDisplay::histogram() const
{
    const qint64 key = area_.picture().cacheKey();
    if (key != histogramOf_) {
        histogram_ = histogramOf(area_.picture());
        histogramOf_ = key;
    }
    return histogram_;
}

const QImage &PictureDisplay::image() const
{
    const qint64 key = area_.surface().cacheKey();
    const StretchPoints now = points();
    if (key != imageOf_ || now != imagePoints_) {
        image_ = stretched(area_.surface(), stretchTable(now));
        imageOf_ = key;
        imagePoints_ = now;
    }
    return image_;
}

} // namespace orvane
