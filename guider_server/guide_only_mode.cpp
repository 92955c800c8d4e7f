#include "guide_only_mode.h"

#include "imaging_sequence.h"
#include "move_decision.h"
#include "rpc_lines.h"

#include <QDateTime>
#include <QJsonArray>

#include <cmath>

namespace orvane {

namespace {

constexpr double kAvgDistShare = 0.3; // the newest distance's share of AvgDist

// No correction is under way: neither a direction to stop nor a planned move.
void forgetCorrections(GuidingState &g)
{
    g.MoveDirX = 0;
    g.MoveDirY = 0;
    g.Planned = {};
    g.KnownMoveRunning = false;
}

RigContext withPanel(const RigContext &c, ControlPanel &panel)
{
    return {c.settings, c.sequence, c.guiding, c.clock, c.pump, c.port, c.comm, c.camera, c.picture, panel};
}

} // namespace

GuideOnlyMode::GuideOnlyMode(const RigContext &window)
    : panel_(window.panel, *this), rig_(withPanel(window, panel_)), random_(window.clock.now())
{
}

void GuideOnlyMode::send(const QString &name, QJsonObject fields)
{
    if (!emitEvent)
        return;
    Clock &clock = rig_.context().clock;
    QJsonObject e = guiderEvent(name, clock.utcMs(clock.now()));
    for (auto it = fields.begin(); it != fields.end(); ++it)
        e.insert(it.key(), it.value());
    emitEvent(e);
}

void GuideOnlyMode::tell(GuideEvent event, const QString &text)
{
    const uint32_t now = rig_.context().clock.now();
    for (GuideObserver *observer : observers_)
        observer->guideEvent(event, now, text);
}

void GuideOnlyMode::loop()
{
    if (guide_)
        endGuiding(); // looping goes on without corrections
    singleFrame_ = false;
    stopAsked_ = false;
    if (!active_ && queueRun)
        queueRun();
}

void GuideOnlyMode::captureSingleFrame(int32_t exposureMs)
{
    if (active_)
        refuse(QStringLiteral("frames are being taken already; stop_capture first"));
    singleFrame_ = true;
    singleFrameMs_ = exposureMs;
    stopAsked_ = false;
    if (queueRun)
        queueRun();
}

void GuideOnlyMode::guide(const SettleRule &rule, const QString &client, bool recalibrate)
{
    const RigContext &c = rig_.context();
    if (c.sequence.StarMarked == 0)
        refuse(QStringLiteral("no guide star is selected: loop, then find_star or set_lock_position first"));
    if (!c.comm.PortOpen())
        if (Result opened = c.comm.setPortOpen(true); !opened)
            refuse(QStringLiteral("the link to the mount does not open: %1").arg(opened.error()));
    client_ = client;
    if (recalibrate && !guidingBegun_)
        calibrateAsked_ = true;
    guide_ = true;
    singleFrame_ = false;
    stopAsked_ = false;
    beginSettle(rule);
    if (!active_ && queueRun)
        queueRun();
}

void GuideOnlyMode::dither(QPointF shiftPx, const SettleRule &rule)
{
    if (!guiding())
        refuse(QStringLiteral("not guiding: dither needs guide first"));
    const RigContext &c = rig_.context();
    GuidingState &g = c.guiding;
    // Around the marked place, as the window's dithers: shifts never add up to a walk out of the box.
    const QPointF moved(g.MarkDX + shiftPx.x() - g.LockDX, g.MarkDY + shiftPx.y() - g.LockDY);
    g.LockDX = g.MarkDX + shiftPx.x();
    g.LockDY = g.MarkDY + shiftPx.y();
    const double lockX = c.sequence.StarX + g.LockDX, lockY = c.sequence.StarY + g.LockDY;
    tell(GuideEvent::Dither, ditherText(moved.x(), moved.y(), lockX, lockY));
    send(QStringLiteral("GuidingDithered"), {{"dx", moved.x()}, {"dy", moved.y()}});
    send(QStringLiteral("LockPositionSet"), {{"X", lockX}, {"Y", lockY}});
    beginSettle(rule);
    if (g.Axes && guidingBegun_) {
        const int32_t ms = rig_.StartKnownMove(moved);
        settle_->judge.expectInPlaceFrom(c.clock.now() + uint32_t(ms));
    } else {
        g.Tracker.restart(); // the next measurement is from the new lock position
    }
}

void GuideOnlyMode::stop()
{
    stopAsked_ = true;
    if (calibration_)
        calibration_->requestStop();
}

void GuideOnlyMode::setPaused(bool paused, bool full)
{
    if (paused == paused_)
        return;
    paused_ = paused;
    pausedFull_ = paused && full;
    send(paused ? QStringLiteral("Paused") : QStringLiteral("Resumed"));
}

void GuideOnlyMode::beginSettle(const SettleRule &rule)
{
    if (settle_)
        finishSettle(false, QStringLiteral("a new guide or dither request came before the star settled"));
    SettleRule used = rule;
    // The box way holds each axis only to its 2 px band, in whole pixels.
    if (!rig_.context().guiding.Algorithm->twoAxis)
        used.tolerancePx = std::max(rule.tolerancePx, kMoveThresholdPx + 1);
    const uint32_t now = rig_.context().clock.now();
    settle_.emplace(Settle{SettleJudge(used, now), used, now});
    tell(GuideEvent::SettlingBegins);
    send(QStringLiteral("SettleBegin"));
}

void GuideOnlyMode::finishSettle(bool settled, const QString &error)
{
    if (!settle_)
        return;
    const Settle s = *settle_;
    settle_.reset();
    tell(settled ? GuideEvent::SettlingComplete : GuideEvent::SettlingFailed);
    QJsonObject fields{{"Status", settled ? 0 : 1}, {"TotalFrames", s.frames}, {"DroppedFrames", s.dropped}};
    if (!settled)
        fields.insert("Error", error);
    send(QStringLiteral("SettleDone"), fields);
}

void GuideOnlyMode::settleFrame(std::optional<double> distancePx)
{
    if (!settle_)
        return;
    const uint32_t now = rig_.context().clock.now();
    ++settle_->frames;
    if (!distancePx)
        ++settle_->dropped;
    const SettleVerdict verdict = settle_->judge.frame(now, distancePx);
    send(QStringLiteral("Settling"), {{"Distance", distancePx.value_or(0)},
                                      {"Time", settle_->judge.elapsedMs() / 1000.0},
                                      {"SettleTime", settle_->rule.timeS},
                                      {"StarLocked", distancePx.has_value()}});
    if (verdict == SettleVerdict::Settled)
        finishSettle(true, {});
    else if (verdict == SettleVerdict::Failed)
        finishSettle(false, QStringLiteral("the star did not settle within %1 px in %2 s")
                                .arg(settle_->rule.tolerancePx)
                                .arg(settle_->rule.timeoutS));
}

void GuideOnlyMode::beginGuiding()
{
    const RigContext &c = rig_.context();
    GuidingState &g = c.guiding;
    forgetCorrections(g);
    g.Tracker.restart();
    guidingBegun_ = true;
    guideSteps_ = 0;
    lostSteps_ = 0;
    avgDistPx_ = 0;
    guideBeganMs_ = c.clock.now();
    tell(GuideEvent::GuidingBegins);
    send(QStringLiteral("StartGuiding"));
    if (showGuidingFor)
        showGuidingFor(client_);
}

bool GuideOnlyMode::calibrate()
{
    const RigContext &c = rig_.context();
    GuidingState &g = c.guiding;
    CalibrationOptions options;
    options.exposureMs = exposureMs_;
    options.distancePx = g.Options.calibrationPx;
    options.letterLimitMs = int32_t(std::lround(g.Options.calibrationLimitS * 1000));
    Calibration calibration(rig_);
    calibration.onStep = [this](const CalibrationStep &step) {
        send(QStringLiteral("Calibrating"),
             {{"Mount", QStringLiteral("Mount")}, {"dir", step.direction},
              {"dist", std::hypot(step.offsetPx.x(), step.offsetPx.y())}, {"dx", step.offsetPx.x()},
              {"dy", step.offsetPx.y()}, {"pos", QJsonArray{step.starPx.x(), step.starPx.y()}}, {"step", step.step},
              {"State", step.direction}});
    };
    send(QStringLiteral("StartCalibration"), {{"Mount", QStringLiteral("Mount")}});
    calibration_ = &calibration;
    const CalibrationRun run = calibration.run(options);
    calibration_ = nullptr;
    // The calibration's end put the camera lines at rest and closed the link; the run goes on.
    c.camera.setSequencing(true);
    c.picture.setSequenceWriting(true);
    rig_.startExposure();
    const DirectionTexts inUse{c.settings.DirUp, c.settings.DirDown, c.settings.DirLeft, c.settings.DirRight};
    const DirectionTexts &found = run.solution.letters;
    QString failure = run.stopped ? QStringLiteral("the calibration was stopped") : run.failure;
    if (failure.isEmpty() && (found.up != inUse.up || found.down != inUse.down || found.left != inUse.left ||
                              found.right != inUse.right))
        failure = QStringLiteral("the mount's letters differ from those in Options; calibrate in Guide > Calibrate… "
                                 "and apply them");
    if (!failure.isEmpty()) {
        send(QStringLiteral("CalibrationFailed"), {{"Reason", failure}});
        if (settle_)
            finishSettle(false, QStringLiteral("calibration failed: %1").arg(failure));
        return false;
    }
    g.Axes = run.solution.record; // for this session; Guide > Calibrate… keeps a calibration in orvane.ini
    g.Axes->when = QDateTime::fromMSecsSinceEpoch(run.beganUtcMs, Qt::UTC).toString(Qt::ISODate);
    send(QStringLiteral("CalibrationComplete"), {{"Mount", QStringLiteral("Mount")}});
    if (settle_) { // settling is timed from the guiding that follows, not from the request
        settle_->startMs = c.clock.now();
        settle_->judge = SettleJudge(settle_->rule, settle_->startMs);
    }
    if (!c.comm.PortOpen())
        if (Result opened = c.comm.setPortOpen(true); !opened) {
            if (settle_)
                finishSettle(false, QStringLiteral("the link to the mount does not open: %1").arg(opened.error()));
            return false;
        }
    return true;
}

void GuideOnlyMode::endGuiding()
{
    const bool begun = guidingBegun_;
    guide_ = false;
    guidingBegun_ = false;
    finishSettle(false, QStringLiteral("guiding stopped"));
    const RigContext &c = rig_.context();
    if (c.comm.PortOpen()) {
        rig_.sendStopAll(); // no correction outlives guiding
        (void)c.comm.setPortOpen(false);
    }
    forgetCorrections(c.guiding);
    if (begun) {
        tell(GuideEvent::GuidingEnds);
        send(QStringLiteral("GuidingStopped"));
    }
    if (showGuidingFor)
        showGuidingFor({});
    lostSteps_ = 0;
    paused_ = pausedFull_ = false;
}

bool GuideOnlyMode::waitUntil(uint32_t dueMs)
{
    const RigContext &c = rig_.context();
    while (!reached(c.clock.now(), dueMs) && !stopAsked_) {
        uint32_t wake = dueMs;
        if (panel_.guidingTicked())
            if (auto check = rig_.nextMoveCheckMs(); check && elapsedMs(c.clock.now(), *check) < elapsedMs(c.clock.now(), wake))
                wake = reached(c.clock.now(), *check) ? c.clock.now() : *check;
        c.pump.processEventsOrSleep(wake);
        rig_.ServiceGuideMoves();
    }
    return !stopAsked_;
}

void GuideOnlyMode::run()
{
    if (active_)
        return;
    const RigContext &c = rig_.context();
    active_ = true;
    loopFrames_ = 0;
    c.camera.setSequencing(true);
    c.picture.setSequenceWriting(true);
    forgetCorrections(c.guiding);
    try {
        rig_.startExposure();
        while (!stopAsked_) {
            if (guide_ && !guidingBegun_ && calibrateAsked_) {
                calibrateAsked_ = false;
                if (!calibrate()) {
                    endGuiding(); // the settle ends with the reason; looping goes on
                    continue;
                }
            }
            if (guide_ && !guidingBegun_)
                beginGuiding();
            const int32_t ms = singleFrame_ ? singleFrameMs_ : exposureMs_;
            if (!waitUntil(c.clock.now() + uint32_t(std::max(ms, 1))))
                break;
            if (paused_ && pausedFull_)
                continue; // fully paused: no frames either
            const bool delivered = rig_.GrabGuideFrame();
            if (!guidingBegun_) {
                if (delivered)
                    send(QStringLiteral("LoopingExposures"), {{"Frame", ++loopFrames_}});
                if (singleFrame_)
                    break;
                continue;
            }
            if (!delivered) {
                settleFrame(std::nullopt); // no picture: nothing measured, nothing moved
                continue;
            }
            if (paused_)
                continue; // frames go on, nothing is measured or moved
            guideStep();
        }
    } catch (const std::exception &e) {
        c.panel.notify(QStringLiteral("Guiding for %1 stopped: %2").arg(client_, QString::fromUtf8(e.what())));
    }
    endSteps();
}

void GuideOnlyMode::guideStep()
{
    const RigContext &c = rig_.context();
    const GuidingState &g = c.guiding;
    rig_.MeasureGuideStar();
    rig_.DrawGuideBox();
    rig_.StartGuideMove(); // a lost star moves nothing
    const GuideStep step = measuredGuideStep(c, settle_.has_value());
    for (GuideObserver *observer : observers_)
        observer->guideStep(step);
    ++guideSteps_;
    const double seconds = elapsedMs(guideBeganMs_, step.timeMs) / 1000.0;
    const int64_t utcMs = c.clock.utcMs(step.timeMs);
    if (!step.starFound) {
        if (lostSteps_++ == 0)
            tell(GuideEvent::StarLost);
        send(QStringLiteral("StarLost"), {{"Frame", guideSteps_}, {"Time", seconds}, {"StarMass", 0}, {"SNR", g.StarSnr},
                                          {"AvgDist", avgDistPx_}, {"ErrorCode", 1},
                                          {"Status", QStringLiteral("no star in the guide box")}});
        settleFrame(std::nullopt);
        return;
    }
    if (lostSteps_ > 0)
        tell(GuideEvent::StarFound);
    lostSteps_ = 0;
    const double distancePx = std::hypot(step.dxPx, step.dyPx);
    avgDistPx_ = guideSteps_ == 1 ? distancePx : avgDistPx_ + kAvgDistShare * (distancePx - avgDistPx_);
    std::optional<double> hfd;
    if (const auto profile = rig_.markedStarProfile())
        hfd = profile->fwhm; // a round star's half-flux diameter is its full width at half maximum
    const AxisLetters axes{c.settings.DirLeft, c.settings.DirRight, c.settings.DirUp, c.settings.DirDown};
    if (emitEvent)
        emitEvent(guideStepEvent(utcMs, guideSteps_, seconds, step, axes, avgDistPx_, hfd));
    const double settleDistancePx = g.Algorithm->twoAxis ? std::hypot(g.TrackedPx.x(), g.TrackedPx.y())
                                                         : std::max(std::fabs(step.dxPx), std::fabs(step.dyPx));
    settleFrame(settleDistancePx);
}

void GuideOnlyMode::endSteps()
{
    const RigContext &c = rig_.context();
    finishSettle(false, QStringLiteral("guiding stopped"));
    if (guide_ || guidingBegun_)
        endGuiding();
    rig_.writePort(c.settings.GetImageState); // the camera lines at rest
    if (c.comm.PortOpen()) {
        rig_.sendStopAll();
        (void)c.comm.setPortOpen(false);
    }
    forgetCorrections(c.guiding);
    c.picture.setSequenceWriting(false);
    c.camera.setSequencing(false);
    send(QStringLiteral("LoopingExposuresStopped"));
    active_ = false;
    stopAsked_ = false;
    singleFrame_ = false;
    paused_ = pausedFull_ = false;
    if (ended)
        ended();
}

} // namespace orvane
