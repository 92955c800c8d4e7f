#pragma once
// What a webcam can send: its pixel formats, for each the frame sizes, for each
// size the frame rates, all taken from the device's own lists (ENUM_FMT,
// ENUM_FRAMESIZES, ENUM_FRAMEINTERVALS). Ranges the device gives as steps or a
// continuous span become a short list of the usual values inside the range.

#include "v4l2_io.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace orvane {

// One frame period, numerator/denominator seconds (1/30 is thirty frames a second).
struct V4l2FrameRate {
    uint32_t numerator = 0;
    uint32_t denominator = 0;
    bool operator==(const V4l2FrameRate &) const = default;
    // Frames per second; 0 for an unknown period.
    double framesPerSecond() const { return numerator ? double(denominator) / numerator : 0.0; }
};

struct V4l2FrameSize {
    uint32_t width = 0;  // pixels
    uint32_t height = 0; // pixels
    std::vector<V4l2FrameRate> rates; // empty when the device lists none
};

struct V4l2PixelFormat {
    uint32_t fourcc = 0;
    QString description; // the device's own name for it ("YUYV 4:2:2")
    bool compressed = false;
    std::vector<V4l2FrameSize> sizes; // empty when the device lists none
};

// The device's formats; `error` is 0 or the -errno that stopped the listing
// (the formats found before it are kept).
std::vector<V4l2PixelFormat> enumerateV4l2Formats(V4l2Io &io, int fd, int &error);

// "YUYV", "MJPG": the four characters of a pixel format code.
QString fourccText(uint32_t fourcc);
// Compressed by the device's flag, or by code for drivers that do not set it.
bool isCompressedFormat(uint32_t fourcc, uint32_t flags);
// "30 frames/s", "7.5 frames/s", "0.2 frames/s".
QString frameRateText(const V4l2FrameRate &rate);

} // namespace orvane
