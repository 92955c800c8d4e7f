#include "v4l2_formats.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orvane {

namespace {

// A driver that never ends a list must not hang the program.
constexpr uint32_t kMaxListEntries = 256;

struct Size {
    uint32_t width, height;
};
// Sizes offered from a stepped or continuous size range, when they fit in it.
constexpr Size kUsualSizes[] = {{160, 120}, {176, 144}, {320, 240}, {352, 288}, {640, 480},
                                {800, 600}, {1024, 768}, {1280, 720}, {1280, 960}, {1920, 1080}};
// Frames per second offered from a stepped or continuous interval range.
constexpr uint32_t kUsualRates[] = {60, 30, 25, 20, 15, 10, 5, 2, 1};

QString textOf(const uint8_t *chars, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(chars), int(strnlen(reinterpret_cast<const char *>(chars), size)));
}

bool fitsStep(uint32_t value, uint32_t min, uint32_t max, uint32_t step)
{
    return value >= min && value <= max && (step <= 1 || (value - min) % step == 0);
}

// Periods compared as fractions: a/b against c/d by a*d against c*b.
int64_t comparePeriods(const V4l2FrameRate &a, const V4l2FrameRate &b)
{
    return int64_t(uint64_t(a.numerator) * b.denominator) - int64_t(uint64_t(b.numerator) * a.denominator);
}

// The shortest and longest period of the range, and the usual rates between them.
std::vector<V4l2FrameRate> ratesFromRange(const v4l2_frmival_stepwise &range)
{
    const V4l2FrameRate shortest{range.min.numerator, range.min.denominator};
    const V4l2FrameRate longest{range.max.numerator, range.max.denominator};
    std::vector<V4l2FrameRate> rates{shortest};
    for (uint32_t fps : kUsualRates) {
        const V4l2FrameRate usual{1, fps};
        if (comparePeriods(usual, shortest) > 0 && comparePeriods(usual, longest) < 0)
            rates.push_back(usual);
    }
    if (comparePeriods(longest, shortest) > 0)
        rates.push_back(longest);
    return rates;
}

std::vector<V4l2FrameRate> listRates(V4l2Io &io, int fd, uint32_t fourcc, uint32_t width, uint32_t height)
{
    std::vector<V4l2FrameRate> rates;
    for (uint32_t i = 0; i < kMaxListEntries; ++i) {
        v4l2_frmivalenum e{};
        e.index = i;
        e.pixel_format = fourcc;
        e.width = width;
        e.height = height;
        if (io.ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &e) != 0)
            break;
        if (e.type == V4L2_FRMIVAL_TYPE_DISCRETE) {
            if (e.discrete.numerator && e.discrete.denominator)
                rates.push_back({e.discrete.numerator, e.discrete.denominator});
        } else {
            if (e.stepwise.min.numerator && e.stepwise.min.denominator && e.stepwise.max.numerator && e.stepwise.max.denominator)
                rates = ratesFromRange(e.stepwise);
            break; // a range is the whole answer
        }
    }
    return rates;
}

std::vector<V4l2FrameSize> listSizes(V4l2Io &io, int fd, uint32_t fourcc)
{
    std::vector<V4l2FrameSize> sizes;
    for (uint32_t i = 0; i < kMaxListEntries; ++i) {
        v4l2_frmsizeenum e{};
        e.index = i;
        e.pixel_format = fourcc;
        if (io.ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &e) != 0)
            break;
        if (e.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            sizes.push_back({e.discrete.width, e.discrete.height, {}});
            continue;
        }
        const v4l2_frmsize_stepwise &r = e.stepwise;
        for (const Size &s : kUsualSizes)
            if (fitsStep(s.width, r.min_width, r.max_width, r.step_width) && fitsStep(s.height, r.min_height, r.max_height, r.step_height))
                sizes.push_back({s.width, s.height, {}});
        if (sizes.empty() || sizes.back().width != r.max_width || sizes.back().height != r.max_height)
            sizes.push_back({r.max_width, r.max_height, {}});
        break; // a range is the whole answer
    }
    for (V4l2FrameSize &s : sizes)
        s.rates = listRates(io, fd, fourcc, s.width, s.height);
    return sizes;
}

} // namespace

std::vector<V4l2PixelFormat> enumerateV4l2Formats(V4l2Io &io, int fd, int &error)
{
    error = 0;
    std::vector<V4l2PixelFormat> formats;
    for (uint32_t i = 0; i < kMaxListEntries; ++i) {
        v4l2_fmtdesc d{};
        d.index = i;
        d.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (const int r = io.ioctl(fd, VIDIOC_ENUM_FMT, &d); r != 0) {
            if (r != -EINVAL) // EINVAL ends the list
                error = r;
            break;
        }
        V4l2PixelFormat f;
        f.fourcc = d.pixelformat;
        f.description = textOf(d.description, sizeof d.description);
        if (f.description.isEmpty())
            f.description = fourccText(d.pixelformat);
        f.compressed = isCompressedFormat(d.pixelformat, d.flags);
        f.sizes = listSizes(io, fd, d.pixelformat);
        formats.push_back(std::move(f));
    }
    return formats;
}

QString fourccText(uint32_t fourcc)
{
    QString text;
    for (int i = 0; i < 4; ++i) {
        const char c = char((fourcc >> (8 * i)) & 0xff);
        text += (c >= 0x20 && c < 0x7f) ? QChar(c) : QChar('?');
    }
    return text.trimmed();
}

bool isCompressedFormat(uint32_t fourcc, uint32_t flags)
{
    if (flags & V4L2_FMT_FLAG_COMPRESSED)
        return true;
    static constexpr uint32_t kCompressed[] = {V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_JPEG, V4L2_PIX_FMT_H264,
                                               V4L2_PIX_FMT_MPEG, V4L2_PIX_FMT_PJPG, V4L2_PIX_FMT_SN9C10X,
                                               V4L2_PIX_FMT_PAC207, V4L2_PIX_FMT_SPCA561, V4L2_PIX_FMT_OV511,
                                               V4L2_PIX_FMT_OV518, V4L2_PIX_FMT_JPGL, V4L2_PIX_FMT_MR97310A};
    return std::find(std::begin(kCompressed), std::end(kCompressed), fourcc) != std::end(kCompressed);
}

QString frameRateText(const V4l2FrameRate &rate)
{
    const double fps = rate.framesPerSecond();
    if (fps <= 0)
        return QStringLiteral("unknown rate");
    return QStringLiteral("%1 frames/s").arg(QString::number(fps, 'g', 3));
}

} // namespace orvane
