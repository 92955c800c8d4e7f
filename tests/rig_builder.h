#pragma once
// A whole Rig for tests and benchmarks, built in one place: every part it
// reaches, owned here, on the simulated clock and pump unless told otherwise.
// Options pick the camera, the telescope link and the sky; a test that needs
// one more part asks for it (useCamera, makeSimCamera, useLink) or sets its
// values on the parts after construction.

#include "rig.h"
#include "rig_serial_opener.h"
#include "serial_devices.h"
#include "sim_camera.h"
#include "sim_mount.h"
#include "sky.h"

#include <QByteArrayList>

#include <functional>
#include <memory>
#include <utility>

namespace orvane::test {

// The settings of the default orvane.cfg, which suit the simulated rig: port
// bytes 3/0/2/1, delays 250/100 ms, printer port 1, 5 px/s, guide box 40, n s e w.
inline Settings simulatedRigSettings()
{
    Settings s;
    s.ExposureState = 3;
    s.GetImageState = 0;
    s.GetGuideState = 2;
    s.AmpOnState = 1;
    s.ImageDelay = 250;
    s.AmpDelay = 100;
    s.PrinterPort = 1;
    s.PortAddress = kFirstPrinterPortAddress;
    s.PixPerSec = 5;
    s.GuideBoxSize = 40;
    s.DirUp = QStringLiteral("n");
    s.DirDown = QStringLiteral("s");
    s.DirLeft = QStringLiteral("e");
    s.DirRight = QStringLiteral("w");
    return s;
}

// A serial opener whose links record every write (one entry per write) and
// answer reads from `reply`. Set failWrites to make every write fail.
class RecordingSerialOpener : public SerialOpener {
public:
    QByteArrayList writes;
    QByteArray reply;
    bool failWrites = false;
    QString openError; // non-empty: opening fails with this sentence
    int opens = 0;
    std::function<void(const QByteArray &)> onWrite; // sees each write as it is made

    QByteArray sent() const { return writes.join(); }

    SerialOpening open(int16_t) override
    {
        if (!openError.isEmpty())
            return SerialOpening::failure(openError);
        ++opens;
        return std::unique_ptr<SerialConnection>(std::make_unique<Link>(*this));
    }
    QString describe(int16_t commPort) const override { return QStringLiteral("test port %1").arg(commPort); }

private:
    class Link : public SerialConnection {
    public:
        explicit Link(RecordingSerialOpener &owner) : owner_(owner) {}
        Result write(const QByteArray &bytes) override
        {
            if (owner_.failWrites)
                return Result::failure(QStringLiteral("The test port failed a write."));
            owner_.writes.append(bytes);
            if (owner_.onWrite)
                owner_.onWrite(bytes);
            return Result::success();
        }
        QByteArray readAll() override { return std::exchange(owner_.reply, {}); }
        void close() override {}

    private:
        RecordingSerialOpener &owner_;
    };
};

// A camera that delivers the same frame at every copy: by default a dark
// 640 x 480 one, as a webcam gives with the lens cap on; `frame` empty makes
// it deliver nothing.
class DarkCamera : public CaptureSource {
public:
    std::optional<QImage> frame = blank();
    int copies = 0;

