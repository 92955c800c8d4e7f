#include "v4l2_camera.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <utility>

namespace orvane {

namespace {

constexpr uint32_t kPictureWidth = 640;  // pixels, the picture area's size
constexpr uint32_t kPictureHeight = 480; // pixels
constexpr double kUnknownPeriodMs = 200;  // a frame period we assume when the device names none (5 frames/s)
constexpr int kLongestWaitMs = 2000;     // the GUI never waits longer than this for one frame

} // namespace

V4l2Camera::V4l2Camera(std::shared_ptr<V4l2Io> io, QString path, QString card, Clock &clock)
    : io_(std::move(io))
    , path_(std::move(path))
    , card_(card.isEmpty() ? path_ : std::move(card))
    , displayName_(card_)
    , clock_(clock)
{
}

V4l2Camera::~V4l2Camera()
{
    closeDevice();
}

QString V4l2Camera::subject() const
{
    return QStringLiteral("The webcam %1 (%2)").arg(card_, path_);
}

int V4l2Camera::frameWaitMs() const
{
    const double fps = mode_.rate.framesPerSecond();
    const double periodMs = fps > 0 ? 1000.0 / fps : kUnknownPeriodMs;
    return std::clamp(int(std::ceil(2 * periodMs)), 1, kLongestWaitMs);
}

Result V4l2Camera::connect()
{
    if (isConnected())
        return Result::success();
    const int fd = io_->open(path_);
    if (fd < 0)
        return Result::failure(QStringLiteral("%1 could not be opened: %2.").arg(subject(), errnoText(fd)));
    fd_ = fd;

    v4l2_capability cap{};
    if (const int r = io_->ioctl(fd_, VIDIOC_QUERYCAP, &cap); r != 0)
        return failStart(QStringLiteral("asking what it is"), r);
    const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!(caps & V4L2_CAP_VIDEO_CAPTURE) || !(caps & V4L2_CAP_STREAMING)) {
        closeDevice();
        return Result::failure(QStringLiteral("%1 does not stream video.").arg(subject()));
    }

    int listError = 0;
    formats_ = enumerateV4l2Formats(*io_, fd_, listError);
    if (listError != 0)
        return failStart(QStringLiteral("listing its formats"), listError);

    if (const int r = setModeOnDevice(chosen_ ? *chosen_ : defaultMode()); r != 0)
        return failStart(QStringLiteral("setting the format"), r);
    converter_ = std::make_unique<V4l2FrameConverter>(*io_, fd_);
    if (!converter_->ready()) {
        closeDevice();
        return Result::failure(QStringLiteral("%1 could not start: its frames cannot be converted to pictures.").arg(subject()));
    }
    if (const int r = startStreaming(); r != 0)
        return failStart(QStringLiteral("starting the stream"), r);
    return Result::success();
}

void V4l2Camera::disconnect()
{
    closeDevice();
}

Result V4l2Camera::failStart(const QString &step, int error)
{
    closeDevice();
    return Result::failure(QStringLiteral("%1 could not start (%2): %3.").arg(subject(), step, errnoText(error)));
}

void V4l2Camera::closeDevice()
{
    if (fd_ < 0)
        return;
    stopStreaming();
    converter_.reset();
    io_->close(fd_);
    fd_ = -1;
}

bool V4l2Camera::lostOn(int error, bool streaming)
{
    if (error == 0 || !(isDeviceLost(error) || (streaming && error == -EIO)))
        return false;
    markLost(error);
    return true;
}

void V4l2Camera::markLost(int error)
{
    lost_ = QStringLiteral("%1 stopped answering: %2.").arg(subject(), errnoText(error));
    closeDevice();
    tellProblem(lost_);
}

// Without an earlier choice: 640 x 480 like the picture area, uncompressed if the
// device offers it that way (long exposures want every bit of the faint signal),
// else whatever the device is set to now.
V4l2Mode V4l2Camera::defaultMode() const
{
    for (bool acceptCompressed : {false, true})
        for (const V4l2PixelFormat &f : formats_) {
            if (f.compressed && !acceptCompressed)
                continue;
            for (const V4l2FrameSize &s : f.sizes)
                if (s.width == kPictureWidth && s.height == kPictureHeight)
                    return {f.fourcc, s.width, s.height, {}};
        }
    v4l2_format now{};
    now.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (io_->ioctl(fd_, VIDIOC_G_FMT, &now) == 0)
        return {now.fmt.pix.pixelformat, now.fmt.pix.width, now.fmt.pix.height, {}};
    if (!formats_.empty() && !formats_.front().sizes.empty())
        return {formats_.front().fourcc, formats_.front().sizes.front().width, formats_.front().sizes.front().height, {}};
    return {V4L2_PIX_FMT_YUYV, kPictureWidth, kPictureHeight, {}};
}

