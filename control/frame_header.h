#pragma once
// What a saved FITS frame says about itself: when and how long it was exposed,
// with which camera, mount and program, how the guiding went, and whether any
// part of the rig was simulated.

#include "capture_device.h"
#include "fits_file.h"
#include "port_io.h"
#include "rig_state.h"
#include "serial_link.h"
#include "settings.h"

#include "mount_pointing.h"
#include "optics.h"

#include <QStringList>

#include <vector>

namespace orvane {

// The parts of the rig simulated now, as the user reads them ("camera",
// "mount", "printer port"); empty when all are real.
QStringList simulatedParts(const CaptureDevices &camera, const Settings &settings, const CameraLines &port);

// ISO 8601 UTC with milliseconds, "2024-03-09T21:00:01.250", as DATE-OBS holds it.
QString isoUtc(int64_t utcMs);

struct FrameFacts {
    const ExposureRecord &exposure;
    int64_t utcStartMs; // of exposure.startMs
    int64_t index;      // the number in the file name
    int16_t frameNumber;
    bool lineDoubled;   // "2x1 Bin" was ticked at the read-out
    QString camera;     // the capture device's name
    QString mount;      // the serial device, or "simulated"
    QStringList simulated;
    const FitsSite &site;
    const Optics *optics = nullptr;       // FOCALLEN, XPIXSZ, YPIXSZ and the guide RMS in arc-seconds, when known
    std::optional<MountPointing> pointing{}; // RA, DEC, OBJCTRA, OBJCTDEC, PIERSIDE, when the mount told them
    bool dark = false;                     // IMAGETYP "Dark Frame" (else "Light Frame")
};

// The keywords after the mandatory ones, each with its comment.
std::vector<FitsKeyword> frameKeywords(const FrameFacts &facts);

} // namespace orvane
