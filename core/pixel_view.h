#pragma once
// A read-only look at a picture held in memory as rows of 32-bit pixels
// 0xAARRGGBB (the RGB32 layout of the picture area's surface and of most frame
// buffers). The guiding core reads pictures only through it.

#include <cstddef>
#include <cstdint>

namespace orvane {

struct PixelView {
    const uint32_t *pixels = nullptr; // the top row
    int width = 0;                    // pixels
    int height = 0;                   // pixels
    std::ptrdiff_t stride = 0;        // 32-bit words from one row to the next

    // Colour number (red + 256 x green + 65536 x blue) of a pixel; outside the
    // picture every pixel is black (0), never a failure.
    uint32_t pixel(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return 0;
        const uint32_t argb = pixels[std::ptrdiff_t(y) * stride + x];
        return ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
    }
};

// The pixel a real coordinate falls on: nearest whole number, ties to even,
// held within +-10^6. The guide search and the guide box outline both use it.
int pixelIndex(double coordinate);

} // namespace orvane
