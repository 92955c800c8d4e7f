#pragma once
// What a rehearsal tells the user: the guided RMS, the frames that would be
// spoiled, and plain warnings that name the cause of what went wrong.

#include "drift_stats.h"
#include "rehearsal.h"

#include <QStringList>

#include <vector>

namespace orvane {

struct RehearsalFindings {
    DriftStats guiding;           // every guide step of the run
    std::vector<int> spoiled;     // numbers of the frames that would be spoiled
    QStringList spoiledWhy;       // beside each: "trailed", "blurred", "no star"
    QStringList warnings;
    double settlingS = 0;     // seconds from each dither to the settled star, all added
    double settlingShare = 0; // of the whole run's time
    int settleFailures = 0;   // dithers that ended at the settle timeout
};

// A night that spends more than this share of its time settling is warned of.
inline constexpr double kMostSettlingShare = 0.10;

// A frame whose star is narrower across than this share of its length is trailed.
inline constexpr double kLeastRoundness = 0.7;
// A frame whose star is this many times wider than the seeing is blurred.
inline constexpr double kMostBlur = 1.6;

RehearsalFindings findingsOf(const RehearsalPlan &plan, const RehearsalRun &run);

// The whole report as plain text: the plan, the figures, each frame, the warnings.
QString reportText(const RehearsalPlan &plan, const RehearsalRun &run, const RehearsalFindings &findings,
                   double wallSeconds);

} // namespace orvane
