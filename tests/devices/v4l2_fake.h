#pragma once
// A webcam at the V4l2Io seam: device nodes, formats, controls and an mmap
// buffer queue that behave like a V4L2 driver's, on the simulated clock. The
// test decides when frames complete (deliver) and when the device vanishes.

#include "clock.h"
#include "v4l2_io.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <vector>

namespace orvane::test {

class FakeV4l2 : public V4l2Io {
public:
    struct Node {
        QString path;
        QString card = QStringLiteral("Fake Webcam");
        uint32_t capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
        uint32_t deviceCaps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        int openError = 0; // errno that open answers, 0 = opens
        bool answersQuerycap = true;
    };
    struct Size {
        uint32_t width, height;
        std::vector<v4l2_fract> periods; // frame periods, seconds
        bool periodRange = false;         // periods[0] shortest, periods[1] longest, any between
    };
    struct Format {
        uint32_t fourcc;
        const char *description;
        uint32_t flags = 0;
        std::vector<Size> sizes;
        bool stepwise = false; // sizes[0] is min, sizes[1] max, step 8 x 8
    };
    struct Control {
        v4l2_queryctrl query;
        int32_t value;
        std::vector<const char *> menu; // entry texts by index from minimum; nullptr = gap
    };
    struct Buffer {
        std::vector<uint8_t> memory;
        bool queued = false;
        bool done = false;
        uint32_t bytesused = 0;
        uint32_t flags = 0;
        bool mapped = false;
    };

    explicit FakeV4l2(SimClock &clock) : clock_(clock)
    {
        nodes.push_back(Node{QStringLiteral("/dev/video0")});
        formats = {
            {V4L2_PIX_FMT_YUYV, "YUYV 4:2:2", 0, {{640, 480, {{1, 30}, {1, 15}, {1, 5}}}, {320, 240, {{1, 30}}}}},
            {V4L2_PIX_FMT_MJPEG, "Motion-JPEG", V4L2_FMT_FLAG_COMPRESSED, {{1280, 720, {{1, 30}}}, {640, 480, {{1, 30}}}}},
        };
        controls = {
            control(V4L2_CID_BRIGHTNESS, V4L2_CTRL_TYPE_INTEGER, "Brightness", 0, 255, 1, 128),
            control(V4L2_CID_EXPOSURE_AUTO, V4L2_CTRL_TYPE_MENU, "Auto Exposure", 0, 3, 1, 3),
            control(V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CTRL_TYPE_INTEGER, "Exposure (Absolute)", 3, 2047, 1, 250),
            control(V4L2_CID_AUTOGAIN, V4L2_CTRL_TYPE_BOOLEAN, "Gain, Automatic", 0, 1, 1, 1),
        };
        controls[1].menu = {nullptr, "Manual Mode", nullptr, "Aperture Priority Mode"}; // as many webcams: two of four
        controls[1].query.flags = V4L2_CTRL_FLAG_UPDATE;
        controls[2].query.flags = V4L2_CTRL_FLAG_INACTIVE; // automatic exposure is on
        format.width = 640;
        format.height = 480;
        format.pixelformat = V4L2_PIX_FMT_YUYV;
        fillStride(format);
    }

    static Control control(uint32_t id, uint32_t type, const char *name, int32_t min, int32_t max, int32_t step, int32_t def)
    {
        Control c{};
        c.query.id = id;
        c.query.type = type;
        std::strncpy(reinterpret_cast<char *>(c.query.name), name, sizeof c.query.name - 1);
        c.query.minimum = min;
        c.query.maximum = max;
        c.query.step = uint32_t(step);
        c.query.default_value = def;
        c.value = def;
        return c;
    }

    // ---- what the test sets up and looks at
    std::vector<Node> nodes;
    std::vector<Format> formats;
    std::vector<Control> controls;
    bool nextCtrlWalk = true;          // the driver knows V4L2_CTRL_FLAG_NEXT_CTRL
    uint32_t buffersGiven = 0;         // 0: as many as asked
    int lostError = 0;                 // errno every call answers once the device vanished
    std::map<unsigned long, int> failing; // ioctl request -> errno it answers
    int frameEveryMs = 0;              // > 0: a frame completes this often while the camera waits
    uint8_t nextLuma = 200;            // brightness of frames completed while waiting
    v4l2_pix_format format{};
    v4l2_fract period{1, 30};
    std::vector<Buffer> buffers;
    std::vector<unsigned long> calls;
    std::vector<v4l2_control> controlWrites;
    int opens = 0, closes = 0, waits = 0, mapped = 0;
    bool streaming = false;

