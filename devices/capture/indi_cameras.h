#pragma once
// The cameras of the INDI server orvane.ini names ([indi] cameraServer=host:port),
// listed at start-up beside the webcams and the simulated camera.
//   [indi] maxFrameMegabytes = 200   a larger frame closes the connection (decoded MB)
//   [indi] frameTimeoutS = 30        a frame may come this long after its exposure ends
//   [indi] guideCamera = Guide Simulator   the guide read-outs come from this device

#include "indi_camera.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace orvane {

// The options from orvane.ini; a bad value keeps its default and adds a sentence to `problems`.
IndiCameraOptions indiCameraOptionsFromIni(const QString &iniPath, QStringList &problems);
// The server named, or nothing when the key is absent (a bad entry adds a sentence to `problems`).
std::optional<IndiServer> indiCameraServerFromIni(const QString &iniPath, QStringList &problems);

// Connects to the server, waits (events served) until its device list has been
// quiet for a moment or `withinMs` has passed, and makes one capture device for
// each camera there. A server that cannot be reached or has no camera adds a
// sentence to `problems`.
std::vector<std::unique_ptr<CaptureSource>> findIndiCameras(const IndiServer &server, const IndiCameraOptions &options,
                                                            Clock &clock, EventPump &pump, CameraLines &port,
                                                            const Settings &settings, QStringList &problems,
                                                            uint32_t withinMs = 3000);

} // namespace orvane
