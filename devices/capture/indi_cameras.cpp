#include "indi_cameras.h"

#include "ini_values.h"

#include <cmath>

namespace orvane {

namespace {

constexpr uint32_t kQuietMs = 300; // no new device for this long: the list is complete

template <typename T>
void readNumber(IniValues &ini, const char *key, double scale, T &into)
{
    if (const std::optional<double> value = ini.number("indi", key, QString::number(double(into) / scale)))
        into = T(*value * scale);
}

} // namespace

// Every [indi] number, read here alone.
IndiCameraOptions indiCameraOptionsFromIni(const QString &iniPath, QStringList &problems)
{
    constexpr double kMb = 1024.0 * 1024.0;
    IniValues ini = IniValues::read(iniPath, problems);
    IndiCameraOptions o;
    IndiLimits &l = o.limits;
    readNumber(ini, "maxFrameMegabytes", kMb, l.maxBlobBytes);
    readNumber(ini, "frameTimeoutS", 1000.0, o.frameTimeoutMs);
    readNumber(ini, "maxMessageMegabytes", kMb, l.maxMessageBytes);
    readNumber(ini, "maxMegabytesPerSecond", kMb, l.maxBytesPerSecond);
    readNumber(ini, "maxProperties", 1.0, l.maxProperties);
    // A frame comes in one message, base64 (4 bytes for 3) and its wrapping included.
    const int64_t frameMessageBytes = l.maxBlobBytes / 3 * 4 + (1 << 20);
    if (l.maxMessageBytes < frameMessageBytes) {
        if (ini.text("indi", "maxMessageMegabytes"))
            problems << QStringLiteral("%1: [indi] maxMessageMegabytes=%2 is less than a frame of maxFrameMegabytes=%3 "
                                       "needs as sent; %4 is used.")
                            .arg(iniPath)
                            .arg(double(l.maxMessageBytes) / kMb)
                            .arg(double(l.maxBlobBytes) / kMb)
                            .arg(std::ceil(double(frameMessageBytes) / kMb));
        l.maxMessageBytes = int64_t(std::ceil(double(frameMessageBytes) / kMb) * kMb);
    }
    o.guideDevice = ini.text("indi", "guideCamera").value_or(QString());
    return o;
}

std::optional<IndiServer> indiCameraServerFromIni(const QString &iniPath, QStringList &problems)
{
    IniValues ini = IniValues::read(iniPath, problems);
    const std::optional<QString> text = ini.text("indi", "cameraServer");
    if (!text || text->isEmpty())
        return std::nullopt;
    ResultOf<IndiServer> server = parseIndiServer(*text, iniPath + QStringLiteral(" [indi] cameraServer"));
    if (!server.ok()) {
        problems << server.error();
        return std::nullopt;
    }
    return server.value();
}

std::vector<std::unique_ptr<CaptureSource>> findIndiCameras(const IndiServer &server, const IndiCameraOptions &options,
                                                            Clock &clock, EventPump &pump, CameraLines &port,
                                                            const Settings &settings, QStringList &problems,
                                                            uint32_t withinMs)
{
    IndiSession lister(server, options.limits);
    std::vector<std::unique_ptr<CaptureSource>> found;
    if (Result started = lister.start(); !started) {
        problems << started.error();
        return found;
    }
    uint32_t lastChange = clock.now();
    QObject::connect(&lister, &IndiSession::propertyChanged, &lister, [&] { lastChange = clock.now(); });
    const uint32_t until = clock.now() + withinMs;
    while (lister.alive() && !reached(clock.now(), until) &&
           (lister.cameras().isEmpty() || elapsedMs(lastChange, clock.now()) < int32_t(kQuietMs))) {
        const uint32_t quietAt = lastChange + kQuietMs;
        pump.processEventsOrSleep(elapsedMs(quietAt, until) > 0 ? quietAt : until);
    }
    const QStringList cameras = lister.cameras();
    if (cameras.isEmpty()) {
        problems << (lister.alive() ? QStringLiteral("The INDI server at %1 listed no camera within %2 s.")
                                          .arg(server.text())
                                          .arg(withinMs / 1000)
                                    : lister.lostSentence());
        return found;
    }
    for (const QString &device : cameras)
        found.push_back(std::make_unique<IndiCamera>(server, device, clock, pump, port, settings, options));
    return found;
}

} // namespace orvane
