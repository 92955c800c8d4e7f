#pragma once
// What the picture display shows: the stretch of the painted picture (auto or
// the user's black and white points) and the zoom of the side window, kept in
// orvane.ini [display]. The stretched surface is made once for each change of
// the picture area or of the points, and painted from there.

#include "display_stretch.h"
#include "notifier.h"
#include "picture_area.h"

#include <QObject>
#include <QString>

namespace orvane {

// 0 fits the whole picture into the view; 1, 2, 4 are screen pixels per picture pixel.
inline constexpr int kZoomFit = 0;

struct DisplaySettings {
    bool autoStretch = true;
    StretchPoints manual{}; // the user's points, used while autoStretch is off
    int zoom = kZoomFit;
    bool operator==(const DisplaySettings &) const = default;
};

// orvane.ini [display]: autoStretch, blackPoint, whitePoint, zoom (fit, 1, 2, 4).
// A missing file or key keeps the default; a value that does not fit keeps it
// too and leaves a sentence naming the file, the key and the cause in `problems`.
DisplaySettings readDisplaySettings(const QString &iniPath, QStringList &problems);

class PictureDisplay : public QObject {
    Q_OBJECT
public:
    // Reads orvane.ini at `iniPath`; what cannot be read, and later what cannot
    // be written, is told to `notifier`.
    PictureDisplay(const PictureArea &area, QString iniPath, Notifier &notifier);

    const DisplaySettings &settings() const { return settings_; }
    void setAutoStretch(bool on);
    void setManualPoints(StretchPoints points);
    void setZoom(int zoom);

    // The points in use: auto's for the current picture, or the user's.
    StretchPoints points() const;
    // The current picture's histogram (not the guide box drawn over it).
    const Histogram &histogram() const;
    // The drawn surface, guide box included, through the stretch: what is painted.
    const QImage &image() const;

signals:
    // The picture, the points or the zoom changed: the views paint again.
    void changed();

private:
    void store(const DisplaySettings &next);

    const PictureArea &area_;
    const QString iniPath_;
    Notifier &notifier_;
    DisplaySettings settings_;
    bool lastWriteFailed_ = false;

    // Made when first asked for after a change, keyed by the images' cache keys.
    mutable Histogram histogram_;
    mutable qint64 histogramOf_ = -1;
    mutable QImage image_;
    mutable qint64 imageOf_ = -1;
    mutable StretchPoints imagePoints_{-1, -1};
};

} // namespace orvane