    void vanish(int error = ENODEV) { lostError = error; }
    size_t queuedCount() const { return size_t(std::count_if(buffers.begin(), buffers.end(), [](const Buffer &b) { return b.queued; })); }

    // Completes a frame in the oldest queued buffer, every pixel of brightness
    // `luma`; false when no buffer is queued (the driver drops the frame).
    bool deliver(uint8_t luma, uint32_t flags = 0, int bytesused = -1)
    {
        if (order_.empty())
            return false;
        Buffer &b = buffers[order_.front()];
        order_.pop_front();
        fillFrame(b.memory, luma);
        b.queued = false;
        b.done = true;
        b.flags = flags;
        b.bytesused = bytesused < 0 ? format.sizeimage : uint32_t(bytesused);
        done_.push_back(uint32_t(&b - buffers.data()));
        return true;
    }

    void fillFrame(std::vector<uint8_t> &memory, uint8_t luma) const
    {
        for (size_t i = 0; i < memory.size(); ++i)
            memory[i] = (format.pixelformat == V4L2_PIX_FMT_YUYV && i % 2 == 1) ? 128 : luma;
    }

    static void fillStride(v4l2_pix_format &f)
    {
        const uint32_t bytesPerPixel = f.pixelformat == V4L2_PIX_FMT_YUYV ? 2 : f.pixelformat == V4L2_PIX_FMT_RGB24 ? 3 : 1;
        f.field = V4L2_FIELD_NONE;
        f.bytesperline = f.pixelformat == V4L2_PIX_FMT_MJPEG ? 0 : f.width * bytesPerPixel;
        f.sizeimage = f.pixelformat == V4L2_PIX_FMT_MJPEG ? f.width * f.height : f.bytesperline * f.height;
    }

    // ---- the seam
    QStringList videoNodes() override
    {
        QStringList paths;
        for (const Node &n : nodes)
            paths << n.path;
        return paths;
    }

    int open(const QString &path) override
    {
        for (size_t i = 0; i < nodes.size(); ++i)
            if (nodes[i].path == path) {
                if (nodes[i].openError)
                    return -nodes[i].openError;
                ++opens;
                const int fd = nextFd_++;
                fdNode_[fd] = i;
                return fd;
            }
        return -ENOENT;
    }

    void close(int fd) override
    {
        closes += fdNode_.erase(fd) ? 1 : 0;
    }

    int ioctl(int fd, unsigned long request, void *arg) override
    {
        calls.push_back(request);
        if (!fdNode_.count(fd))
            return -EBADF;
        if (lostError)
            return -lostError;
        if (auto f = failing.find(request); f != failing.end())
            return -f->second;
        switch (request) {
        case VIDIOC_QUERYCAP: return querycap(nodes[fdNode_[fd]], *static_cast<v4l2_capability *>(arg));
        case VIDIOC_ENUM_FMT: return enumFmt(*static_cast<v4l2_fmtdesc *>(arg));
        case VIDIOC_ENUM_FRAMESIZES: return enumSizes(*static_cast<v4l2_frmsizeenum *>(arg));
        case VIDIOC_ENUM_FRAMEINTERVALS: return enumIntervals(*static_cast<v4l2_frmivalenum *>(arg));
        case VIDIOC_G_FMT: static_cast<v4l2_format *>(arg)->fmt.pix = format; return 0;
        case VIDIOC_S_FMT: return setFormat(*static_cast<v4l2_format *>(arg));
        case VIDIOC_G_PARM: return getParm(*static_cast<v4l2_streamparm *>(arg));
        case VIDIOC_S_PARM:
            period = static_cast<v4l2_streamparm *>(arg)->parm.capture.timeperframe;
            return getParm(*static_cast<v4l2_streamparm *>(arg));
        case VIDIOC_QUERYCTRL: return queryControl(*static_cast<v4l2_queryctrl *>(arg));
        case VIDIOC_QUERYMENU: return queryMenu(*static_cast<v4l2_querymenu *>(arg));
        case VIDIOC_G_CTRL: return getControl(*static_cast<v4l2_control *>(arg));
        case VIDIOC_S_CTRL: return setControl(*static_cast<v4l2_control *>(arg));
        case VIDIOC_REQBUFS: return requestBuffers(*static_cast<v4l2_requestbuffers *>(arg));
        case VIDIOC_QUERYBUF: return queryBuffer(*static_cast<v4l2_buffer *>(arg));
        case VIDIOC_QBUF: return queueBuffer(*static_cast<v4l2_buffer *>(arg));
        case VIDIOC_DQBUF: return dequeueBuffer(*static_cast<v4l2_buffer *>(arg));
        case VIDIOC_STREAMON: streaming = true; return 0;
        case VIDIOC_STREAMOFF:
            streaming = false;
            for (Buffer &b : buffers)
                b.queued = b.done = false;
            order_.clear();
            done_.clear();
            return 0;
        default: return -ENOTTY;
        }
    }

