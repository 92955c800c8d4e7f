#include "v4l2_converter.h"

#include <libv4l-plugin.h>
#include <libv4lconvert.h>

#include <cerrno>
#include <cstring>

namespace orvane {

namespace {

int seamIoctl(void *io, int fd, unsigned long request, void *arg)
{
    const int r = static_cast<V4l2Io *>(io)->ioctl(fd, request, arg);
    if (r < 0) {
        errno = -r;
        return -1;
    }
    return 0;
}

const libv4l_dev_ops *seamOps()
{
    static const libv4l_dev_ops ops = [] {
        libv4l_dev_ops o{};
        o.ioctl = seamIoctl;
        return o;
    }();
    return &ops;
}

} // namespace

V4l2FrameConverter::V4l2FrameConverter(V4l2Io &io, int fd)
    : io_(io)
{
    data_ = v4lconvert_create_with_dev_ops(fd, &io_, seamOps());
}

V4l2FrameConverter::~V4l2FrameConverter()
{
    if (data_)
        v4lconvert_destroy(data_);
}

std::optional<QImage> V4l2FrameConverter::toImage(const v4l2_pix_format &format, const uint8_t *frame, size_t bytes, QString &error)
{
    if (!data_) {
        error = QStringLiteral("the format converter could not be started");
        return std::nullopt;
    }
    const uint32_t width = format.width, height = format.height;
    if (width == 0 || height == 0 || width > 16384 || height > 16384) {
        error = QStringLiteral("the frame size %1 x %2 is not usable").arg(width).arg(height);
        return std::nullopt;
    }
    v4l2_format src{};
    src.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    src.fmt.pix = format;
    v4l2_format dest = src;
    dest.fmt.pix.pixelformat = V4L2_PIX_FMT_RGB24;
    dest.fmt.pix.bytesperline = width * 3;
    dest.fmt.pix.sizeimage = width * height * 3;
    rgb_.resize(dest.fmt.pix.sizeimage);
    // The converter reads, but its signature is not const.
    const int made = v4lconvert_convert(data_, &src, &dest, const_cast<uint8_t *>(frame), int(bytes), rgb_.data(), int(rgb_.size()));
    if (made < int(rgb_.size())) {
        const char *why = v4lconvert_get_error_message(data_);
        error = made < 0 && why && *why ? QString::fromLocal8Bit(why).trimmed() : QStringLiteral("the frame was incomplete");
        error.remove(QStringLiteral("v4l-convert: ")); // the library's prefix
        return std::nullopt;
    }
    QImage image(int(width), int(height), QImage::Format_RGB888);
    for (uint32_t y = 0; y < height; ++y)
        std::memcpy(image.scanLine(int(y)), rgb_.data() + size_t(y) * width * 3, size_t(width) * 3);
    return image;
}

} // namespace orvane