    static QImage blank()
    {
        QImage image(PictureArea::kWidth, PictureArea::kHeight, QImage::Format_RGB32);
        image.fill(Qt::black);
        return image;
    }
    // A dark frame with a small grey star of 3 x 3 pixels centred on (x, y).
    static QImage withStar(int x, int y)
    {
        QImage image = blank();
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                image.setPixel(x + dx, y + dy, qRgb(200, 200, 200));
        return image;
    }
    QString name() const override { return QStringLiteral("Dark camera"); }
    Result connect() override { return Result::success(); }
    void disconnect() override {}
    void setSequencing(bool) override {}
    std::optional<QImage> copyFrame() override { ++copies; return frame; }
};

// The simulated pump with a hook after every sleep that runs no events: the far
// end of a cable goes on working while the program sleeps.
class FarEndPump : public SimEventPump {
public:
    using SimEventPump::SimEventPump;
    std::function<void()> afterSleep;
    void sleepWithoutEvents(uint32_t untilMs) override
    {
        SimEventPump::sleepWithoutEvents(untilMs);
        if (afterSleep)
            afterSleep();
    }
};

enum class RigCamera {
    None,         // no capture device: a test adds its own with useCamera
    Dark,         // DarkCamera, reachable as darkCamera
    SimulatedSky, // the simulated camera looking at `sky`, reachable as simCamera
};

enum class RigLink {
    Recording,      // `opener`: records every write, answers from its reply buffer
    SimulatedMount, // `mountLink`: comm port 0 reaches `mount`; N >= 1 a serial device named in iniPath
};

struct RigOptions {
    uint32_t startMs = 1000; // simulated clock time at construction
    RigCamera camera = RigCamera::None;
    RigLink link = RigLink::Recording;
    bool linkOpen = false; // the telescope link opened at construction
    SkyMotion sky{};
    SimMountOptions mount{};        // the simulated mount's rates, angle, mirror, backlash, letters
    QString iniPath{};              // orvane.ini of the simulated mount's link
    PortDriverFactory realPort{};   // the printer port driver CameraLines tries first
    Clock *clock = nullptr;         // another clock (real time in benchmarks); null: `clock`
    EventPump *pump = nullptr;      // another pump; null: `pump`
    SimCameraOptions simCamera{};   // the simulated camera's seeing, star and sensor
};

template <class Panel>
class BasicTestRig {
public:
    explicit BasicTestRig(RigOptions options = {}) : options_(std::move(options))
    {
        link_.to = options_.link == RigLink::Recording ? static_cast<SerialOpener *>(&opener) : &mountLink;
        if (options_.link == RigLink::SimulatedMount)
            comm.setCommPort(kSimulatedMountPort);
        comm.onLinkLost = [this](const QString &sentence) { panel.notify(sentence); };
        camera.setProblemNotifier(&panel);
        if (options_.camera == RigCamera::Dark)
            darkCamera = useCamera(std::make_unique<DarkCamera>());
        else if (options_.camera == RigCamera::SimulatedSky)
            simCamera = useCamera(makeSimCamera());
        if (options_.linkOpen)
            (void)comm.setPortOpen(true);
    }

    // Adds `source` to the capture devices and selects it; `camera` owns it.
    template <class Source>
    Source *useCamera(std::unique_ptr<Source> source)
    {
        Source *added = source.get();
        camera.addSource(std::move(source));
        (void)camera.setCurrentDevice(int32_t(camera.deviceCount()) - 1);
        return added;
    }
    // The simulated camera on this rig's clock, port, settings and sky.
    std::unique_ptr<SimCamera> makeSimCamera()
    {
        return std::make_unique<SimCamera>(time, port, settings, sky, options_.simCamera);
    }
    // Telescope links open through `opener` from now on.
    void useLink(SerialOpener &linkOpener) { link_.to = &linkOpener; }

private:
    // Forwards each opening to the link in use.
    struct LinkChoice : SerialOpener {
        SerialOpener *to = nullptr;
        SerialOpening open(int16_t commPort) override { return to->open(commPort); }
        QString describe(int16_t commPort) const override { return to->describe(commPort); }
    };
    RigOptions options_;
    LinkChoice link_;

public:
    Settings settings = simulatedRigSettings();
    SequenceState state;
    GuidingState guiding;
    SimClock clock{options_.startMs};
    FarEndPump pump{clock};
    Clock &time = options_.clock ? *options_.clock : clock;            // the clock the rig runs on
    EventPump &events = options_.pump ? *options_.pump : pump;         // the pump the rig runs on
    CameraLines port{time, options_.realPort};
    SimSky sky{time.now(), options_.sky};
    SimMount mount{sky, time, options_.mount};
    RecordingSerialOpener opener;
    RigSerialOpener mountLink{mount, options_.iniPath};
    MountLink comm{link_};
    CaptureDevices camera;
    PictureArea picture;
    Panel panel;
    Rig rig{RigContext{settings, state, guiding, time, events, port, comm, camera, picture, panel}};
    DarkCamera *darkCamera = nullptr; // with RigCamera::Dark; owned by `camera`
    SimCamera *simCamera = nullptr;   // with RigCamera::SimulatedSky; owned by `camera`
};

using TestRig = BasicTestRig<PlainPanel>;

} // namespace orvane::test
