// The frame stream of a V4l2Camera: memory-mapped buffers, and the frame copy
// that finds the newest complete frame.
#include "v4l2_camera.h"

#include <algorithm>
#include <cerrno>
#include <limits>

namespace orvane {

namespace {

v4l2_buffer emptyBuffer(uint32_t index = 0)
{
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    b.index = index;
    return b;
}

} // namespace

int V4l2Camera::startStreaming()
{
    v4l2_requestbuffers request{};
    request.count = kBufferCount;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (const int r = io_->ioctl(fd_, VIDIOC_REQBUFS, &request); r != 0)
        return r;
    if (request.count == 0)
        return -ENOMEM;
    for (uint32_t i = 0; i < request.count; ++i) {
        v4l2_buffer b = emptyBuffer(i);
        if (const int r = io_->ioctl(fd_, VIDIOC_QUERYBUF, &b); r != 0) {
            stopStreaming();
            return r;
        }
        int error = 0;
        void *start = io_->mmap(fd_, b.length, b.m.offset, error);
        if (!start) {
            stopStreaming();
            return error ? error : -ENOMEM;
        }
        buffers_.push_back({start, b.length});
    }
    for (uint32_t i = 0; i < buffers_.size(); ++i) {
        v4l2_buffer b = emptyBuffer(i);
        if (const int r = io_->ioctl(fd_, VIDIOC_QBUF, &b); r != 0) {
            stopStreaming();
            return r;
        }
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (const int r = io_->ioctl(fd_, VIDIOC_STREAMON, &type); r != 0) {
        stopStreaming();
        return r;
    }
    streaming_ = true;
    return 0;
}

void V4l2Camera::stopStreaming()
{
    if (fd_ < 0)
        return;
    if (streaming_) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        (void)io_->ioctl(fd_, VIDIOC_STREAMOFF, &type); // a vanished device cannot answer; unmap anyway
        streaming_ = false;
    }
    // Buffers are unmapped before they are freed: the driver refuses to free mapped ones.
    for (const Mapped &m : buffers_)
        io_->munmap(m.start, m.length);
    buffers_.clear();
    v4l2_requestbuffers none{};
    none.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    none.memory = V4L2_MEMORY_MMAP;
    (void)io_->ioctl(fd_, VIDIOC_REQBUFS, &none);
}

// Takes every buffer the device has filled, without waiting. At most all of
// them: none is given back before the caller has looked at them.
V4l2Camera::Drained V4l2Camera::drainReady()
{
    Drained drained;
    for (size_t i = 0; i < buffers_.size(); ++i) {
        v4l2_buffer b = emptyBuffer();
        const int r = io_->ioctl(fd_, VIDIOC_DQBUF, &b);
        if (r == -EAGAIN)
            break;
        if (r != 0) {
            markLost(r); // any failure but "nothing ready" leaves the stream unusable
            return {};
        }
        if (b.index >= buffers_.size())
            continue; // not one of ours; nothing to give back
        ++drained.count;
        drained.all.push_back(b);
        if (!(b.flags & V4L2_BUF_FLAG_ERROR) && b.bytesused > 0)
            drained.frames.push_back(b);
    }
    return drained;
}

bool V4l2Camera::giveBack(const std::vector<v4l2_buffer> &buffers)
{
    for (const v4l2_buffer &taken : buffers) {
        v4l2_buffer b = emptyBuffer(taken.index);
        if (const int r = io_->ioctl(fd_, VIDIOC_QBUF, &b); r != 0) {
            markLost(r);
            return false;
        }
    }
    return true;
}

std::optional<QImage> V4l2Camera::convertNewest(const Drained &drained, QString &error)
{
    if (drained.frames.empty())
        return std::nullopt;
    const v4l2_buffer &newest = drained.frames.back();
    const Mapped &m = buffers_[newest.index];
    const size_t bytes = std::min<size_t>(newest.bytesused, m.length);
    return converter_->toImage(pixFormat_, static_cast<const uint8_t *>(m.start), bytes, error);
}

// Serves the wait service when its work is due; returns ms until it is next due
// (a long time when nothing is pending). Work still due straight after being
// served is looked at again 1 ms later, so the wait never spins.
int32_t V4l2Camera::msUntilServiceDue()
{
    constexpr int32_t kNothingDue = std::numeric_limits<int32_t>::max();
    if (!service_)
        return kNothingDue;
    std::optional<uint32_t> due = service_->nextDueMs();
    if (due && reached(clock_.now(), *due)) {
        service_->serve();
        due = service_->nextDueMs();
        if (due && reached(clock_.now(), *due))
            return 1;
    }
    return due ? elapsedMs(clock_.now(), *due) : kNothingDue;
}

// Waits, at most two frame periods, for a frame completed after this call began,
// serving the wait service whenever it falls due meanwhile.
std::optional<QImage> V4l2Camera::waitForFreshFrame(QString &convertError)
{
    const uint32_t deadline = clock_.now() + uint32_t(frameWaitMs());
    int wakesWithoutFrame = 0;
    while (streaming_) {
        const int32_t leftMs = elapsedMs(clock_.now(), deadline);
        if (leftMs <= 0)
            break;
        const int32_t sliceMs = std::min(leftMs, msUntilServiceDue());
        const int r = io_->waitReadable(fd_, sliceMs);
        if (r == -EINTR)
            continue;
        if (r < 0) {
            markLost(r);
            return std::nullopt;
        }
        if (r == 0 && sliceMs < leftMs)
            continue; // the served work fell due first: serve it and wait on
        if (r == 0)
            break; // the time ran out
        Drained fresh = drainReady();
        if (!streaming_)
            return std::nullopt; // gone while draining
        if (fresh.all.empty()) {
            if (++wakesWithoutFrame >= 3)
                break; // ready without a frame, again and again: do not spin
            continue;
        }
        std::optional<QImage> image = convertNewest(fresh, convertError);
        if (!giveBack(fresh.all))
            return std::nullopt;
        if (image)
            return image;
    }
    return std::nullopt;
}

// The newest complete frame. Between copies every buffer waits in the device's
// queue. When fewer than all of them are filled at the call, the device never
// ran out of buffers, so the last filled one is the frame just completed. When
// all are filled, the device has been dropping frames since the last one
// filled, which may be long ago (a long exposure runs for minutes): the buffers
// go back and the copy waits for the next frame. While sequencing, an old frame
// is never returned; outside a sequence it is better than nothing.
std::optional<QImage> V4l2Camera::copyFrame()
{
    if (!streaming_)
        return std::nullopt;
    Drained ready = drainReady();
    if (!streaming_)
        return std::nullopt;
    const bool current = ready.count > 0 && ready.count < buffers_.size();
    QString convertError;
    std::optional<QImage> newest;
    if (current || !sequencing_)
        newest = convertNewest(ready, convertError);
    if (!giveBack(ready.all))
        return std::nullopt;
    if (current && newest)
        return newest;

    if (std::optional<QImage> fresh = waitForFreshFrame(convertError))
        return fresh;
    if (!streaming_)
        return std::nullopt; // gone: the user has been told
    if (!sequencing_ && newest)
        return newest;
    tellProblem(convertError.isEmpty()
                    ? QStringLiteral("%1 sent no new frame within %2 ms.").arg(subject()).arg(frameWaitMs())
                    : QStringLiteral("%1 sent a frame that could not be read: %2.").arg(subject(), convertError));
    return std::nullopt;
}

} // namespace orvane
