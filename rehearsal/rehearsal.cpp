#include "rehearsal.h"

#include "imaging_sequence.h"
#include "numbers.h"
#include "rig_serial_opener.h"
#include "serial_devices.h"
#include "star_profile.h"

#include <QTemporaryDir>

#include <cmath>

namespace orvane {

namespace {

constexpr uint32_t kStartMs = kRehearsalStartMs;
constexpr uint32_t kUserLooksEveryMs = 100; // the simulated user looks for "Mark Star" this often
constexpr uint32_t kProgressEveryMs = 1000; // progress and Stop are looked at this often, simulated
constexpr int kLeastMeasureBoxPx = 30;      // a frame's star is measured in at least this box
constexpr int kMeasureReachPx = 6;          // a star in its box is weighed with pixels this far beyond it

// The sequence's panel: the window's entries, with each saved frame measured.
class RehearsalPanel : public PlainSequencePanel {
public:
    std::function<void()> onFrameSaved;
    void frameSaved(const QString &path) override
    {
        PlainSequencePanel::frameSaved(path);
        if (onFrameSaved)
            onFrameSaved();
    }
};

// Collects every guide step and every settling after a dither.
struct StepRecorder : GuideObserver {
    std::vector<GuideStep> steps;
    std::vector<SettleSpan> settles;
    void guideStep(const GuideStep &step) override { steps.push_back(step); }
    void guideEvent(GuideEvent event, uint32_t timeMs, const QString &) override
    {
        if (event == GuideEvent::SettlingBegins)
            settles.push_back({timeMs, timeMs, false});
        else if (!settles.empty() && (event == GuideEvent::SettlingComplete || event == GuideEvent::SettlingFailed))
            settles.back() = {settles.back().fromMs, timeMs, event == GuideEvent::SettlingComplete};
    }
};

PixelView viewOf(const QImage &image)
{
    return {reinterpret_cast<const uint32_t *>(image.constBits()), image.width(), image.height(),
            image.bytesPerLine() / std::ptrdiff_t(sizeof(uint32_t))};
}

// The rig a rehearsal runs on: the parts a real run uses, all simulated and its own.
struct RehearsalRig {
    explicit RehearsalRig(const RehearsalPlan &plan)
        : settings(plan.settings), guiding(plan.guiding), sky(clock.now(), plan.sky), mount(sky, clock, plan.mount)
    {
        settings.CommPort = kSimulatedMountPort; // never the user's serial device
        // A correction the real rig ran last is not the rehearsal's: its times are on another clock.
        guiding.MoveDirX = 0;
        guiding.MoveDirY = 0;
        guiding.DriftX = 0;
        guiding.DriftY = 0;
        state.SaveDir = frames.path();
        state.SaveFormat = plan.saveFormat;
        state.optics = plan.optics;
        state.SaveFormat.nightFolders = false; // the rehearsal's frames stay in its own temporary folder
        comm.setCommPort(kSimulatedMountPort);
        comm.onLinkLost = [this](const QString &sentence) { panel.notify(sentence); };
        camera.setProblemNotifier(&panel);
        auto source = std::make_unique<SimCamera>(clock, port, settings, sky, plan.camera);
        simCamera = source.get();
        camera.addSource(std::move(source));
        (void)camera.setCurrentDevice(0); // the simulated camera connects without fail

        panel.exposure = plan.exposure;
        panel.guide = plan.guide;
        panel.frameCount = plan.frameCount;
        panel.controls.guiding = plan.guidingTicked;
        panel.controls.lineDoubling = plan.lineDoubling;
        panel.controls.stem = plan.fileStem;
        panel.save = true; // every frame is measured, in the temporary folder
    }

    // Where the guide star stands on the picture at clock ms `atMs`.
    QPointF guideStarAt(uint32_t atMs) const { return simCamera->starField().guideStar() + sky.offsetAt(atMs); }

