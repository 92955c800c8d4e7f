#pragma once
// A rehearsal of tonight's run: the user's settings, entries and guiding state
// run through the real imaging sequence and guide procedures against a
// simulated sky, camera and mount of their own, on a simulated clock that runs
// as fast as the computer can. Nothing real is touched: no printer-port byte,
// no serial command, no file in the save folder (frames go to a temporary
// folder and are measured there), no guide log.

#include "frame_format.h"
#include "guide_events.h"
#include "rig_state.h"
#include "settings.h"
#include "sim_camera.h"
#include "sim_mount.h"
#include "sky.h"

#include <QStringList>

#include <atomic>
#include <vector>

namespace orvane {

// The simulated clock at a rehearsal's Start, when its sky starts too (ms).
inline constexpr uint32_t kRehearsalStartMs = 10000;

// Everything a rehearsal runs with, copied whole from the program at Start.
struct RehearsalPlan {
    Settings settings;
    GuidingState guiding;
    FrameFormat saveFormat;
    Optics optics;
    // The main window's entries, as typed.
    QString exposure, guide, frameCount, fileStem;
    bool guidingTicked = false;
    bool lineDoubling = false;
    // The sky and mount as the rehearsal assumes them.
    SkyMotion sky;
    SimMountOptions mount;
    SimCameraOptions camera; // its sensor's seeing is the assumed seeing
    // Guide frames rendered whole, not only where the guide step reads them:
    // the same findings, several times slower (for checking the quick way).
    bool wholeGuideFrames = false;
};

// One image frame as it came out of the rehearsal.
struct RehearsedFrame {
    int number = 0;        // from 1
    bool starSeen = false; // the guide star stood out where it was at mid-exposure
    double fwhmPx = 0;     // pixels
    double roundness = 0;  // narrowest over widest width, 1 for round
    GuideStats guide;      // the guide steps during the exposure
};

// From a dither to the moment the star had settled (or the settle timeout).
struct SettleSpan {
    uint32_t fromMs = 0, toMs = 0; // clock ms
    bool settled = false;          // false: the timeout ended it
    double seconds() const { return (toMs - fromMs) / 1000.0; }
};

struct RehearsalRun {
    std::vector<GuideStep> steps;
    std::vector<SettleSpan> settles;
    std::vector<RehearsedFrame> frames;
    QStringList refusals; // what the sequence refused at Start (entries that do not fit)
    QStringList notices;  // what it told without stopping
    uint32_t simulatedMs = 0; // from Start to the end of the sequence
    bool stopped = false;     // Stop ended it early
};

// Shared between the rehearsal and the window that watches it from another thread.
struct RehearsalProgress {
    std::atomic<uint32_t> simulatedMs{0}; // since Start
    std::atomic<uint32_t> expectedMs{1};  // the whole sequence, roughly
    std::atomic<bool> stop{false};        // asks the rehearsal to end as Stop would
};

// Milliseconds the plan's sequence should last on the clock; 0 when its entries do not read.
uint32_t expectedLengthMs(const RehearsalPlan &plan);

// Runs the plan's whole sequence; returns when it has ended. Safe on any thread:
// it builds and owns every part it uses.
RehearsalRun rehearse(const RehearsalPlan &plan, RehearsalProgress &progress);

} // namespace orvane
