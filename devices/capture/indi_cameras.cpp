#include "indi_cameras.h"

#include "ini_lines.h"

#include <QFile>

#include <cmath>

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

// The line (from 1) of `key` in [indi], for telling; 0 when it cannot be found.
int indiLine(const QString &iniPath, const char *key)
{
    QFile file(iniPath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> lines = file.readAll().split('\n');
    bool inIndi = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.startsWith('['))
            inIndi = line.startsWith("[indi]");
        else if (inIndi && line.startsWith(key) && line.mid(qsizetype(qstrlen(key))).trimmed().startsWith('='))
            return int(i + 1);
    }
    return 0;
}

// A finite number from `least` to `most`, times `scale`; else the default stays and is told.
template <typename T>
void readNumber(const QString &iniPath, const char *key, double least, double most, double scale, T &into, QStringList &problems)
{
    const std::optional<QString> text = indiValue(iniPath, key);
    if (!text)
        return;
    bool ok = false;
    const double value = text->trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < least || value > most) {
        problems << QStringLiteral("%1 line %2: [indi] %3=%4 is not a number from %5 to %6; %7 is used.")
                        .arg(iniPath)
                        .arg(indiLine(iniPath, key))
                        .arg(QString::fromLatin1(key), *text)
                        .arg(least, 0, 'g', 10)
                        .arg(most, 0, 'g', 10)
                        .arg(double(into) / scale, 0, 'g', 10);
        return;
    }
    into = T(value * scale);
}

} // namespace

// Every [indi] number, read here alone.
IndiCameraOptions indiCameraOptionsFromIni(const QString &iniPath, QStringList &problems)
{
    constexpr double kMb = 1024.0 * 1024.0;
    IndiCameraOptions o;
    IndiLimits &l = o.limits;
    readNumber(iniPath, "maxFrameMegabytes", 1, 4096, kMb, l.maxBlobBytes, problems);
    readNumber(iniPath, "frameTimeoutS", 1, 3600, 1000.0, o.frameTimeoutMs, problems);
    readNumber(iniPath, "maxMessageMegabytes", 2, 8192, kMb, l.maxMessageBytes, problems);
    readNumber(iniPath, "maxMegabytesPerSecond", 1, 4096, kMb, l.maxBytesPerSecond, problems);
    readNumber(iniPath, "maxProperties", 10, 1000000, 1.0, l.maxProperties, problems);
    // A frame comes in one message, base64 (4 bytes for 3) and its wrapping included.
    const int64_t frameMessageBytes = l.maxBlobBytes / 3 * 4 + (1 << 20);
    const bool messageGiven = indiValue(iniPath, "maxMessageMegabytes").has_value();
    if (l.maxMessageBytes < frameMessageBytes && messageGiven) {
        problems << QStringLiteral("%1: [indi] maxMessageMegabytes=%2 is less than a frame of maxFrameMegabytes=%3 needs "
                                   "as sent; %4 is used.")
                        .arg(iniPath)
                        .arg(double(l.maxMessageBytes) / kMb)
                        .arg(double(l.maxBlobBytes) / kMb)
                        .arg(std::ceil(double(frameMessageBytes) / kMb));
    }
    if (l.maxMessageBytes < frameMessageBytes)
        l.maxMessageBytes = int64_t(std::ceil(double(frameMessageBytes) / kMb) * kMb);
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
