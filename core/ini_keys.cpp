#include "ini_keys.h"

#include <QStringList>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace orvane {

namespace {

using enum IniType;

constexpr double kFar = 1e6; // the bound of values that have no natural one

// clang-format off
constexpr IniKey kKeys[] = {
    {"serial", "portN", Text, 0, 0, false, nullptr, nullptr, "/dev/ttyS(N-1)", "the device comm port N names: a serial device or indi://host:port/Device"},
    {"serial", "readPointing", Switch, 0, 0, false, nullptr, nullptr, "false", "true: ask an LX200 mount where it points (:GR#, :GD#) between corrections, for FITS frames"},

    {"mount", "guideRatePxPerSec", Number, 0, 1000, false, nullptr, nullptr, "5", "the simulated mount's true guide rate, picture pixels per second"},
    {"mount", "raRatePxPerSec", Number, 0, 1000, false, nullptr, nullptr, "guideRatePxPerSec", "the guide rate of the RA axis (e/w), picture pixels per second"},
    {"mount", "decRatePxPerSec", Number, 0, 1000, false, nullptr, nullptr, "guideRatePxPerSec", "the guide rate of the Dec axis (n/s), picture pixels per second"},
    {"mount", "cameraAngleDeg", Number, -360, 360, false, nullptr, nullptr, "0", "camera turned on the telescope, degrees"},
    {"mount", "mirrored", Switch, 0, 0, false, nullptr, nullptr, "false", "true: a star diagonal mirrors the Dec axis on the picture"},
    {"mount", "decSkewDeg", Number, -90, 90, false, nullptr, nullptr, "0", "the Dec axis turned this far from square to RA, degrees"},
    {"mount", "decBacklashMs", Number, 0, 60000, false, nullptr, nullptr, "0", "after a Dec reversal the axis stands still this long, ms"},
    {"mount", "swapNS", Switch, 0, 0, false, nullptr, nullptr, "false", "true: the mount moves south for n and north for s"},
    {"mount", "swapEW", Switch, 0, 0, false, nullptr, nullptr, "false", "true: east for w and west for e"},

    {"calibration", "xAngleDeg", Number, -360, 360, false, nullptr, nullptr, "", "where DirRight moves the star, degrees from +x toward +y"},
    {"calibration", "xRatePxPerSec", Number, 0.25, kFar, false, nullptr, nullptr, "", "how fast, picture pixels per second"},
    {"calibration", "yAngleDeg", Number, -360, 360, false, nullptr, nullptr, "", "where DirUp moves the star"},
    {"calibration", "yRatePxPerSec", Number, 0.25, kFar, false, nullptr, nullptr, "", "how fast, picture pixels per second"},
    {"calibration", "when", Text, 0, 0, false, nullptr, nullptr, "", "UTC time of the calibration"},
    {"calibration", "declinationDeg", Number, -90, 90, false, nullptr, nullptr, "", "declination of the calibration, degrees (empty: unknown)"},

    {"sky", "preset", Word, 0, 0, false, nullptr, "none|hard", "none", "hard: one hard night for the simulated rig; keys given beside it override it"},
    {"sky", "driftXPxPerMin", Number, -kFar, kFar, false, nullptr, nullptr, "6", "drift of the star image along x, pixels per minute"},
    {"sky", "driftYPxPerMin", Number, -kFar, kFar, false, nullptr, nullptr, "8", "drift of the star image along y, pixels per minute"},
    {"sky", "periodicErrorPx", Number, 0, 1000, false, nullptr, nullptr, "1.5", "periodic error along x, pixels"},
    {"sky", "periodicErrorPeriodS", Number, 0, kFar, true, nullptr, nullptr, "480", "its period, seconds"},
    {"sky", "periodicError2Px", Number, 0, 1000, false, nullptr, nullptr, "0", "its second harmonic (half the period), pixels"},
    {"sky", "wanderPxPerRootS", Number, 0, 100, false, nullptr, nullptr, "0", "random wander of the mount on each axis, pixels per root second"},
    {"sky", "gustEveryS", Number, 0, kFar, false, nullptr, nullptr, "0", "a wind gust on average this often, seconds (0: none)"},
    {"sky", "gustPx", Number, 0, 1000, false, nullptr, nullptr, "2", "how far a gust pushes the star, pixels"},
    {"sky", "gustLengthS", Number, 0, 3600, false, nullptr, nullptr, "2", "how long a gust lasts, seconds"},
    {"sky", "seed", Number, 0, 4294967295.0, false, nullptr, nullptr, "1957", "seed of the wander and the gusts"},
    {"sky", "cloudStartS", Number, 0, kFar, false, nullptr, nullptr, "0", "a cloud hides every star from this second after start-up"},
    {"sky", "cloudLengthS", Number, 0, kFar, false, nullptr, nullptr, "0", "for this many seconds (0: no cloud)"},
    {"sky", "cloudEveryS", Number, 0, kFar, false, nullptr, nullptr, "0", "and again this many seconds after each start (0: once)"},

    {"save", "format", Word, 0, 0, false, nullptr, "bmp|fits|both", "bmp", "bmp, fits or both"},
    {"save", "nightFolders", Switch, 0, 0, false, nullptr, nullptr, "false", "true: one folder a night (yyyy-mm-dd, noon to noon) in the save folder holds its frames, frames.csv and guide log"},
    {"save", "planes", Word, 0, 0, false, nullptr, "colour|mono", "colour", "FITS frames: colour (3 planes) or mono (luminance)"},

    {"fits", "object", Text, 0, 0, false, nullptr, nullptr, "", "OBJECT"},
    {"fits", "observer", Text, 0, 0, false, nullptr, nullptr, "", "OBSERVER"},
    {"fits", "siteLat", Number, -90, 90, false, "degrees", nullptr, "", "SITELAT, degrees, north positive"},
    {"fits", "siteLong", Number, -180, 180, false, "degrees", nullptr, "", "SITELONG, degrees, east positive"},

    {"optics", "guideFocalLengthMm", Number, 0, 100000, true, "mm", nullptr, "", "focal length before the guide camera, mm (empty: unknown)"},
    {"optics", "guidePixelUm", Number, 0, 1000, true, "micrometres", nullptr, "", "the guide camera's pixel size, micrometres"},
    {"optics", "imagingFocalLengthMm", Number, 0, 100000, true, "mm", nullptr, "", "focal length before the imaging camera, mm"},
    {"optics", "imagingPixelUm", Number, 0, 1000, true, "micrometres", nullptr, "", "the imaging camera's pixel size, micrometres"},

    {"indi", "cameraServer", Text, 0, 0, false, nullptr, nullptr, "", "list this INDI server's cameras, host:port"},
    {"indi", "maxFrameMegabytes", Number, 1, 4096, false, nullptr, nullptr, "200", "a larger frame from the server closes the connection"},
    {"indi", "frameTimeoutS", Number, 1, 3600, false, nullptr, nullptr, "30", "a frame may come this long after its exposure ends, seconds"},
    {"indi", "guideCamera", Text, 0, 0, false, nullptr, nullptr, "", "the guide read-outs come from this device on cameraServer"},
    {"indi", "maxMessageMegabytes", Number, 2, 8192, false, nullptr, nullptr, "300", "a larger message (as sent, base64 included) closes the connection"},
    {"indi", "maxMegabytesPerSecond", Number, 1, 4096, false, nullptr, nullptr, "100", "more than this per second, beyond one largest message, closes the connection"},
    {"indi", "maxProperties", Whole, 10, 1000000, false, nullptr, nullptr, "10000", "more properties defined on one connection close it"},

    {"guide", "minStarSnr", Number, 0, kFar, true, nullptr, nullptr, "6", "least signal-to-noise of a guide star"},

    {"guiding", "algorithm", Word, 0, 0, false, nullptr, "box|centroid", "box", "box or centroid (brightest-run means box)"},
    {"guiding", "aggressiveness", Number, 0, 1, true, nullptr, nullptr, "0.7", "centroid: share of the drift corrected at a step"},
    {"guiding", "minMovePx", Number, 0, 100, false, "pixels", nullptr, "0.2", "centroid: a smaller correction along an axis is not sent"},
    {"guiding", "maxMoveMs", Whole, 1, 99999, false, "ms", nullptr, "1000", "centroid: the longest correction on one axis at one step"},
    {"guiding", "pulse", Switch, 0, 0, false, nullptr, nullptr, "false", "true: timed pulses that the mount ends itself"},
    {"guiding", "dither", Switch, 0, 0, false, nullptr, nullptr, "false", "true: shift the star's place between saved frames"},
    {"guiding", "ditherPx", Number, 0, 50, true, "pixels", nullptr, "3", "the largest shift on each axis (times ditherScale)"},
    {"guiding", "ditherScale", Number, 0, 100, true, nullptr, nullptr, "1", "the shift is ditherPx times this (a size kept in the units of another camera, say)"},
    {"guiding", "ditherRaOnly", Switch, 0, 0, false, nullptr, nullptr, "false", "true: shift along the RA axis only (as found by calibration)"},
    {"guiding", "settlePx", Number, 0, 50, true, "pixels", nullptr, "1.5", "settled: the star's tracked place within this many pixels of its new place..."},
    {"guiding", "settleTimeS", Number, 0, 600, false, "seconds", nullptr, "2", "...for this many seconds (0: the first guide frame within settlePx)"},
    {"guiding", "settleTimeoutS", Number, 0, 3600, true, "seconds", nullptr, "60", "after this the next exposure starts all the same"},
    {"guiding", "calibrationPx", Number, 2, 100, false, "pixels", nullptr, "15", "calibration drives each letter until the star has moved this far"},
    {"guiding", "calibrationLimitS", Number, 1, 3600, false, "seconds", nullptr, "60", "or for this many seconds at most"},
    {"guiding", "guideStars", Whole, 1, 12, false, "stars", nullptr, "1", "centroid: follow up to this many stars, the marked one first"},
    {"guiding", "predict", Switch, 0, 0, false, nullptr, nullptr, "false", "centroid: learn the mount's periodic error and drift and correct them ahead"},
    {"guiding", "predictPeriodS", Number, 10, 100000, false, "seconds", nullptr, "480", "the period of the error learned (the worm's turn)"},
    {"guiding", "decMode", Word, 0, 0, false, nullptr, "auto|north|south|off", "auto", "the Dec letters guiding may send: both, north or south only, none"},
    {"guiding", "decBacklash", Switch, 0, 0, false, nullptr, nullptr, "false", "centroid: measure the Dec backlash and lengthen a reversing move by it"},

    {"guidelog", "enabled", Switch, 0, 0, false, nullptr, nullptr, "true", "false: no guide log"},
    {"guidelog", "folder", Text, 0, 0, false, nullptr, nullptr, "", "empty: guide-logs in the save folder; a relative folder is taken inside it"},

    {"server", "enabled", Switch, 0, 0, false, nullptr, nullptr, "false", "true: the guider server listens from start-up (Guide > Guider server switches it for the session)"},
    {"server", "port", Whole, 0, 65535, false, nullptr, nullptr, "4400", "the TCP port imaging programs connect to (0: any free port)"},
    {"server", "listen", Text, 0, 0, false, nullptr, nullptr, "127.0.0.1", "the address listened on: loopback unless another is named (0.0.0.0: every network)"},
    {"server", "allowShutdown", Switch, 0, 0, false, nullptr, nullptr, "false", "true: a client's shutdown closes Orvane without asking first"},

    {"camera", "enabled", Switch, 0, 0, false, nullptr, nullptr, "true", "false leaves the simulated camera out of the device list"},
    {"camera", "seed", Number, 0, 4294967295.0, false, nullptr, nullptr, "1957", "star field seed"},
    {"camera", "stars", Number, 0, 2000, false, nullptr, nullptr, "60", "stars in the picture"},
    {"camera", "hotPixels", Number, 0, 1000, false, nullptr, nullptr, "5", "hot pixels"},
    {"camera", "guideExposureS", Number, 0, 3600, false, nullptr, nullptr, "20", "seconds of light in a guide or live frame"},
    {"camera", "sampleStepMs", Number, 10, 60000, false, nullptr, nullptr, "250", "how finely an exposure follows the moving sky, ms"},
    {"camera", "maxSamples", Number, 1, 10000, false, nullptr, nullptr, "240", "at most this many steps"},
    {"camera", "guideStarPeak60s", Number, 0, 100000, false, nullptr, nullptr, "225", "peak of the guide star above the background after 60 s"},
    {"camera", "seeingFwhmPx", Number, 0.7, 20, false, nullptr, nullptr, "2.6", "star size, pixels"},
    {"camera", "jitterPx", Number, 0, 20, false, nullptr, nullptr, "0.35", "seeing motion, pixels"},
    {"camera", "jitterShared", Number, 0, 1, false, nullptr, nullptr, "1", "share of the seeing motion all stars share (1: the image moves as one)"},
    {"camera", "seeingMaxFwhmPx", Number, 0, 20, false, nullptr, nullptr, "0", "the star size changes between seeingFwhmPx and this through the night (0: steady)"},
    {"camera", "seeingPeriodS", Number, 0, kFar, true, nullptr, nullptr, "3600", "over about this many seconds"},
    {"camera", "biasAdu", Number, 0, 255, false, nullptr, nullptr, "8", "sensor bias level"},
    {"camera", "darkAduPerSecond", Number, 0, 1000, false, nullptr, nullptr, "0.15", "dark current per second"},
    {"camera", "readNoiseAdu", Number, 0, 100, false, nullptr, nullptr, "1.5", "read noise"},
    {"camera", "shotNoiseFactor", Number, 0, 100, false, nullptr, nullptr, "0.15", "shot noise factor"},

    {"display", "autoStretch", Switch, 0, 0, false, nullptr, nullptr, "true", "false: blackPoint and whitePoint are used"},
    {"display", "blackPoint", Whole, 0, 254, false, nullptr, nullptr, "0", "level painted black"},
    {"display", "whitePoint", Whole, 1, 255, false, nullptr, nullptr, "255", "level painted white, above blackPoint"},
    {"display", "zoom", Word, 0, 0, false, nullptr, "fit|1|2|4", "fit", "the zoomed view: fit, 1, 2 or 4 screen pixels a picture pixel"},

    {"window", "exposureS", Text, 0, 0, false, nullptr, nullptr, "", "the main window's exposure seconds"},
    {"window", "frameCount", Text, 0, 0, false, nullptr, nullptr, "", "number of exposures"},
    {"window", "guideS", Text, 0, 0, false, nullptr, nullptr, "", "guide seconds"},
    {"window", "guide", Switch, 0, 0, false, nullptr, nullptr, "false", "the guiding tick"},
    {"window", "save", Switch, 0, 0, false, nullptr, nullptr, "false", "the Save tick"},
    {"window", "lineDoubling", Switch, 0, 0, false, nullptr, nullptr, "false", "the 2x1 Bin tick"},
    {"window", "fileName", Text, 0, 0, false, nullptr, nullptr, "", "File Name"},
    {"window", "index", Text, 0, 0, false, nullptr, nullptr, "", "Index"},
    {"window", "saveFolder", Text, 0, 0, false, nullptr, nullptr, "", "the save folder"},
};
// clang-format on

bool isPortKey(const QString &key)
{
    if (!key.startsWith(QLatin1String("port")) || key.size() == 4)
        return false;
    bool number = false;
    return key.mid(4).toInt(&number) > 0 && number;
}

QString bound(double v) { return QString::number(v, 'g', 12); }

} // namespace