    Settings settings;
    SequenceState state;
    GuidingState guiding;
    SimClock clock{kStartMs};
    SimEventPump pump{clock};
    CameraLines port{clock}; // no real printer port: the bytes go to the simulated camera only
    SimSky sky;
    SimMount mount;
    RigSerialOpener opener{mount, QString()};
    MountLink comm{opener};
    CaptureDevices camera;
    PictureArea picture;
    RehearsalPanel panel;
    QTemporaryDir frames;
    SimCamera *simCamera = nullptr; // owned by `camera`
    Rig rig{RigContext{settings, state, guiding, clock, pump, port, comm, camera, picture, panel}};
    ImagingSequence sequence{rig, panel};
};

// Once a star is marked, the guide step reads a guide frame only in the boxes
// of the mark, the lock position and the other guide stars (and a little
// beyond, where a star at a box's edge is weighed): the rest is not rendered.
std::vector<QRect> measuredWindows(const RehearsalRig &r)
{
    if (r.state.StarMarked == 0)
        return {};
    const GuidingState &g = r.guiding;
    const int half = r.settings.GuideBoxSize / 2 + kMeasureReachPx; // pixels
    const QPointF mark(r.state.StarX, r.state.StarY), lock = mark + QPointF(g.LockDX, g.LockDY);
    std::vector<QRect> windows;
    auto around = [&](QPointF centre) {
        QRect box(QPoint(int(std::floor(centre.x())) - half, int(std::floor(centre.y())) - half),
                  QPoint(int(std::ceil(centre.x())) + half, int(std::ceil(centre.y())) + half));
        // Boxes that mostly overlap (the mark's and the lock's) are drawn once, as one.
        for (QRect &window : windows)
            if (const QRect both = window.united(box);
                int64_t(both.width()) * both.height() < int64_t(window.width()) * window.height() + int64_t(box.width()) * box.height() / 2) {
                window = both;
                return;
            }
        windows.push_back(box);
    };
    around(mark);
    around(lock);
    for (const QPointF &other : g.OtherStars)
        around(lock + other);
    return windows;
}

RehearsedFrame measureFrame(RehearsalRig &r)
{
    RehearsedFrame frame;
    frame.number = int(r.state.FrameNumber) - 1; // counted on at the read-out
    const ExposureRecord &exposure = r.state.ReadOut;
    frame.guide = exposure.guide;
    const uint32_t middleMs = exposure.startMs + uint32_t(exposure.endMs - exposure.startMs) / 2;
    const QPointF star = r.guideStarAt(middleMs);
    const QImage picture = r.picture.picture().convertToFormat(QImage::Format_RGB32);
    const int box = std::max<int>(r.settings.GuideBoxSize, kLeastMeasureBoxPx);
    if (const auto profile = starProfile(viewOf(picture), star.x(), star.y(), box)) {
        frame.starSeen = true;
        frame.fwhmPx = profile->fwhm;
        frame.roundness = profile->roundness;
    }
    return frame;
}

} // namespace

uint32_t expectedLengthMs(const RehearsalPlan &plan)
{
    try {
        const double exposureS = numericValue(plan.exposure), guideS = numericValue(plan.guide);
        const double frames = std::max(0.0, std::round(numericValue(plan.frameCount)));
        const double readOutS = (plan.settings.ImageDelay + plan.settings.AmpDelay) / 1000.0;
        const double seconds = (plan.guidingTicked ? guideS + 0.2 : 0) + frames * (exposureS + readOutS);
        return seconds > 0 && seconds < 4e6 ? uint32_t(seconds * 1000) : 0;
    } catch (const ConversionError &) {
        return 0;
    }
}

RehearsalRun rehearse(const RehearsalPlan &plan, RehearsalProgress &progress)
{
    RehearsalRig r(plan);
    RehearsalRun run;
    StepRecorder recorder;
    r.sequence.addGuideObserver(&recorder);
    r.panel.onFrameSaved = [&] { run.frames.push_back(measureFrame(r)); };
    if (!plan.wholeGuideFrames)
        r.simCamera->setGuideWindows([&r] { return measuredWindows(r); });
    progress.expectedMs = std::max<uint32_t>(expectedLengthMs(plan), 1);

    // The user clicks the guide star, to the nearest pixel, once asked to.
    std::function<void()> user = [&] {
        if (r.state.StarMarked == 0 && r.panel.status() == QStringLiteral("Mark Star")) {
            const QPointF star = r.guideStarAt(r.clock.now());
            r.sequence.onPictureMouseDown(std::round(star.x()), std::round(star.y()));
        }
        if (r.state.StarMarked == 0)
            r.pump.at(r.clock.now() + kUserLooksEveryMs, user);
    };
    r.pump.at(kStartMs + kUserLooksEveryMs, user);
    // Progress out, Stop in, once a simulated second.
    std::function<void()> watch = [&] {
        progress.simulatedMs = r.clock.now() - kStartMs;
        if (progress.stop && r.sequence.running()) {
            run.stopped = true;
            r.sequence.requestStop();
        }
        r.pump.at(r.clock.now() + kProgressEveryMs, watch);
    };
    r.pump.at(kStartMs, watch);

    r.sequence.onCommand1Click();

    run.simulatedMs = r.clock.now() - kStartMs;
    progress.simulatedMs = run.simulatedMs;
    run.steps = std::move(recorder.steps);
    run.settles = std::move(recorder.settles);
    run.refusals = r.panel.messages;
    run.notices = r.panel.controls.notices;
    r.sequence.removeGuideObserver(&recorder);
    return run;
}

} // namespace orvane
