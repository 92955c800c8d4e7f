#include "imaging_sequence.h"

#include "numbers.h"
#include "serial_devices.h"

#include <cmath>
#include <algorithm>
#include <limits>

namespace orvane {

namespace {

constexpr char kAck = 0x06;               // the mount presence probe
constexpr uint32_t kProbeWaitMs = 200;    // the mount answers within this
constexpr int16_t kMaxFrameCount = 32766; // FrameCount + 1 must stay a 16-bit number
constexpr int kLostStepsBeforeAlarm = 3;  // guide steps in a row without a star before the user hears of it

// Milliseconds since `from`, for spans up to 49.7 days (wrap-safe).
int64_t sinceMs(uint32_t from, uint32_t now) { return int64_t(uint32_t(now - from)); }

// Which device the presence probe tried, at what speed, and why no mount was found.
QString probeFailure(const MountLink &comm, const QString &cause)
{
    return QStringLiteral("No mount found on comm port %1 (%2, %3 baud): %4")
        .arg(comm.CommPort())
        .arg(comm.device())
        .arg(kMountBaud)
        .arg(cause);
}

// No correction is under way: neither a direction to stop nor a planned move.
void forgetCorrections(GuidingState &g)
{
    g.MoveDirX = 0;
    g.MoveDirY = 0;
    g.Planned = {};
    g.KnownMoveRunning = false;
}

} // namespace

ImagingSequence::ImagingSequence(Rig &rig, SequencePanel &panel)
    : rig_(rig), panel_(panel), dither_(rig.context().clock.now())
{
}

void ImagingSequence::onCommand1Click()
{
    SequenceState &seq = rig_.context().sequence;
    if (seq.SequenceRunning == 1) {
        seq.SequenceRunning = 0; // Stop: the run notices it at its next check
        return;
    }
    // A click while a stopped run is still winding down (its end steps let events
    // run) must not start a second run inside the first.
    if (inRun_)
        return;
    PictureArea &picture = rig_.context().picture;
    if (picture.reserved()) {
        panel_.showMessage(QStringLiteral("The picture area is in use by %1; start the sequence when it has finished.")
                               .arg(picture.holder()));
        return;
    }
    inRun_ = true;
    picture.setSequenceWriting(true);
    run();
    picture.setSequenceWriting(false);
    inRun_ = false;
}

void ImagingSequence::requestStop()
{
    rig_.context().sequence.SequenceRunning = 0;
}

void ImagingSequence::onPictureMouseDown(double x, double y, bool looping)
{
    SequenceState &seq = rig_.context().sequence;
    auto toPixel = [](double v) {
        return int16_t(std::clamp(roundHalfEven(v), double(std::numeric_limits<int16_t>::min()),
                                  double(std::numeric_limits<int16_t>::max())));
    };
    const int16_t clickX = toPixel(x), clickY = toPixel(y);
    // The mark goes on the star itself, where the guide steps will measure it,
    // so the first step does not pull the star to wherever the click landed.
    const StarSearch search = rig_.starNear(clickX, clickY);
    StarPlace place;
    if (search.star) {
        place = *search.star;
    } else if (refusedClick_ && std::abs(refusedClick_->x - clickX) <= kSameClickPx &&
               std::abs(refusedClick_->y - clickY) <= kSameClickPx) {
        place = {clickX, clickY}; // asked twice: the user sees a star the measure does not
    } else {
        refusedClick_ = StarPlace{clickX, clickY};
        panel_.tell(QStringLiteral("No star here: the brightest spot in the guide box stands %1 times above its "
                                   "noise, and [guide] minStarSnr asks for %2. A longer \"Guide sec\" or a lower "
                                   "minStarSnr helps; click the same place again to mark it anyway.")
                        .arg(search.snr, 0, 'f', 1)
                        .arg(rig_.context().guiding.MinStarSnr, 0, 'g', 3));
        return;
    }
    refusedClick_.reset();
    seq.StarX = int16_t(place.x);
    seq.StarY = int16_t(place.y);
    seq.StarMarked = 1;
    rig_.lockOnMark();
    if (inRun_ || looping)
        panel_.tell(QStringLiteral("Guide star marked at %1, %2").arg(seq.StarX).arg(seq.StarY));
    tell(GuideEvent::StarMarked, QStringLiteral("%1, %2").arg(seq.StarX).arg(seq.StarY));
}

void ImagingSequence::tell(GuideEvent event, const QString &text)
{
    const uint32_t now = rig_.context().clock.now();
    for (GuideObserver *observer : observers_)
        observer->guideEvent(event, now, text);
}

GuideStep measuredGuideStep(const RigContext &c, bool settling)
{
    const GuidingState &g = c.guiding;
    GuideStep step;
    step.timeMs = c.clock.now();
    step.frameNumber = c.sequence.FrameNumber;
    step.dxPx = g.DriftX; // not yet counted down: the move timer starts from the measurement
    step.dyPx = g.DriftY;
    step.starFound = g.StarFound;
    step.snr = g.StarFound ? g.StarSnr : 0;
    step.starMass = g.StarFound ? g.StarMass : 0;
    step.starPeak = g.StarFound ? g.StarPeak : 0;
    step.settling = settling;
    step.stars = int16_t(g.StarFound ? g.StarsUsed : 0);
    step.dirX = g.Planned.x.dir;
    step.dirY = g.Planned.y.dir;
    step.directionX = g.Planned.x.direction;
    step.directionY = g.Planned.y.direction;
    step.moveXMs = g.Planned.x.ms;
    step.moveYMs = g.Planned.y.ms;
    step.guideXPx = g.Planned.x.px;
    step.guideYPx = g.Planned.y.px;
    const AxisMove &first = g.Planned.x.dir != 0 ? g.Planned.x : g.Planned.y;
    step.direction = first.direction;
    const Settings &s = c.settings;
    // The box way's planned length: the whole distance at Pixels/Sec, as its move timer counts it.
    const double movingPx = g.Planned.x.dir != 0 ? std::fabs(g.DriftX) : g.Planned.y.dir != 0 ? std::fabs(g.DriftY) : 0;
    step.moveMs = g.Algorithm->twoAxis ? first.ms : s.PixPerSec > 0 ? movingPx * 1000.0 / s.PixPerSec : 0;
    if (!g.Algorithm->twoAxis) {
        step.moveXMs = g.Planned.x.dir != 0 ? step.moveMs : 0;
        step.moveYMs = g.Planned.y.dir != 0 ? step.moveMs : 0;
    }
    return step;
}

void ImagingSequence::tellGuideStep()
{
    const GuideStep step = measuredGuideStep(rig_.context(), settling_);
    runSteps_.push_back(step);
    if (runSteps_.size() > kKeptRunSteps)
        runSteps_.pop_front();
    for (GuideObserver *observer : observers_)
        observer->guideStep(step);
}

bool ImagingSequence::readMs(const QString &text, const char *label, int32_t &ms)
{
    try {
        ms = toInt32(numericValue(text) * 1000);
        return true;
    } catch (const ConversionError &) {
        panel_.showMessage(QStringLiteral("\"%1\" holds %2; it must lie between -2147483 and 2147483 seconds.")
                               .arg(QLatin1String(label), text.trimmed()));
        return false;
    }
}

bool ImagingSequence::lasts(int32_t ms, const char *label, const QString &text, const char *what)
{
    // An exposure or guide interval without length would read frames out back to back
    // without a pass of events in between: Stop, File > Exit and the close box would go unheard.
    if (ms > 0)
        return true;
    panel_.showMessage(QStringLiteral("\"%1\" holds %2; %3 must last at least 0.001 seconds.")
                           .arg(QLatin1String(label), text.trimmed(), QLatin1String(what)));
    return false;
}

bool ImagingSequence::readCount(const QString &text, int16_t &count)
{
    const double value = roundHalfEven(numericValue(text));
    if (value > kMaxFrameCount || value < std::numeric_limits<int16_t>::min()) {
        panel_.showMessage(QStringLiteral("\"Number of expsures\" holds %1; a sequence takes at most %2 exposures.")
                               .arg(text.trimmed())
                               .arg(kMaxFrameCount));
        return false;
    }
    count = int16_t(value);
    return true;
}

void ImagingSequence::run()
{
    const RigContext &c = rig_.context();
    // Every number is checked before anything starts, so a typing slip never
    // leaves the camera or the mount half way.
    int32_t exposureMs = 0, guideMs = kUnguidedGuideMs;
    int16_t frameCount = 0;
    if (!readMs(panel_.exposureText(), "Exposure sec", exposureMs) ||
        !lasts(exposureMs, "Exposure sec", panel_.exposureText(), "an exposure") ||
        (panel_.guidingTicked() && (!readMs(panel_.guideText(), "Guide sec", guideMs) ||
                                    !lasts(guideMs, "Guide sec", panel_.guideText(), "a guide interval"))) ||
        !readCount(panel_.frameCountText(), frameCount))
        return;
    // The name matters only to frames that are saved; ticking Save later is
    // checked again at each save.
    if (const QString problem = fileStemProblem(panel_.fileStem()); panel_.saveTicked() && !problem.isEmpty()) {
        panel_.showMessage(problem);
        return;
    }

    c.camera.setSequencing(true);
    lostSteps_ = 0;
    forgetCorrections(c.guiding); // a stopped run's last correction is not this run's
    c.sequence.SequenceRunning = 1;
    panel_.setStartCaption(QStringLiteral("Stop"));
    c.sequence.FrameNumber = 1;
    if (!panel_.guidingTicked())
        guideMs = kUnguidedGuideMs;

    bool guided = false; // the guide star was marked and guiding began
    try {
        bool goOn = true;
        if (panel_.guidingTicked()) {
            goOn = prepareGuiding(guideMs);
            guided = goOn && c.sequence.SequenceRunning == 1;
            if (guided) {
                runSteps_.clear();
                tell(GuideEvent::GuidingBegins);
            }
        }
        if (goOn) {
            // The count is read again here: it may have been edited while the star was marked.
            if (!readCount(panel_.frameCountText(), frameCount)) {
                frameCount = 0;
                c.sequence.SequenceRunning = 0;
            }
            rig_.startExposure();
            panel_.setProgressMax(exposureMs);
            if (c.sequence.FrameNumber < frameCount + 1)
                exposeFrames(exposureMs, guideMs, frameCount, guided);
        }
    } catch (const std::exception &e) {
        panel_.showMessage(QStringLiteral("The sequence stopped: %1").arg(QString::fromUtf8(e.what())));
    }
    endSequence();
    if (guided)
        tell(GuideEvent::GuidingEnds);
}

bool ImagingSequence::prepareGuiding(int32_t guideMs)
{
    const RigContext &c = rig_.context();
    SequenceState &seq = c.sequence;
    c.guiding.GuideExposureMs = guideMs; // the guide darks must be of this exposure
    panel_.showActivity(c.comm.CommPort() == kSimulatedMountPort
                            ? QStringLiteral("probing the simulated mount")
                            : QStringLiteral("probing the mount on %1").arg(c.comm.device()));
    if (Result opened = c.comm.setPortOpen(true); !opened) {
        panel_.showMessage(opened.error());
        panel_.notify(probeFailure(c.comm, opened.error()));
        seq.SequenceRunning = 0;
        return false;
    }
    c.comm.Output(QByteArray(1, kAck));
    c.pump.sleepWithoutEvents(c.clock.now() + kProbeWaitMs);
    if (c.comm.Input().isEmpty()) {
        panel_.showPlainMessage(QStringLiteral("Can't find Telescope!"));
        panel_.notify(probeFailure(c.comm, QStringLiteral("no answer within %1 ms. Is the mount switched on, its "
                                                          "cable plugged in, and is it set to %2 baud?")
                                               .arg(kProbeWaitMs)
                                               .arg(kMountBaud)));
        seq.SequenceRunning = 0;
    }

    // The first guide frame: one guide interval of exposure.
    panel_.showActivity(QStringLiteral("exposing the first guide frame"));
    const uint32_t t0 = c.clock.now();
    rig_.writePort(c.settings.ExposureState);
    while (sinceMs(t0, c.clock.now()) < guideMs && seq.SequenceRunning == 1)
        c.pump.processEventsOrSleep(t0 + uint32_t(guideMs));
    rig_.GrabGuideFrame();
    rig_.writePort(c.settings.GetImageState);
    panel_.setStatus(QStringLiteral("Mark Star"));
    panel_.showActivity(QStringLiteral("waiting for the guide star to be clicked"));
    panel_.beep();

    seq.StarMarked = 0;
    while (seq.StarMarked == 0 && seq.SequenceRunning == 1)
        c.pump.processEventsOrWait();
    return true;
}

uint32_t ImagingSequence::wakeTime(uint32_t now, uint32_t dueMs) const
{
    uint32_t wake = now + kProgressIntervalMs;
    auto consider = [&](uint32_t at) {
        if (elapsedMs(now, at) < elapsedMs(now, wake))
            wake = reached(now, at) ? now : at;
    };
    consider(dueMs);
    if (panel_.guidingTicked())
        if (auto check = rig_.nextMoveCheckMs())
            consider(*check);
    return wake;
}

void ImagingSequence::exposeFrames(int32_t exposureMs, int32_t guideMs, int16_t frameCount, bool guided)
{
    const RigContext &c = rig_.context();
    SequenceState &seq = c.sequence;
    bool guidingTicked = panel_.guidingTicked(); // as last told to those who follow the run
    while (seq.FrameNumber < frameCount + 1) {
        const QString frame = QStringLiteral("frame %1 of %2").arg(seq.FrameNumber).arg(frameCount);
        panel_.setStatus(QStringLiteral("Image") + numberText(int64_t(seq.FrameNumber)));
        const uint32_t t1 = c.clock.now();
        seq.GuideCount = 1;
        int64_t shownLeftS = -1;
        for (;;) {
            const int64_t elapsed = sinceMs(t1, c.clock.now());
            if (elapsed >= exposureMs)
                break;
            // Told when the whole seconds left change, on the passes the loop makes anyway.
            if (const int64_t leftS = (exposureMs - elapsed + 999) / 1000; leftS != shownLeftS) {
                shownLeftS = leftS;
                panel_.showActivity(QStringLiteral("%1, %2 s left").arg(frame).arg(leftS));
            }
            // Guide steps are scheduled by count from the exposure's start: the
            // k-th falls due once more than k guide intervals have passed.
            if (elapsed > int64_t(seq.GuideCount) * guideMs && panel_.guidingTicked()) {
                if (seq.GuideCount < std::numeric_limits<int16_t>::max())
                    ++seq.GuideCount;
                // Without a new guide frame the picture is an older one: measuring
                // it again would repeat the last correction and drive the mount off.
                if (guideStep())
                    addGuideStep(seq.Exposing.guide, c.guiding);
            }
            // Sleep until the exposure ends, the next guide step or the move timer
            // is due, or an event comes.
            const int64_t nextStepMs = int64_t(seq.GuideCount) * guideMs + 1;
            const int64_t dueSinceT1 = panel_.guidingTicked() ? std::min<int64_t>(nextStepMs, exposureMs) : exposureMs;
            c.pump.processEventsOrSleep(wakeTime(c.clock.now(), t1 + uint32_t(std::max<int64_t>(dueSinceT1, 0))));
            rig_.ServiceGuideMoves();
            if (guided && panel_.guidingTicked() != guidingTicked) {
                guidingTicked = !guidingTicked;
                tell(guidingTicked ? GuideEvent::GuidingOn : GuideEvent::GuidingOff);
            }
            if (seq.SequenceRunning == 0)
                return;
            panel_.setProgressValue(int32_t(elapsed));
        }
        ++seq.FrameNumber;
        panel_.showActivity(QStringLiteral("reading out ") + frame);
        const bool delivered = rig_.GrabImageFrame();
        if (panel_.saveTicked()) {
            (void)rig_.SaveImageFrame(delivered); // a failed save is told to the user; the run goes on
            if (!rig_.savedFrame().isEmpty())
                tell(GuideEvent::FrameSaved, rig_.savedFrame());
        }
        if (guided && seq.FrameNumber < frameCount + 1 && !ditherAndSettle(guideMs))
            return; // stopped while settling
    }
}

bool ImagingSequence::guideStep()
{
    if (!rig_.GrabGuideFrame())
        return false;
    rig_.MeasureGuideStar();
    rig_.DrawGuideBox();
    rig_.StartGuideMove();
    followGuideStar();
    tellGuideStep();
    return true;
}

void ImagingSequence::followGuideStar()
{
    const SequenceState &seq = rig_.context().sequence;
    if (rig_.context().guiding.StarFound) {
        if (lostSteps_ > 0) { // the star is back: guiding goes on by itself
            panel_.setStatus(QStringLiteral("Image") + numberText(int64_t(seq.FrameNumber)));
            tell(GuideEvent::StarFound);
        }
        lostSteps_ = 0;
        return;
    }
    panel_.setStatus(QStringLiteral("Star lost"));
    if (lostSteps_ == 0)
        tell(GuideEvent::StarLost);
    if (lostSteps_ >= kLostStepsBeforeAlarm)
        return; // told once per loss
    if (++lostSteps_ == kLostStepsBeforeAlarm) {
        panel_.beep();
        panel_.notify(QStringLiteral("The guide star is lost (%1 guide steps in a row without it in the guide box); "
                                     "the mount is not moved until it is back.")
                          .arg(kLostStepsBeforeAlarm));
    }
}

void ImagingSequence::endSequence()
{
    const RigContext &c = rig_.context();
    panel_.setStatus(QStringLiteral("Ready"));
    panel_.setProgressValue(0);
    rig_.writePort(c.settings.GetImageState);
    panel_.setStartCaption(QStringLiteral("Start"));
    panel_.setStatus(QStringLiteral("Ready"));
    rig_.showNextFirstIndex();
    // An open link means this run guided: a correction it started may still be
    // running even if guiding was unticked since, and must not outlive the run.
    // A link that never opened has nothing to stop; a send on it would only add
    // a wrong second notice to the open error the user has just read.
    if (c.comm.PortOpen())
        rig_.sendStopAll();
    if (c.comm.PortOpen())
        (void)c.comm.setPortOpen(false);
    forgetCorrections(c.guiding); // the mount is stopped: nothing is moving any more
    c.camera.setSequencing(false);
    c.sequence.SequenceRunning = 0;
    panel_.showActivity({});
}

} // namespace orvane
