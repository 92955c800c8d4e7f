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
        {"IMAGETYP", f.dark ? QStringLiteral("Dark Frame") : QStringLiteral("Light Frame"), QStringLiteral("type of the frame")},
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

    const Optics optics = f.optics ? *f.optics : Optics{};
    if (optics.imagingFocalLengthMm)
        k.push_back({"FOCALLEN", *optics.imagingFocalLengthMm, QStringLiteral("[mm] focal length before the camera"), 1});
    if (optics.imagingPixelUm) {
        // A line-doubled row is still one sensor row high: the pixel size stays the sensor's.
        k.push_back({"XPIXSZ", *optics.imagingPixelUm, QStringLiteral("[um] picture pixel width, binning included")});
        k.push_back({"YPIXSZ", *optics.imagingPixelUm, QStringLiteral("[um] picture pixel height, binning included")});
    }
    if (f.pointing) {
        const MountPointing &p = *f.pointing;
        k.push_back({"RA", p.raHours * 15, QStringLiteral("[deg] where the mount points, of date"), 5});
        k.push_back({"DEC", p.decDeg, QStringLiteral("[deg] where the mount points, of date"), 5});
        k.push_back({"OBJCTRA", sexagesimalRa(p.raHours), QStringLiteral("[h m s] where the mount points")});
        k.push_back({"OBJCTDEC", sexagesimalDec(p.decDeg), QStringLiteral("[d m s] where the mount points")});
        if (p.pier != PierSide::Unknown)
            k.push_back({"PIERSIDE", pierSideWord(p.pier), QStringLiteral("side of the pier the telescope is on")});
    }

    const GuideStats &g = f.exposure.guide;
    if (g.steps > 0) {
        if (g.foundSteps() > 0) {
            k.push_back({"GUIDRMSX", g.rmsXPx(), QStringLiteral("[px] RMS guide star offset across")});
            k.push_back({"GUIDRMSY", g.rmsYPx(), QStringLiteral("[px] RMS guide star offset down")});
            k.push_back({"GUIDRMS", g.rmsPx(), QStringLiteral("[px] RMS guide star distance from the mark")});
            if (const std::optional<double> scale = guideScale(optics))
                k.push_back({"GUIDRMSA", g.rmsPx() * *scale, QStringLiteral("[arcsec] the same on the sky")});
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