    void *mmap(int, size_t length, int64_t offset, int &error) override
    {
        const size_t index = size_t(offset / kOffsetStep);
        if (index >= buffers.size() || length != buffers[index].memory.size()) {
            error = -EINVAL;
            return nullptr;
        }
        error = 0;
        buffers[index].mapped = true;
        ++mapped;
        return buffers[index].memory.data();
    }

    void munmap(void *address, size_t) override
    {
        for (Buffer &b : buffers)
            if (b.memory.data() == address && b.mapped) {
                b.mapped = false;
                --mapped;
            }
    }

    int waitReadable(int, int timeoutMs) override
    {
        ++waits;
        if (lostError || !done_.empty())
            return 1;
        if (frameEveryMs > 0 && frameEveryMs <= timeoutMs) {
            clock_.advance(uint32_t(frameEveryMs));
            if (deliver(nextLuma))
                return 1;
        }
        clock_.advance(uint32_t(timeoutMs));
        return 0;
    }

private:
    static constexpr int64_t kOffsetStep = 0x100000;

    int querycap(const Node &n, v4l2_capability &cap) const
    {
        if (!n.answersQuerycap)
            return -ENOTTY;
        cap = {};
        std::strncpy(reinterpret_cast<char *>(cap.driver), "fake", sizeof cap.driver - 1);
        std::strncpy(reinterpret_cast<char *>(cap.card), n.card.toUtf8().constData(), sizeof cap.card - 1);
        cap.capabilities = n.capabilities;
        cap.device_caps = n.deviceCaps;
        return 0;
    }

    const Format *findFormat(uint32_t fourcc) const
    {
        for (const Format &f : formats)
            if (f.fourcc == fourcc)
                return &f;
        return nullptr;
    }

    int enumFmt(v4l2_fmtdesc &d) const
    {
        if (d.index >= formats.size())
            return -EINVAL;
        const Format &f = formats[d.index];
        d.pixelformat = f.fourcc;
        d.flags = f.flags;
        std::strncpy(reinterpret_cast<char *>(d.description), f.description, sizeof d.description - 1);
        return 0;
    }

    int enumSizes(v4l2_frmsizeenum &e) const
    {
        const Format *f = findFormat(e.pixel_format);
        if (!f)
            return -EINVAL;
        if (f->stepwise) {
            if (e.index > 0)
                return -EINVAL;
            e.type = V4L2_FRMSIZE_TYPE_STEPWISE;
            e.stepwise = {f->sizes[0].width, f->sizes[1].width, 8, f->sizes[0].height, f->sizes[1].height, 8};
            return 0;
        }
        if (e.index >= f->sizes.size())
            return -EINVAL;
        e.type = V4L2_FRMSIZE_TYPE_DISCRETE;
        e.discrete = {f->sizes[e.index].width, f->sizes[e.index].height};
        return 0;
    }

    int enumIntervals(v4l2_frmivalenum &e) const
    {
        const Format *f = findFormat(e.pixel_format);
        if (!f)
            return -EINVAL;
        for (const Size &s : f->sizes)
            if (s.width == e.width && s.height == e.height) {
                if (s.periodRange) {
                    if (e.index > 0)
                        return -EINVAL;
                    e.type = V4L2_FRMIVAL_TYPE_CONTINUOUS;
                    e.stepwise = {s.periods[0], s.periods[1], {1, 1}};
                    return 0;
                }
                if (e.index >= s.periods.size())
                    return -EINVAL;
                e.type = V4L2_FRMIVAL_TYPE_DISCRETE;
                e.discrete = s.periods[e.index];
                return 0;
            }
        return -EINVAL;
    }

    int setFormat(v4l2_format &f)
    {
        if (std::any_of(buffers.begin(), buffers.end(), [](const Buffer &b) { return b.mapped; }))
            return -EBUSY;
        const Format *chosen = findFormat(f.fmt.pix.pixelformat);
        if (!chosen)
            chosen = &formats.front(); // drivers answer with a format they have
        const Size *size = &chosen->sizes.front();
        for (const Size &s : chosen->sizes)
            if (s.width == f.fmt.pix.width && s.height == f.fmt.pix.height)
                size = &s;
        format = {};
        format.pixelformat = chosen->fourcc;
        format.width = size->width;
        format.height = size->height;
        fillStride(format);
        f.fmt.pix = format;
        return 0;
    }

