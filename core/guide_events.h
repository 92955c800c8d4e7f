#pragma once
// What a guided run tells those who follow it (the guide log, the guide graph):
// each guide step as it was measured and corrected, and the events between.

#include <QString>

#include <cstdint>

namespace orvane {

struct GuideStep {
    uint32_t timeMs = 0;     // clock ms of the measurement
    int16_t frameNumber = 0; // image frame being exposed, from 1
    double dxPx = 0;         // pixels: star minus mark, as measured
    double dyPx = 0;         // pixels
    bool starFound = false;  // false: nothing was measured and nothing moved
    double snr = 0;          // the star's signal-to-noise ratio (0 when lost)
    int16_t dirX = 0;        // the correction started: +1/-1 on the axis that moves, 0 at rest
    int16_t dirY = 0;
    QString direction;       // the mount's direction text sent, empty when nothing moved
    double moveMs = 0;       // ms the correction is planned to last: distance / guide rate
    // Both axes' corrections: x the DirLeft/DirRight axis, y DirUp/DirDown. A
    // one-axis step fills one of them, the same as direction and moveMs above.
    QString directionX, directionY; // empty where the axis rests
    double moveXMs = 0, moveYMs = 0;
    double guideXPx = 0, guideYPx = 0; // pixels the moves are to bring the star back along their axes
    double starMass = 0;               // the star's light above background (0: not weighed)
    double starPeak = 0;               // grey levels of its brightest pixel above background (0 when lost)
    bool settling = false;             // taken while the star settled after a dither: left out of RMS figures
    int16_t stars = 0;                 // guide stars the drift came from (0: not told)

    // This step with the per-axis fields filled from direction and moveMs where
    // only those were given (a one-axis step told the old way).
    GuideStep withAxesFilled() const
    {
        GuideStep s = *this;
        if (s.directionX.isEmpty() && s.directionY.isEmpty() && !s.direction.isEmpty()) {
            if (s.dirX != 0) {
                s.directionX = s.direction;
                s.moveXMs = s.moveMs;
                s.guideXPx = s.dxPx;
            } else if (s.dirY != 0) {
                s.directionY = s.direction;
                s.moveYMs = s.moveMs;
                s.guideYPx = s.dyPx;
            }
        }
        return s;
    }
};

enum class GuideEvent {
    GuidingBegins, // the star is marked and exposures start
    GuidingEnds,   // the run ended (Stop, the last frame, a fault)
    StarLost,      // the first step of a run of steps without a star
    StarFound,     // the first step with a star again
    GuidingOff,    // the guide tick was cleared during a run
    GuidingOn,     // and ticked again
    StarMarked,    // a new mark (text: "x, y")
    FrameSaved,    // text: the file's name
    Dither,        // the lock position was shifted; text: ditherText(...)
    SettlingBegins,   // guiding waits for the star to settle on its new lock position
    SettlingComplete, // it did
    SettlingFailed,   // it did not within the time limit; the next exposure starts all the same
};

class GuideObserver {
public:
    virtual ~GuideObserver() = default;
    virtual void guideStep(const GuideStep &step) = 0;
    virtual void guideEvent(GuideEvent event, uint32_t timeMs, const QString &text) = 0;
};

} // namespace orvane