std::span<const IniKey> iniKeys() { return kKeys; }

const IniKey *findIniKey(const QString &group, const QString &key)
{
    for (const IniKey &k : kKeys) {
        if (group != QLatin1String(k.group))
            continue;
        if (key == QLatin1String(k.key) || (QLatin1String(k.key) == QLatin1String("portN") && isPortKey(key)))
            return &k;
    }
    return nullptr;
}

const IniKey &iniKey(const char *group, const char *key)
{
    if (const IniKey *k = findIniKey(QLatin1String(group), QLatin1String(key)))
        return *k;
    std::fprintf(stderr, "orvane: no orvane.ini key [%s] %s in the key table\n", group, key);
    std::abort();
}

QString iniRule(const IniKey &key)
{
    const QString of = key.unit ? QStringLiteral(" of %1").arg(QLatin1String(key.unit)) : QString();
    switch (key.type) {
    case IniType::Number:
        if (key.lowOpen)
            return QStringLiteral("not a number%1 above %2 up to %3").arg(of, bound(key.low), bound(key.high));
        return QStringLiteral("not a number%1 from %2 to %3").arg(of, bound(key.low), bound(key.high));
    case IniType::Whole:
        return QStringLiteral("not a whole number%1 from %2 to %3").arg(of, bound(key.low), bound(key.high));
    case IniType::Switch:
        return QStringLiteral("neither true nor false");
    case IniType::Word: {
        const QStringList words = QString::fromLatin1(key.words).split(u'|');
        if (words.size() == 2)
            return QStringLiteral("not %1 or %2").arg(words[0], words[1]);
        return QStringLiteral("not one of %1").arg(words.join(QStringLiteral(", ")));
    }
    case IniType::Text:
        break;
    }
    return {};
}

} // namespace orvane
