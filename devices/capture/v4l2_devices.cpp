#include "v4l2_devices.h"

#include "v4l2_camera.h"

#include <linux/videodev2.h>

#include <cstring>

namespace orvane {

std::vector<V4l2DeviceInfo> listV4l2CaptureDevices(V4l2Io &io, QStringList *notes)
{
    std::vector<V4l2DeviceInfo> found;
    for (const QString &path : io.videoNodes()) {
        const int fd = io.open(path);
        if (fd < 0) {
            if (notes)
                *notes << QStringLiteral("The video device %1 could not be opened: %2.").arg(path, errnoText(fd));
            continue;
        }
        v4l2_capability cap{};
        const int r = io.ioctl(fd, VIDIOC_QUERYCAP, &cap);
        io.close(fd);
        if (r != 0)
            continue; // not a V4L2 device
        // device_caps describe this node; capabilities the whole device with all its nodes.
        const uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
        if (!(caps & V4L2_CAP_VIDEO_CAPTURE) || !(caps & V4L2_CAP_STREAMING))
            continue;
        const char *card = reinterpret_cast<const char *>(cap.card);
        found.push_back({path, QString::fromUtf8(card, int(strnlen(card, sizeof cap.card))).trimmed()});
    }
    return found;
}

std::vector<std::unique_ptr<CaptureSource>> findV4l2Cameras(std::shared_ptr<V4l2Io> io, Clock &clock, QStringList *notes)
{
    const std::vector<V4l2DeviceInfo> devices = listV4l2CaptureDevices(*io, notes);
    std::vector<std::unique_ptr<CaptureSource>> cameras;
    for (const V4l2DeviceInfo &d : devices) {
        auto camera = std::make_unique<V4l2Camera>(io, d.path, d.card, clock);
        const auto sameCard = std::count_if(devices.begin(), devices.end(), [&](const V4l2DeviceInfo &o) { return o.card == d.card; });
        if (sameCard > 1)
            camera->setDisplayName(QStringLiteral("%1 (%2)").arg(camera->card(), d.path));
        cameras.push_back(std::move(camera));
    }
    return cameras;
}

std::vector<std::unique_ptr<CaptureSource>> findV4l2Cameras()
{
    static SteadyClock clock;
    return findV4l2Cameras(realV4l2Io(), clock);
}

} // namespace orvane
