#pragma once
// The process-wide values of an imaging sequence and of guiding. One set lives
// for the whole program (owned by main); a test builds its own.

#include "guide_algorithm.h"

#include <QString>

#include <cstdint>

namespace orvane {

struct SequenceState {
    int16_t SequenceRunning = 0; // 1 from Start until the sequence ends or Stop is clicked
    int16_t FrameNumber = 0;     // 1-based number of the image frame being exposed
    int16_t GuideCount = 0;      // next guide step within the current exposure
    int16_t StarMarked = 0;      // set to 1 by a click on the picture
    int16_t StarX = 0;           // pixels, the marked guide star
    int16_t StarY = 0;           // pixels
    QString SaveDir;             // directory for saved frames
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
    bool StarFound = true;  // the last measurement found a star in the box (not noise, not a hot pixel)
    double MinStarSnr = kDefaultMinStarSnr; // least signal-to-noise ratio of a star; orvane.ini [guide] minStarSnr
    const GuideAlgorithm *Algorithm = &kGuideAlgorithms[0]; // how the star in the box is measured
};

} // namespace orvane