int V4l2Camera::setModeOnDevice(const V4l2Mode &wanted)
{
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    f.fmt.pix.pixelformat = wanted.fourcc;
    f.fmt.pix.width = wanted.width;
    f.fmt.pix.height = wanted.height;
    f.fmt.pix.field = V4L2_FIELD_ANY;
    if (const int r = io_->ioctl(fd_, VIDIOC_S_FMT, &f); r != 0)
        return r;
    pixFormat_ = f.fmt.pix; // the device's answer: it may round the size
    mode_ = {f.fmt.pix.pixelformat, f.fmt.pix.width, f.fmt.pix.height, {}};

    v4l2_streamparm p{};
    p.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (io_->ioctl(fd_, VIDIOC_G_PARM, &p) != 0)
        return 0; // no frame rate control: the device keeps its own
    if (wanted.rate.numerator && wanted.rate.denominator && (p.parm.capture.capability & V4L2_CAP_TIMEPERFRAME)) {
        p.parm.capture.timeperframe = {wanted.rate.numerator, wanted.rate.denominator};
        if (const int r = io_->ioctl(fd_, VIDIOC_S_PARM, &p); r != 0 && isDeviceLost(r))
            return r;
        (void)io_->ioctl(fd_, VIDIOC_G_PARM, &p);
    }
    mode_.rate = {p.parm.capture.timeperframe.numerator, p.parm.capture.timeperframe.denominator};
    return 0;
}

Result V4l2Camera::applyMode(const V4l2Mode &wanted)
{
    if (!isConnected())
        return Result::failure(QStringLiteral("%1 is not connected.").arg(subject()));
    const V4l2Mode previous = mode_;
    stopStreaming();
    if (const int r = setModeOnDevice(wanted); r != 0) {
        if (lostOn(r, false))
            return Result::failure(lost_);
        (void)setModeOnDevice(previous);
        if (const int again = startStreaming(); again != 0 && lostOn(again, true))
            return Result::failure(lost_);
        return Result::failure(QStringLiteral("%1 did not take %2 %3 x %4: %5.")
                                   .arg(subject(), fourccText(wanted.fourcc))
                                   .arg(wanted.width)
                                   .arg(wanted.height)
                                   .arg(errnoText(r)));
    }
    chosen_ = wanted;
    if (const int r = startStreaming(); r != 0) {
        if (lostOn(r, true))
            return Result::failure(lost_);
        return Result::failure(QStringLiteral("%1 could not stream %2 %3 x %4: %5.")
                                   .arg(subject(), fourccText(mode_.fourcc))
                                   .arg(mode_.width)
                                   .arg(mode_.height)
                                   .arg(errnoText(r)));
    }
    return Result::success();
}

std::vector<V4l2Control> V4l2Camera::controls()
{
    if (!isConnected())
        return {};
    int error = 0;
    std::vector<V4l2Control> list = enumerateV4l2Controls(*io_, fd_, error);
    if (error != 0)
        lostOn(error, false);
    return list;
}

Result V4l2Camera::setControl(V4l2Control &control, int32_t value)
{
    if (!isConnected())
        return Result::failure(QStringLiteral("%1 is not connected.").arg(subject()));
    v4l2_control c{control.id, value};
    if (const int r = io_->ioctl(fd_, VIDIOC_S_CTRL, &c); r != 0) {
        if (lostOn(r, false))
            return Result::failure(lost_);
        (void)refreshControl(control); // shows the value the device kept
        return Result::failure(QStringLiteral("%1 did not take %2 = %3: %4.").arg(subject(), control.name).arg(value).arg(errnoText(r)));
    }
    if (control.kind == V4l2Control::Kind::Button)
        return Result::success();
    return refreshControl(control);
}

Result V4l2Camera::refreshControl(V4l2Control &control)
{
    if (!isConnected())
        return Result::failure(QStringLiteral("%1 is not connected.").arg(subject()));
    if (const int r = refreshV4l2Control(*io_, fd_, control); r != 0) {
        if (lostOn(r, false))
            return Result::failure(lost_);
        return Result::failure(QStringLiteral("%1 did not report %2: %3.").arg(subject(), control.name, errnoText(r)));
    }
    return Result::success();
}

QString V4l2Camera::dialogNote(CaptureDialog) const
{
    return isConnected() ? QString() : QStringLiteral("%1 is not connected.").arg(subject());
}

} // namespace orvane
