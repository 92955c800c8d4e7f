#pragma once
// The seam between the webcam code and the video device nodes: open, close,
// ioctl, mmap, munmap and a readiness wait, one call each. The real adapter goes
// through libv4l2 (device plugins, buffer handling) with its own format
// conversion switched off; the camera converts frames to RGB itself, so the
// pixel format the device sends stays the user's choice. Tests put a fake here.
//
// Every call reports failure as a negative errno value, so nothing depends on
// errno surviving between the call and the caller's check.

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace orvane {

class V4l2Io {
public:
    virtual ~V4l2Io() = default;
    // The video device nodes present now (/dev/video0, /dev/video1, ...), in number order.
    virtual QStringList videoNodes() = 0;
    // A file descriptor >= 0, or -errno. Opened non-blocking: a dequeue with no
    // frame ready answers -EAGAIN.
    virtual int open(const QString &path) = 0;
    virtual void close(int fd) = 0;
    // 0, or -errno.
    virtual int ioctl(int fd, unsigned long request, void *arg) = 0;
    // The mapped buffer, or nullptr with -errno in `error`.
    virtual void *mmap(int fd, size_t length, int64_t offset, int &error) = 0;
    virtual void munmap(void *address, size_t length) = 0;
    // Waits up to timeoutMs (milliseconds) for a frame to be ready on fd.
    // > 0: something is ready (a frame, or an error the next dequeue reports);
    // 0: the time ran out; -errno: the wait failed.
    virtual int waitReadable(int fd, int timeoutMs) = 0;
};

// The adapter over libv4l2, shared by every webcam of the process.
std::shared_ptr<V4l2Io> realV4l2Io();

// "No such device" for ENODEV: the system's sentence for an errno value.
QString errnoText(int errnoValue);

// True for the errors that mean the device has gone away (unplugged, driver
// gone). EIO is not among them: a single control can fail with it on a working
// camera. The frame stream treats EIO as lost as well.
bool isDeviceLost(int errnoValue);

} // namespace orvane
