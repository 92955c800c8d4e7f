#include "indi_cameras.h"

#include "ini_lines.h"

#include <QFile>

namespace orvane {

namespace {

constexpr uint32_t kQuietMs = 300; // no new device for this long: the list is complete

std::optional<QString> indiValue(const QString &iniPath, const char *key)
{
    QFile file(iniPath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return iniValue(file.readAll(), QStringLiteral("indi"), QString::fromLatin1(key));
}

template <typename T>
void readNumber(const QString &iniPath, const char *key, double least, double most, double scale, T &into, QStringList &problems)
{
    const std::optional<QString> text = indiValue(iniPath, key);
    if (!text)
        return;
    bool ok = false;
    const double value = text->trimmed().toDouble(&ok);
    if (!ok || value < least || value > most) {
        problems << QStringLiteral("%1 [indi] %2: \"%3\" is not a number from %4 to %5; the default is used.")
                        .arg(iniPath, QString::fromLatin1(key), *text)
                        .arg(least)
                        .arg(most);
        return;
    }
    into = T(value * scale);
}

} // namespace

IndiCameraOptions indiCameraOptionsFromIni(const QString &iniPath, QStringList &problems)
{
    IndiCameraOptions o;
    readNumber(iniPath, "maxFrameMegabytes", 1, 4096, 1024.0 * 1024.0, o.maxFrameBytes, problems);
    readNumber(iniPath, "frameTimeoutS", 1, 3600, 1000.0, o.frameTimeoutMs, problems);
    o.guideDevice = indiValue(iniPath, "guideCamera").value_or(QString()).trimmed();
    return o;
}

std::optional<IndiServer> indiCameraServerFromIni(const QString &iniPath, QStringList &problems)
{
    const std::optional<QString> text = indiValue(iniPath, "cameraServer");
    if (!text || text->trimmed().isEmpty())
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
    IndiSession lister(server, options.maxFrameBytes);
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
