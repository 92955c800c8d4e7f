#pragma once
// The process-wide values of an imaging sequence and of guiding. One set lives
// for the whole program (owned by main); a test builds its own.

#include "frame_format.h"
#include "optics.h"
#include "calibration_record.h"
#include "dec_backlash.h"
#include "drift_tracker.h"
#include "guide_algorithm.h"
#include "guide_dark.h"
#include "guiding_settings.h"
#include "periodic_predictor.h"
#include "projected_moves.h"

#include <QPointF>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace orvane {

// The guide steps of one exposure, for the frame's FITS header.
struct GuideStats {
    int steps = 0;     // guide frames measured during the exposure
    int lostSteps = 0; // of them, those without a star in the box
    double sumSquaresXPx2 = 0, sumSquaresYPx2 = 0; // drift at the steps with a star, squared and summed
    double peakPx = 0; // the largest distance from the mark at a step with a star
    const char *algorithm = nullptr; // how the star was measured

    int foundSteps() const { return steps - lostSteps; }
    double rmsXPx() const { return foundSteps() > 0 ? std::sqrt(sumSquaresXPx2 / foundSteps()) : 0.0; }
    double rmsYPx() const { return foundSteps() > 0 ? std::sqrt(sumSquaresYPx2 / foundSteps()) : 0.0; }
    double rmsPx() const { return std::hypot(rmsXPx(), rmsYPx()); } // of the distance from the mark
};

// One exposure as the port bytes made it.
struct ExposureRecord {
    uint32_t startMs = 0; // clock ms of the ExposureState write that started it
    uint32_t endMs = 0;   // clock ms of the AmpOnState write that ended it
    GuideStats guide;
};

struct SequenceState {
    int16_t SequenceRunning = 0; // 1 from Start until the sequence ends or Stop is clicked
    int16_t FrameNumber = 0;     // 1-based number of the image frame being exposed
    int16_t GuideCount = 0;      // next guide step within the current exposure
    int16_t StarMarked = 0;      // set to 1 by a click on the picture
    int16_t StarX = 0;           // pixels, the marked guide star
    int16_t StarY = 0;           // pixels
    QString SaveDir;             // directory for saved frames
    FrameFormat SaveFormat;      // BMP, FITS or both; orvane.ini [save], [fits]
    ExposureRecord Exposing;     // the exposure integrating now
    ExposureRecord ReadOut;      // the exposure read out last, whose frame is saved
    Optics optics;               // orvane.ini [optics]: the pixel scales, when known
    bool readPointing = false;   // orvane.ini [serial] readPointing: ask an LX200 mount where it points
};

// The default least signal-to-noise ratio of a guide star (orvane.ini [guide]
// minStarSnr). On the simulated camera's guide frames the brightest run of pure
// noise in a 40-pixel box stays below about 5.5, while a star an eighth as bright
// as the guide star (peak 9 ADU over 1.5 ADU of noise) gives 7 to 9.
inline constexpr double kDefaultMinStarSnr = 6.0;

struct GuidingState {
    float DriftX = 0;       // pixels: measured offset, then the distance still to correct
    float DriftY = 0;       // pixels
    int16_t MoveDirX = 0;   // 0 = no correction on the axis; +1 drift was positive; -1 otherwise
    int16_t MoveDirY = 0;
    uint32_t MoveClock = 0; // clock ms of the last move start or update
    double StarSnr = 0;     // signal-to-noise ratio of the last measurement
    bool StarFound = true;  // the last measurement found a star in the box (not noise, not a hot pixel)
    double MinStarSnr = kDefaultMinStarSnr; // least signal-to-noise ratio of a star; orvane.ini [guide] minStarSnr
    const GuideAlgorithm *Algorithm = &kGuideAlgorithms[0]; // how the star in the box is measured
    GuidingSettings Options;                   // orvane.ini [guiding]: moves, pulses, dithering
    std::optional<CalibrationRecord> Axes;     // orvane.ini [calibration]; none: picture axes at PixPerSec
    double MarkDX = 0, MarkDY = 0;             // pixels: the star's own centre at marking, from the mark
    double LockDX = 0, LockDY = 0;             // pixels: where the star is held, from the mark (centre + dither)
    double StarPeak = 0;                       // grey levels of the star's brightest pixel above background, last step
    double StarMass = 0;                       // light of the star above background at the last step (0: not weighed)
    // The corrections the last step started. Two-axis ways: x is the
    // DirLeft/DirRight axis, y DirUp/DirDown, and MoveDirX/MoveDirY say which still
    // run, each for its ms from MoveClock. The box way fills one axis for the record.
    ProjectedMoves Planned;
    DriftTracker Tracker; // two-axis ways: the star's place through the seeing
    QPointF TrackedPx;    // pixels: the star's offset from its lock position as tracked at the last step
    bool KnownMoveRunning = false; // a dither's known move runs, timed per axis as the two-axis ways' moves
    std::vector<QPointF> OtherStars; // [guiding] guideStars > 1: the other stars, pixels from the lock position
    int StarsUsed = 0;               // stars the last step's drift came from
    // [guiding] predict: the mount's own error learned since the mark, on the
    // clock from PredictBaseMs, from the star's place less every correction sent.
    PeriodicPredictor Predictor;
    uint32_t PredictBaseMs = 0;      // clock ms of the mark
    QPointF CorrectedPx;             // pixels: the picture shift of every correction since the mark
    std::optional<uint32_t> LastStepMs; // clock ms of the last two-axis step with a star
    DecBacklash DecComp;             // [guiding] decBacklash: the Dec slack measured while guiding
    std::shared_ptr<const GuideDark> Dark; // Guide > Take guide darks: taken off each guide frame before measuring
    int32_t GuideExposureMs = 0;           // ms: the guide frames' exposure now (0: not known); Dark must match it
    std::pair<int32_t, int32_t> DarkMismatchTold{}; // the dark's and the guide exposure, ms, when last told they differ

    // Chooses the way of measuring by name; an unknown name keeps the current one.
    void chooseAlgorithm(const QString &name)
    {
        if (const GuideAlgorithm *way = findGuideAlgorithm(name))
            Algorithm = way;
    }
};

} // namespace orvane

namespace orvane {

// Adds the guide step just measured (drift and StarFound of `guiding`).
inline void addGuideStep(GuideStats &stats, const GuidingState &guiding)
{
    ++stats.steps;
    stats.algorithm = guiding.Algorithm ? guiding.Algorithm->name : nullptr;
    if (!guiding.StarFound) {
        ++stats.lostSteps;
        return;
    }
    stats.sumSquaresXPx2 += double(guiding.DriftX) * guiding.DriftX;
    stats.sumSquaresYPx2 += double(guiding.DriftY) * guiding.DriftY;
    stats.peakPx = std::max(stats.peakPx, std::hypot(double(guiding.DriftX), double(guiding.DriftY)));
}

} // namespace orvane
