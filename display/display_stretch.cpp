#include "display_stretch.h"

#include <algorithm>

namespace orvane {

namespace {

// The first level at which at least `share` (parts of 1000) of the pixels are counted.
int levelAtShare(const std::array<uint32_t, 256> &counts, uint64_t pixels, uint64_t share)
{
    const uint64_t wanted = (pixels * share + 999) / 1000;
    uint64_t seen = 0;
    for (int level = 0; level < 256; ++level) {
        seen += counts[level];
        if (seen >= wanted && seen > 0)
            return level;
    }
    return 255;
}

} // namespace

Histogram histogramOf(const QImage &picture)
{
    Histogram h;
    if (picture.isNull())
        return h;
    const QImage image = picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32
                             ? picture
                             : picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int r = qRed(row[x]), g = qGreen(row[x]), b = qBlue(row[x]);
            ++h.red[r];
            ++h.green[g];
            ++h.blue[b];
            ++h.luminance[(299 * r + 587 * g + 114 * b + 500) / 1000];
        }
    }
    h.pixels = uint64_t(image.width()) * uint64_t(image.height());
    return h;
}

StretchPoints autoStretchPoints(const Histogram &histogram)
{
    if (histogram.pixels == 0)
        return {};
    const int black = levelAtShare(histogram.luminance, histogram.pixels, 500);
    const int white = levelAtShare(histogram.luminance, histogram.pixels, 999);
    const int spanned = std::max(white, black + kLeastAutoSpan);
    if (spanned > 255)
        return {255 - kLeastAutoSpan, 255};
    return {black, spanned};
}

StretchPoints normalised(StretchPoints points)
{
    const int black = std::clamp(points.black, 0, 254);
    return {black, std::clamp(points.white, black + 1, 255)};
}

StretchTable stretchTable(StretchPoints points)
{
    const StretchPoints p = normalised(points);
    const int span = p.white - p.black;
    StretchTable table{};
    for (int level = 0; level < 256; ++level)
        table[level] = uint8_t(std::clamp(((level - p.black) * 255 + span / 2) / span, 0, 255));
    return table;
}

QImage stretched(const QImage &image, const StretchTable &table)
{
    QImage out = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            row[x] = qRgb(table[qRed(row[x])], table[qGreen(row[x])], table[qBlue(row[x])]);
    }
    return out;
}

} // namespace orvane
