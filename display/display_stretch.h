#pragma once
// The display stretch: how the picture's levels are spread over the screen's
// 0..255 so that a frame from the night sky, nearly black as the camera gives
// it, shows its stars. It acts on what is painted only; the picture area, the
// guide measurement and saved files keep the camera's own values.

#include <QImage>

#include <array>
#include <cstdint>

namespace orvane {

// Levels 0..255: black and below paint black, white and above paint white,
// linear in between. Always black < white.
struct StretchPoints {
    int black = 0;
    int white = 255;
    bool operator==(const StretchPoints &) const = default;
};

// A picture's counts per level; luminance is 0.299 R + 0.587 G + 0.114 B.
struct Histogram {
    std::array<uint32_t, 256> luminance{}, red{}, green{}, blue{};
    uint64_t pixels = 0;
};

Histogram histogramOf(const QImage &picture);

// Black at the background (the median level), white where the brightest
// thousandth of the pixels begins, at least kLeastAutoSpan levels above black
// so that the noise of an empty frame is not blown up to full contrast.
inline constexpr int kLeastAutoSpan = 24; // levels
StretchPoints autoStretchPoints(const Histogram &histogram);

// The same points with black in 0..254 and white above it, in 1..255.
StretchPoints normalised(StretchPoints points);

using StretchTable = std::array<uint8_t, 256>;
StretchTable stretchTable(StretchPoints points);

// `image` (any format) with every channel of every pixel looked up in `table`, as RGB32.
QImage stretched(const QImage &image, const StretchTable &table);

} // namespace orvane
