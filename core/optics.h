#pragma once
// The optics of the guide and the imaging camera (orvane.ini [optics]): focal
// length and pixel size, and from them the pixel scale, so that guide errors can
// be told in arc-seconds beside pixels and FITS frames carry their geometry.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvane {

struct Optics {
    std::optional<double> guideFocalLengthMm{};   // mm, the guide camera's telescope
    std::optional<double> guidePixelUm{};         // µm, one pixel of the guide camera
    std::optional<double> imagingFocalLengthMm{}; // mm
    std::optional<double> imagingPixelUm{};       // µm
};

// 206.265 × pixel µm × binning / focal mm: arc-seconds on the sky per picture
// pixel; nothing when either figure is unknown or not above 0.
std::optional<double> pixelScale(std::optional<double> focalMm, std::optional<double> pixelUm, int binning = 1);

// Guide frames: arc-seconds per pixel of the guide picture (never line-doubled).
std::optional<double> guideScale(const Optics &optics);
// Image frames, across and down a picture pixel. A line-doubled frame ("2x1 Bin")
// keeps one sensor row per picture row: its rows are half-height pixels of the
// doubled pairs, so each row spans the sensor row's own scale and a pair twice it.
struct FrameScale {
    double xArcsecPerPx = 0, yArcsecPerPx = 0; // of one picture pixel
    double pairArcsec = 0;                     // line-doubled: the height of a doubled pair; else yArcsecPerPx
};
std::optional<FrameScale> imagingScale(const Optics &optics, int binning, bool lineDoubled);

// "1.25 px (2.54″)" when the scale is known, else "1.25 px".
QString pxAndArcsec(double px, std::optional<double> arcsecPerPx, int decimals = 2);

// The optics as orvane.ini gives them; a value that cannot be used is told in `notes` and left unknown.
Optics opticsFromIni(const QByteArray &iniText, const QString &iniPath, QStringList &notes);
// `iniText` with the four [optics] keys set (an unknown figure removes its key); all else stays.
QByteArray withOptics(const QByteArray &iniText, const Optics &optics);

} // namespace orvane
