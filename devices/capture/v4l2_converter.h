#pragma once
// Turns one frame as the webcam sends it (YUYV, MJPEG, Bayer, ...) into an
// RGB picture, with libv4lconvert. The converter reaches the device through
// the same V4l2Io seam as the camera, so it works on the fake in tests too.

#include "v4l2_io.h"

#include <QImage>
#include <QString>

#include <linux/videodev2.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct v4lconvert_data;

namespace orvane {

class V4l2FrameConverter {
public:
    // `io` must outlive the converter; fd is the open device.
    V4l2FrameConverter(V4l2Io &io, int fd);
    ~V4l2FrameConverter();
    V4l2FrameConverter(const V4l2FrameConverter &) = delete;
    V4l2FrameConverter &operator=(const V4l2FrameConverter &) = delete;

    bool ready() const { return data_ != nullptr; }
    // The frame as a 24-bit RGB picture of the format's size, or nothing with
    // the reason in `error` (a short or damaged frame, an unknown format).
    std::optional<QImage> toImage(const v4l2_pix_format &format, const uint8_t *frame, size_t bytes, QString &error);

private:
    V4l2Io &io_;
    v4lconvert_data *data_ = nullptr;
    std::vector<uint8_t> rgb_; // reused between frames
};

} // namespace orvane
