#pragma once
// Finding the webcams: the /dev/video* nodes that capture video with streaming
// buffers (metadata nodes, output and radio devices are left out), each named
// by the device's card name.

#include "capture_device.h"
#include "clock.h"
#include "v4l2_io.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace orvane {

struct V4l2DeviceInfo {
    QString path; // /dev/video0
    QString card; // the device's own name
};

// The capture nodes among io.videoNodes(). Nodes that cannot be opened are
// left out, with a sentence each in `notes` when given.
std::vector<V4l2DeviceInfo> listV4l2CaptureDevices(V4l2Io &io, QStringList *notes = nullptr);

// One camera per capture node, named by card; two of the same card also show their path.
std::vector<std::unique_ptr<CaptureSource>> findV4l2Cameras(std::shared_ptr<V4l2Io> io, Clock &clock,
                                                            QStringList *notes = nullptr);
// The same over the real devices and the system clock.
std::vector<std::unique_ptr<CaptureSource>> findV4l2Cameras();

} // namespace orvane
