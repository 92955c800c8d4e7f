#include "optics.h"

#include "ini_lines.h"
#include "ini_values.h"

namespace orvane {

namespace {

constexpr double kArcsecPerMicronMillimetre = 206.265; // 206265 arc-seconds a radian, µm over mm
const QString kOptics = QStringLiteral("optics");

} // namespace

std::optional<double> pixelScale(std::optional<double> focalMm, std::optional<double> pixelUm, int binning)
{
    if (!focalMm || !pixelUm || *focalMm <= 0 || *pixelUm <= 0 || binning < 1)
        return std::nullopt;
    return kArcsecPerMicronMillimetre * *pixelUm * binning / *focalMm;
}

std::optional<double> guideScale(const Optics &o)
{
    return pixelScale(o.guideFocalLengthMm, o.guidePixelUm);
}

std::optional<FrameScale> imagingScale(const Optics &o, int binning, bool lineDoubled)
{
    const std::optional<double> scale = pixelScale(o.imagingFocalLengthMm, o.imagingPixelUm, binning);
    if (!scale)
        return std::nullopt;
    return FrameScale{*scale, *scale, lineDoubled ? 2 * *scale : *scale};
}

QString pxAndArcsec(double px, std::optional<double> arcsecPerPx, int decimals)
{
    const QString text = QStringLiteral("%1 px").arg(px, 0, 'f', decimals);
    if (!arcsecPerPx)
        return text;
    return text + QStringLiteral(" (%1\u2033)").arg(px * *arcsecPerPx, 0, 'f', decimals);
}

Optics opticsFromIni(const QByteArray &iniText, const QString &iniPath, QStringList &notes)
{
    IniValues ini(iniText, iniPath, notes);
    const QString unknown = QStringLiteral("none (guide errors in pixels only)");
    const auto figure = [&](const char *key) -> std::optional<double> {
        if (ini.text("optics", key).value_or(QString()).isEmpty())
            return std::nullopt;
        return ini.number("optics", key, unknown);
    };
    return {figure("guideFocalLengthMm"), figure("guidePixelUm"), figure("imagingFocalLengthMm"),
            figure("imagingPixelUm")};
}

QByteArray withOptics(const QByteArray &iniText, const Optics &o)
{
    const auto value = [](std::optional<double> v) -> std::optional<QString> {
        return v ? std::optional(QString::number(*v, 'g', 10)) : std::nullopt;
    };
    QByteArray text = withIniValue(iniText, kOptics, QStringLiteral("guideFocalLengthMm"), value(o.guideFocalLengthMm));
    text = withIniValue(text, kOptics, QStringLiteral("guidePixelUm"), value(o.guidePixelUm));
    text = withIniValue(text, kOptics, QStringLiteral("imagingFocalLengthMm"), value(o.imagingFocalLengthMm));
    return withIniValue(text, kOptics, QStringLiteral("imagingPixelUm"), value(o.imagingPixelUm));
}

} // namespace orvane
