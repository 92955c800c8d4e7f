#pragma once
// Calibration: with the guide star marked, the mount is driven in steps with
// each direction letter in turn (w, e, n, s; each e and s step brings the star
// back), a guide frame is read out and the star measured after every step, and
// from how the star moved the mount's axes on the picture are worked out. The
// procedure lives inside the command that started it, like a run; it changes
// no setting: applying its result is the caller's choice.

#include "calibration_solve.h"
#include "rig.h"

#include <QPointF>

#include <functional>
#include <vector>

namespace orvane {

struct CalibrationOptions {
    double distancePx = 15;       // each letter drives until the star has moved this far
    int32_t stepMs = 0;           // the guide-rate drive of one step, ms; 0: about 8 steps at Pixels/Sec
    int32_t exposureMs = 1000;    // the guide exposure after each step, ms
    int32_t letterLimitMs = 60000; // a letter gives up after this long, ms
    CalibrationLimits limits;
};

// One step as measured.
struct CalibrationStep {
    QString direction; // West, East, North, South
    QString letter;    // w, e, n, s
    int step = 0;      // from 1 within the direction
    QPointF offsetPx;  // the star from where the direction began, pixels
    QPointF starPx;    // the star on the picture, pixels
};

struct CalibrationRun {
    QString failure;              // empty when the solution stands; else why nothing can be applied
    bool stopped = false;         // the user stopped it
    LetterVelocities moves;       // pixels per second of drive, per letter
    CalibrationSolution solution; // valid when failure is empty
    std::vector<CalibrationStep> steps;
    int64_t beganUtcMs = 0;       // when it began, ms since 1970 UTC
    bool ok() const { return failure.isEmpty(); }
};

// The guide algorithm corrects one picture axis at a time (the box search).
bool correctsOneAxisAtATime(const GuidingState &guiding);

class Calibration {
public:
    explicit Calibration(Rig &rig) : rig_(rig) {}

    // Runs the whole calibration around the marked star; returns when it ends,
    // fails or is stopped, with the mount stopped, its link closed and the
    // camera lines at rest.
    CalibrationRun run(const CalibrationOptions &options);
    // Asks a running calibration to end at its next look; the mount is stopped.
    void requestStop() { stopAsked_ = true; }
    bool running() const { return running_; }

    // Told of every step as it is measured (the window's plot).
    std::function<void(const CalibrationStep &step)> onStep;
    // Given the guide log's lines as they come (the guide log).
    std::function<void(const QStringList &lines)> writeLog;

private:
    bool drive(CalibrationRun &run, const CalibrationOptions &options);
    // Drives one letter until the star has moved the distance or the time is up;
    // the star's velocity per second of drive, or nothing after a failure.
    std::optional<QPointF> driveLetter(CalibrationRun &run, const CalibrationOptions &options, int letter);
    // One guide frame after `exposureMs`: the star's place, or a failure in `run`.
    std::optional<QPointF> measure(CalibrationRun &run, const CalibrationOptions &options, const QString &where);
    // Sleeps on the pump until `dueMs`; false when a stop was asked meanwhile.
    bool waitUntil(uint32_t dueMs);
    bool probeMount(CalibrationRun &run);
    void log(const QStringList &lines) const;

    Rig &rig_;
    bool running_ = false;
    bool stopAsked_ = false;
    QPointF star_; // pixels: where the star was last measured
};

} // namespace orvane
