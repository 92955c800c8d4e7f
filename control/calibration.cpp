#include "calibration.h"

#include "calibration_log_lines.h"
#include "serial_devices.h"
#include "star_profile.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

namespace orvane {

namespace {

constexpr char kAck = 0x06;            // the mount presence probe
constexpr uint32_t kProbeWaitMs = 200; // the mount answers within this
constexpr double kTakeUpPx = 1.0;      // a first step that moves the star less is taking up backlash
constexpr double kStepsPerLetter = 8;  // steps a letter takes at the expected rate, when the step is not given
constexpr int32_t kShortestStepMs = 100, kLongestStepMs = 5000;
constexpr int kCentreBoxPx = 12;       // the star's light is weighed in this box around the search's place

struct Letter {
    const char *letter;
    const char *direction;
    QPointF LetterVelocities::*velocity;
};
// w then e brings the star back across; n then s likewise.
constexpr std::array<Letter, 4> kLetters{{{"w", "West", &LetterVelocities::west},
                                          {"e", "East", &LetterVelocities::east},
                                          {"n", "North", &LetterVelocities::north},
                                          {"s", "South", &LetterVelocities::south}}};

double distance(QPointF v) { return std::hypot(v.x(), v.y()); }

// Least-squares slope of the star's place against seconds of drive.
QPointF slope(const std::vector<std::pair<double, QPointF>> &points)
{
    double meanT = 0;
    QPointF meanP;
    for (const auto &[t, p] : points) {
        meanT += t;
        meanP += p;
    }
    meanT /= double(points.size());
    meanP /= double(points.size());
    double tt = 0;
    QPointF tp;
    for (const auto &[t, p] : points) {
        tt += (t - meanT) * (t - meanT);
        tp += (t - meanT) * (p - meanP);
    }
    return tt > 0 ? tp / tt : QPointF();
}

} // namespace

bool correctsOneAxisAtATime(const GuidingState &guiding)
{
    return guiding.Algorithm && !guiding.Algorithm->twoAxis;
}

CalibrationRun Calibration::run(const CalibrationOptions &asked)
{
    const RigContext &c = rig_.context();
    CalibrationOptions options = asked;
    if (options.stepMs <= 0) // about eight steps a letter at the rate Options holds
        options.stepMs = int32_t(std::clamp(1000.0 * options.distancePx / (kStepsPerLetter * std::max(1, c.settings.PixPerSec)),
                                            double(kShortestStepMs), double(kLongestStepMs)));
    CalibrationRun result;
    result.beganUtcMs = c.clock.utcMs(c.clock.now());
    running_ = true;
    stopAsked_ = false;
    // No guide correction runs now; the move timer of the read-out's waits must find none.
    c.guiding.MoveDirX = 0;
    c.guiding.MoveDirY = 0;
    c.camera.setSequencing(true);
    c.picture.setSequenceWriting(true);
    const bool probed = probeMount(result);
    if (probed) {
        const QString mount = c.comm.CommPort() == kSimulatedMountPort ? QStringLiteral("simulated") : c.comm.device();
        log(calibrationLogBegins(QDateTime::fromMSecsSinceEpoch(result.beganUtcMs), mount, options.stepMs,
                                 options.distancePx));
        if (drive(result, options)) {
            result.solution = solveCalibration(result.moves, correctsOneAxisAtATime(c.guiding), options.limits);
            result.failure = result.solution.failure;
        }
        if (result.ok())
            log({calibrationLogSpeeds(result.solution.raRatePxPerSec, result.solution.decRatePxPerSec)});
        log(calibrationLogEnds(result.failure));
    }
    // The end steps of any calibration: the mount still, the camera lines at rest.
    if (c.comm.PortOpen()) {
        rig_.sendStopAll();
        (void)c.comm.setPortOpen(false);
    }
    rig_.writePort(c.settings.GetImageState);
    c.picture.setSequenceWriting(false);
    c.camera.setSequencing(false);
    running_ = false;
    return result;
}

bool Calibration::probeMount(CalibrationRun &run)
{
    const RigContext &c = rig_.context();
    if (Result opened = c.comm.setPortOpen(true); !opened) {
        run.failure = opened.error();
        return false;
    }
    c.comm.Output(QByteArray(1, kAck));
    c.pump.sleepWithoutEvents(c.clock.now() + kProbeWaitMs);
    if (!c.comm.Input().isEmpty())
        return true;
    run.failure = QStringLiteral("No mount answered on comm port %1 (%2) within %3 ms: is it switched on, its cable "
                                 "in and this the right port?")
                      .arg(c.comm.CommPort())
                      .arg(c.comm.device())
                      .arg(kProbeWaitMs);
    return false;
}

bool Calibration::drive(CalibrationRun &run, const CalibrationOptions &options)
{
    const RigContext &c = rig_.context();
    star_ = QPointF(c.sequence.StarX, c.sequence.StarY);
    rig_.writePort(c.settings.ExposureState); // the guide frames integrate from here
    if (!measure(run, options, QStringLiteral("the start")))
        return false;
    for (int i = 0; i < int(kLetters.size()); ++i) {
        const std::optional<QPointF> velocity = driveLetter(run, options, i);
        if (!velocity)
            return false;
        run.moves.*kLetters[i].velocity = *velocity;
        // Each axis is known once its second letter has brought the star back.
        if (i == 1)
            log({calibrationLogAxis(QStringLiteral("West"), angleDeg((run.moves.west - run.moves.east) / 2))});
        if (i == 3)
            log({calibrationLogAxis(QStringLiteral("North"), angleDeg((run.moves.north - run.moves.south) / 2))});
    }
    return true;
}

std::optional<QPointF> Calibration::driveLetter(CalibrationRun &run, const CalibrationOptions &options, int index)
{
    const RigContext &c = rig_.context();
    const Letter &letter = kLetters[index];
    const uint32_t beganMs = c.clock.now();
    QPointF from = star_; // where the measured drive begins
    std::vector<std::pair<double, QPointF>> points{{0.0, from}}; // seconds of drive, star place
    double driveS = 0;
    bool takingUp = true; // until a step moves the star
    for (int step = 1; distance(star_ - from) < options.distancePx; ++step) {
        if (elapsedMs(beganMs, c.clock.now()) >= options.letterLimitMs)
            break;
        rig_.sendGuideMove(QLatin1String(letter.letter));
        const bool drove = waitUntil(c.clock.now() + uint32_t(options.stepMs));
        rig_.sendStopAll();
        if (!drove) {
            run.stopped = true;
            run.failure = QStringLiteral("Calibration was stopped.");
            return std::nullopt;
        }
        const QPointF before = star_;
        if (!measure(run, options, QStringLiteral("%1 step %2").arg(QLatin1String(letter.direction)).arg(step)))
            return std::nullopt;
        driveS += options.stepMs / 1000.0;
        if (takingUp && distance(star_ - before) < kTakeUpPx) {
            // The axis took up its slack: the measured drive begins from here.
            from = star_;
            points = {{driveS, from}};
        } else {
            takingUp = false;
            points.emplace_back(driveS, star_);
        }
        const CalibrationStep measured{QLatin1String(letter.direction), QLatin1String(letter.letter), step,
                                       star_ - from, star_};
        run.steps.push_back(measured);
        log({calibrationLogRow(measured.direction, measured.step, measured.offsetPx, measured.starPx)});
        if (onStep)
            onStep(measured);
    }
    return slope(points);
}

std::optional<QPointF> Calibration::measure(CalibrationRun &run, const CalibrationOptions &options, const QString &where)
{
    const RigContext &c = rig_.context();
    if (!waitUntil(c.clock.now() + uint32_t(options.exposureMs))) {
        run.stopped = true;
        run.failure = QStringLiteral("Calibration was stopped.");
        return std::nullopt;
    }
    if (!rig_.GrabGuideFrame()) {
        run.failure = QStringLiteral("The camera delivered no guide frame at %1.").arg(where);
        return std::nullopt;
    }
    const QImage picture = c.picture.picture().convertToFormat(QImage::Format_RGB32);
    const PixelView view{reinterpret_cast<const uint32_t *>(picture.constBits()), picture.width(), picture.height(),
                         picture.bytesPerLine() / std::ptrdiff_t(sizeof(uint32_t))};
    // The box follows the star, which moves further than half a box from the mark.
    const StarMeasurement m =
        c.guiding.Algorithm->measure(view, star_.x(), star_.y(), c.settings.GuideBoxSize, c.guiding.MinStarSnr);
    if (!m.found) {
        run.failure = QStringLiteral("The guide star was lost at %1: is a cloud passing, or did the star leave the "
                                     "guide box?")
                          .arg(where);
        return std::nullopt;
    }
    star_ += QPointF(m.driftX, m.driftY);
    // The search may place the star to a whole pixel only; the centre of its
    // light, a fraction of a pixel, keeps a 15 px calibration within a few percent.
    if (const std::optional<StarProfile> light = starProfile(view, star_.x(), star_.y(), kCentreBoxPx))
        if (std::hypot(light->x - star_.x(), light->y - star_.y()) < kCentreBoxPx / 2.0)
            star_ = QPointF(light->x, light->y);
    const double half = c.settings.GuideBoxSize / 2.0;
    c.picture.drawBox(star_.x() - half, star_.y() + half, star_.x() + half, star_.y() - half, 255);
    return star_;
}

bool Calibration::waitUntil(uint32_t dueMs)
{
    const RigContext &c = rig_.context();
    while (!stopAsked_ && !reached(c.clock.now(), dueMs))
        c.pump.processEventsOrSleep(dueMs);
    return !stopAsked_;
}

void Calibration::log(const QStringList &lines) const
{
    if (writeLog)
        writeLog(lines);
}

} // namespace orvane
