#include "frame_header.h"

#include "serial_devices.h"

#include <QDateTime>

namespace orvane {

QStringList simulatedParts(const CaptureDevices &camera, const Settings &settings, const CameraLines &port)
{
    QStringList simulated;
    if (camera.simulatedInUse())
        simulated << QStringLiteral("camera");
    if (settings.CommPort == kSimulatedMountPort)
        simulated << QStringLiteral("mount");
    if (!port.realPortInUse())
        simulated << QStringLiteral("printer port");
    return simulated;
}

QString isoUtc(int64_t utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::UTC).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}

std::vector<FitsKeyword> frameKeywords(const FrameFacts &f)
{
    const int64_t exposedMs = int64_t(uint32_t(f.exposure.endMs - f.exposure.startMs));
    const double exposedS = double(exposedMs) / 1000.0;
    std::vector<FitsKeyword> k = {
        {"ROWORDER", QStringLiteral("BOTTOM-UP"), QStringLiteral("first row stored is the bottom of the picture")},
        {"DATE-OBS", isoUtc(f.utcStartMs), QStringLiteral("UTC start of the exposure (port write)")},
        {"DATE-END", isoUtc(f.utcStartMs + exposedMs), QStringLiteral("UTC end of the exposure (port write)")},
        {"EXPTIME", exposedS, QStringLiteral("[s] exposure, measured between the port writes")},
        {"EXPOSURE", exposedS, QStringLiteral("[s] the same as EXPTIME")},
        {"IMAGETYP", QStringLiteral("Light Frame"), QStringLiteral("type of the frame")},
        {"INSTRUME", f.camera, QStringLiteral("capture device")},
        {"TELESCOP", f.mount, QStringLiteral("mount: serial device, or simulated")},
        {"SWCREATE", QStringLiteral("Orvane " ORVANE_VERSION), QStringLiteral("program that saved the frame")},
        {"XBINNING", int64_t(1), QStringLiteral("camera pixels per picture pixel across")},
        {"YBINNING", int64_t(1), QStringLiteral("camera pixels per picture pixel down")},
        {"LINEDOUB", f.lineDoubled, QStringLiteral("2x1 Bin: each odd row copied over the row above")},
        {"FRAME", f.index, QStringLiteral("number in the file name")},
        {"SEQFRAME", int64_t(f.frameNumber) - 1, QStringLiteral("frame of its imaging sequence, from 1")},
    };
    if (!f.site.object.isEmpty())
        k.push_back({"OBJECT", f.site.object, QStringLiteral("target, as set in orvane.ini")});
    if (!f.site.observer.isEmpty())
        k.push_back({"OBSERVER", f.site.observer, QStringLiteral("observer, as set in orvane.ini")});
    if (f.site.latitudeDeg)
        k.push_back({"SITELAT", *f.site.latitudeDeg, QStringLiteral("[deg] site latitude, north positive"), 6});
    if (f.site.longitudeDeg)
        k.push_back({"SITELONG", *f.site.longitudeDeg, QStringLiteral("[deg] site longitude, east positive"), 6});

    const GuideStats &g = f.exposure.guide;
    if (g.steps > 0) {
        if (g.foundSteps() > 0) {
            k.push_back({"GUIDRMSX", g.rmsXPx(), QStringLiteral("[px] RMS guide star offset across")});
            k.push_back({"GUIDRMSY", g.rmsYPx(), QStringLiteral("[px] RMS guide star offset down")});
            k.push_back({"GUIDRMS", g.rmsPx(), QStringLiteral("[px] RMS guide star distance from the mark")});
        }
        k.push_back({"GUIDSTEP", int64_t(g.steps), QStringLiteral("guide steps during the exposure")});
        k.push_back({"GUIDLOST", int64_t(g.lostSteps), QStringLiteral("guide steps without the star")});
        if (g.algorithm)
            k.push_back({"GUIDALGO", QString::fromLatin1(g.algorithm), QStringLiteral("how the guide star was measured")});
    }
    k.push_back({"SIMULATD", !f.simulated.isEmpty(), QStringLiteral("some part of the rig was simulated")});
    if (!f.simulated.isEmpty())
        k.push_back({"SIMPARTS", f.simulated.join(QStringLiteral(", ")), QStringLiteral("the simulated parts")});
    return k;
}

} // namespace orvane
