#include "backlash_probe.h"

#include "star_watch.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

constexpr double kStepPx = 2.5;  // pixels of star motion a step is sized for
constexpr double kNorthPx = 15;  // the north leg ends once the star has moved this far
constexpr double kBackPx = 10;   // the south leg once it has come back this far

class Probe {
public:
    Probe(Rig &rig, const BacklashProbeOptions &options, const std::function<bool()> &stopAsked,
          const std::function<void(const QString &)> &progress)
        : rig_(rig), c_(rig.context()), options_(options), stopAsked_(stopAsked), progress_(progress),
          began_(c_.clock.now())
    {
        stepMs_ = int32_t(std::clamp(1000 * kStepPx / std::max(options.expectedRatePxPerSec, 0.1), 100.0, 2000.0));
    }

    BacklashProbe run(QPointF starPx)
    {
        result_.starPx = starPx;
        std::vector<BacklashPlace> north, south;
        if (!look(north, 0, QStringLiteral("the start")))
            return result_;
        const QPointF start = clean(north.back());
        while (distance(clean(north.back()) - start) < kNorthPx) {
            if (north.back().driveMs >= kBacklashProbeMostMs)
                return failed(QStringLiteral("The star did not move %1 px in %2 s of north drive: is the mount "
                                             "connected, and does its Dec axis move?")
                                  .arg(kNorthPx)
                                  .arg(kBacklashProbeMostMs / 1000));
            if (!step(QStringLiteral("n"), north, QStringLiteral("north")))
                return result_;
        }
        const QPointF northWay = (clean(north.back()) - start) / distance(clean(north.back()) - start);
        south.push_back({0, north.back().clockS, north.back().placePx});
        const QPointF turn = clean(south.back());
        while (QPointF::dotProduct(clean(south.back()) - turn, -northWay) < kBackPx &&
               south.back().driveMs < kBacklashProbeMostMs)
            if (!step(QStringLiteral("s"), south, QStringLiteral("south")))
                return result_;
        QString why;
        result_.reading = readBacklash(north, south, options_.driftPxPerS, &why);
        result_.failure = why;
        return result_;
    }

private:
    static double distance(QPointF v) { return std::hypot(v.x(), v.y()); }
    QPointF clean(const BacklashPlace &p) const { return p.placePx - options_.driftPxPerS * p.clockS; }

    BacklashProbe &failed(const QString &why)
    {
        result_.failure = why;
        return result_;
    }

    bool wait(uint32_t dueMs)
    {
        while (!reached(c_.clock.now(), dueMs) && !(stopAsked_ && stopAsked_()))
            c_.pump.processEventsOrSleep(dueMs);
        result_.stopped = stopAsked_ && stopAsked_();
        return !result_.stopped;
    }

    // One step of `letter`, then the star's place after it.
    bool step(const QString &letter, std::vector<BacklashPlace> &leg, const QString &way)
    {
        rig_.sendGuideMove(letter);
        const bool drove = wait(c_.clock.now() + uint32_t(stepMs_));
        rig_.sendStopAll();
        if (!drove)
            return false;
        return look(leg, leg.back().driveMs + stepMs_,
                    QStringLiteral("%1 step %2").arg(way).arg(leg.size()));
    }

    bool look(std::vector<BacklashPlace> &leg, double driveMs, const QString &where)
    {
        if (progress_)
            progress_(QStringLiteral("Dec backlash test: %1").arg(where));
        if (!wait(c_.clock.now() + uint32_t(options_.exposureMs)))
            return false;
        bool lost = false;
        const std::optional<QPointF> star = starOnGuideFrame(rig_, result_.starPx, &lost);
        if (!star) {
            failed(lost ? QStringLiteral("The star was lost during the backlash test (%1): is a cloud passing, or "
                                         "did it leave the guide box?")
                              .arg(where)
                        : QStringLiteral("The camera delivered no guide frame during the backlash test."));
            return false;
        }
        result_.starPx = *star;
        leg.push_back({driveMs, elapsedMs(began_, c_.clock.now()) / 1000.0, *star});
        return true;
    }

    Rig &rig_;
    const RigContext &c_;
    BacklashProbeOptions options_;
    const std::function<bool()> &stopAsked_;
    const std::function<void(const QString &)> &progress_;
    uint32_t began_;
    int32_t stepMs_ = 300;
    BacklashProbe result_;
};

} // namespace

BacklashProbe probeDecBacklash(Rig &rig, QPointF starPx, const BacklashProbeOptions &options,
                               const std::function<bool()> &stopAsked, const std::function<void(const QString &)> &progress)
{
    const RigContext &c = rig.context();
    BacklashProbe result;
    result.starPx = starPx;
    const bool wasOpen = c.comm.PortOpen();
    if (!wasOpen) {
        if (Result opened = c.comm.setPortOpen(true); !opened) {
            result.failure = QStringLiteral("The backlash test needs the mount: %1").arg(opened.error());
            return result;
        }
    }
    c.guiding.MoveDirX = c.guiding.MoveDirY = 0; // no guide correction runs beside the test's own moves
    c.guiding.GuideExposureMs = options.exposureMs;
    c.camera.setSequencing(true);
    c.picture.setSequenceWriting(true);
    rig.writePort(c.settings.ExposureState);
    result = Probe(rig, options, stopAsked, progress).run(starPx);
    rig.sendStopAll();
    if (!wasOpen)
        (void)c.comm.setPortOpen(false);
    rig.writePort(c.settings.GetImageState);
    c.picture.setSequenceWriting(false);
    c.camera.setSequencing(false);
    return result;
}

} // namespace orvane
