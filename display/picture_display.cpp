#include "picture_display.h"

#include "file_rewrite.h"
#include "ini_lines.h"

#include <QFile>

namespace orvane {

namespace {

const QString kGroup = QStringLiteral("display");

QByteArray iniText(const QString &iniPath)
{
    QFile file(iniPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString zoomText(int zoom) { return zoom == kZoomFit ? QStringLiteral("fit") : QString::number(zoom); }

} // namespace

DisplaySettings readDisplaySettings(const QString &iniPath, QStringList &problems)
{
    DisplaySettings s;
    const QByteArray text = iniText(iniPath);
    const auto value = [&](const char *key) { return iniValue(text, kGroup, QLatin1String(key)); };
    const auto refuse = [&](const char *key, const QString &stored, const QString &cause) {
        problems << QStringLiteral("%1 [display] %2: \"%3\" %4; the display uses its default.")
                        .arg(iniPath, QLatin1String(key), stored, cause);
    };
    if (const auto on = value("autoStretch")) {
        const QString word = on->trimmed().toLower();
        if (word == QLatin1String("true") || word == QLatin1String("1"))
            s.autoStretch = true;
        else if (word == QLatin1String("false") || word == QLatin1String("0"))
            s.autoStretch = false;
        else
            refuse("autoStretch", *on, QStringLiteral("is neither true nor false"));
    }
    const auto level = [&](const char *key, int least, int most, int &into) {
        const auto stored = value(key);
        if (!stored)
            return;
        bool number = false;
        const int v = stored->trimmed().toInt(&number);
        if (!number || v < least || v > most)
            refuse(key, *stored, QStringLiteral("is not a whole number from %1 to %2").arg(least).arg(most));
        else
            into = v;
    };
    StretchPoints manual;
    level("blackPoint", 0, 254, manual.black);
    level("whitePoint", 1, 255, manual.white);
    if (manual.white > manual.black)
        s.manual = manual;
    else
        refuse("whitePoint", QString::number(manual.white),
               QStringLiteral("does not lie above blackPoint (%1)").arg(manual.black));
    if (const auto zoom = value("zoom")) {
        const QString word = zoom->trimmed().toLower();
        if (word == QLatin1String("fit"))
            s.zoom = kZoomFit;
        else if (word == QLatin1String("1") || word == QLatin1String("2") || word == QLatin1String("4"))
            s.zoom = word.toInt();
        else
            refuse("zoom", *zoom, QStringLiteral("is not fit, 1, 2 or 4"));
    }
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