    int getParm(v4l2_streamparm &p) const
    {
        p.parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
        p.parm.capture.timeperframe = period;
        return 0;
    }

    Control *findControl(uint32_t id)
    {
        for (Control &c : controls)
            if (c.query.id == id)
                return &c;
        return nullptr;
    }

    int queryControl(v4l2_queryctrl &q)
    {
        const uint32_t id = q.id & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
        if (q.id & V4L2_CTRL_FLAG_NEXT_CTRL) {
            if (!nextCtrlWalk)
                return -EINVAL;
            const Control *next = nullptr;
            for (const Control &c : controls)
                if (c.query.id > id && (!next || c.query.id < next->query.id))
                    next = &c;
            if (!next)
                return -EINVAL;
            q = next->query;
            return 0;
        }
        const Control *c = findControl(id);
        if (!c)
            return -EINVAL;
        q = c->query;
        return 0;
    }

    int queryMenu(v4l2_querymenu &m)
    {
        const Control *c = findControl(m.id);
        if (!c || int32_t(m.index) < c->query.minimum || int32_t(m.index) > c->query.maximum)
            return -EINVAL;
        const char *text = c->menu.at(size_t(int32_t(m.index) - c->query.minimum));
        if (!text)
            return -EINVAL;
        std::strncpy(reinterpret_cast<char *>(m.name), text, sizeof m.name - 1);
        return 0;
    }

    int getControl(v4l2_control &v)
    {
        const Control *c = findControl(v.id);
        if (!c)
            return -EINVAL;
        v.value = c->value;
        return 0;
    }

    int setControl(v4l2_control &v)
    {
        controlWrites.push_back(v);
        Control *c = findControl(v.id);
        if (!c)
            return -EINVAL;
        if (c->query.flags & V4L2_CTRL_FLAG_INACTIVE)
            return -EACCES;
        // Like drivers do: clamp into the range, round to the step.
        int32_t value = std::clamp(v.value, c->query.minimum, c->query.maximum);
        const int32_t step = int32_t(std::max<uint32_t>(1, c->query.step));
        value = c->query.minimum + (value - c->query.minimum + step / 2) / step * step;
        c->value = value;
        if (v.id == V4L2_CID_EXPOSURE_AUTO) {
            // Manual exposure is only adjustable in manual mode (1 = V4L2_EXPOSURE_MANUAL).
            if (Control *manual = findControl(V4L2_CID_EXPOSURE_ABSOLUTE)) {
                manual->query.flags &= ~V4L2_CTRL_FLAG_INACTIVE;
                if (value != V4L2_EXPOSURE_MANUAL)
                    manual->query.flags |= V4L2_CTRL_FLAG_INACTIVE;
            }
        }
        return 0;
    }

    int requestBuffers(v4l2_requestbuffers &r)
    {
        if (r.count == 0) {
            if (std::any_of(buffers.begin(), buffers.end(), [](const Buffer &b) { return b.mapped; }))
                return -EBUSY;
            buffers.clear();
            order_.clear();
            done_.clear();
            return 0;
        }
        if (!buffers.empty())
            return -EBUSY;
        r.count = buffersGiven ? buffersGiven : r.count;
        buffers.assign(r.count, Buffer{});
        for (Buffer &b : buffers)
            b.memory.assign(format.sizeimage, 0);
        return 0;
    }

    int queryBuffer(v4l2_buffer &b) const
    {
        if (b.index >= buffers.size())
            return -EINVAL;
        b.length = uint32_t(buffers[b.index].memory.size());
        b.m.offset = uint32_t(b.index * kOffsetStep);
        return 0;
    }

    int queueBuffer(v4l2_buffer &b)
    {
        if (b.index >= buffers.size() || buffers[b.index].queued || buffers[b.index].done)
            return -EINVAL;
        buffers[b.index].queued = true;
        order_.push_back(b.index);
        return 0;
    }

    int dequeueBuffer(v4l2_buffer &b)
    {
        if (done_.empty())
            return -EAGAIN;
        const uint32_t index = done_.front();
        done_.pop_front();
        Buffer &buffer = buffers[index];
        buffer.done = false;
        b.index = index;
        b.bytesused = buffer.bytesused;
        b.flags = buffer.flags;
        return 0;
    }

    SimClock &clock_;
    int nextFd_ = 100;
    std::map<int, size_t> fdNode_;
    std::deque<uint32_t> order_; // queued, in the order the device fills them
    std::deque<uint32_t> done_;  // filled, in the order they were filled
};

} // namespace orvane::test
