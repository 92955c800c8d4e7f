#include "v4l2_controls.h"

#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>
#include <optional>

namespace orvane {

namespace {

constexpr uint32_t kMaxControls = 1024; // a driver that never ends its list must not hang us
constexpr uint32_t kMaxMenuEntries = 256;

QString textOf(const uint8_t *chars, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(chars), int(strnlen(reinterpret_cast<const char *>(chars), size)));
}

std::optional<V4l2Control::Kind> kindOf(uint32_t type)
{
    switch (type) {
    case V4L2_CTRL_TYPE_INTEGER: return V4l2Control::Kind::Integer;
    case V4L2_CTRL_TYPE_BOOLEAN: return V4l2Control::Kind::Boolean;
    case V4L2_CTRL_TYPE_MENU:
    case V4L2_CTRL_TYPE_INTEGER_MENU: return V4l2Control::Kind::Menu;
    case V4L2_CTRL_TYPE_BUTTON: return V4l2Control::Kind::Button;
    default: return std::nullopt; // classes, 64-bit, strings, bitmasks, compound: not shown
    }
}

void takeFlags(const v4l2_queryctrl &q, V4l2Control &c)
{
    c.readOnly = q.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_GRABBED);
    c.inactive = q.flags & V4L2_CTRL_FLAG_INACTIVE;
    c.updatesOthers = q.flags & V4L2_CTRL_FLAG_UPDATE;
}

std::vector<std::pair<int32_t, QString>> menuOf(V4l2Io &io, int fd, const v4l2_queryctrl &q)
{
    std::vector<std::pair<int32_t, QString>> entries;
    if (q.maximum < q.minimum || uint32_t(q.maximum - q.minimum) >= kMaxMenuEntries)
        return entries;
    for (int32_t i = q.minimum; i <= q.maximum; ++i) {
        v4l2_querymenu m{};
        m.id = q.id;
        m.index = uint32_t(i);
        if (io.ioctl(fd, VIDIOC_QUERYMENU, &m) != 0)
            continue; // gaps in a menu are allowed
        entries.emplace_back(i, q.type == V4L2_CTRL_TYPE_INTEGER_MENU ? QString::number(qlonglong(m.value))
                                                                      : textOf(m.name, sizeof m.name));
    }
    return entries;
}

// Fills `out` from a description; false when it is not a control the dialog shows.
bool describe(V4l2Io &io, int fd, const v4l2_queryctrl &q, V4l2Control &out)
{
    const std::optional<V4l2Control::Kind> kind = kindOf(q.type);
    if (!kind || (q.flags & V4L2_CTRL_FLAG_DISABLED))
        return false;
    out.id = q.id;
    out.kind = *kind;
    out.name = textOf(q.name, sizeof q.name);
    out.minimum = q.minimum;
    out.maximum = q.maximum;
    out.step = q.step > 0 ? q.step : 1;
    out.defaultValue = q.default_value;
    out.value = q.default_value;
    takeFlags(q, out);
    if (*kind == V4l2Control::Kind::Menu) {
        out.menu = menuOf(io, fd, q);
        if (out.menu.empty())
            return false;
    }
    if (*kind != V4l2Control::Kind::Button && !(q.flags & V4L2_CTRL_FLAG_WRITE_ONLY)) {
        v4l2_control v{q.id, 0};
        if (io.ioctl(fd, VIDIOC_G_CTRL, &v) == 0)
            out.value = v.value;
    }
    return true;
}

} // namespace

std::vector<V4l2Control> enumerateV4l2Controls(V4l2Io &io, int fd, int &error)
{
    error = 0;
    std::vector<V4l2Control> controls;
    v4l2_queryctrl q{};
    q.id = V4L2_CTRL_FLAG_NEXT_CTRL;
    int r = io.ioctl(fd, VIDIOC_QUERYCTRL, &q);
    if (r == 0) {
        for (uint32_t n = 0; r == 0 && n < kMaxControls; ++n) {
            if (V4l2Control c; describe(io, fd, q, c))
                controls.push_back(std::move(c));
            q.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
            r = io.ioctl(fd, VIDIOC_QUERYCTRL, &q);
        }
        if (r != 0 && r != -EINVAL)
            error = r;
        return controls;
    }
    if (r != -EINVAL) {
        error = r;
        return controls;
    }
    // Drivers without the "next control" walk: ask for each standard and private id.
    auto tryId = [&](uint32_t id) {
        v4l2_queryctrl one{};
        one.id = id;
        const int rr = io.ioctl(fd, VIDIOC_QUERYCTRL, &one);
        if (V4l2Control c; rr == 0 && describe(io, fd, one, c))
            controls.push_back(std::move(c));
        return rr;
    };
    for (uint32_t id = V4L2_CID_BASE; id < V4L2_CID_LASTP1; ++id)
        (void)tryId(id);
    for (uint32_t id = V4L2_CID_PRIVATE_BASE; id < V4L2_CID_PRIVATE_BASE + kMaxControls; ++id)
        if (tryId(id) != 0)
            break;
    return controls;
}

int refreshV4l2Control(V4l2Io &io, int fd, V4l2Control &control)
{
    v4l2_queryctrl q{};
    q.id = control.id;
    if (const int r = io.ioctl(fd, VIDIOC_QUERYCTRL, &q); r != 0)
        return r;
    takeFlags(q, control);
    if (control.kind == V4l2Control::Kind::Button || (q.flags & V4L2_CTRL_FLAG_WRITE_ONLY))
        return 0;
    v4l2_control v{control.id, 0};
    if (const int r = io.ioctl(fd, VIDIOC_G_CTRL, &v); r != 0)
        return r;
    control.value = v.value;
    return 0;
}

} // namespace orvane
