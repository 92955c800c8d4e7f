#pragma once
// Running statistics of a guide run's drift: the root-mean-square of the
// measured dx and dy of the steps that found the star, their total, and the
// peak distance. Steps taken while the star settled after a dither are
// counted apart and left out of every figure: the star was sent away on purpose. Adding a step costs a few additions, so a window can keep
// them up to date every guide step.

#include "guide_events.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace orvane {

class DriftStats {
public:
    void add(const GuideStep &step);
    void clear() { *this = DriftStats{}; }

    int32_t steps() const { return measured_ + lost_; }
    int32_t measuredSteps() const { return measured_; } // steps with a star
    int32_t lostSteps() const { return lost_; }
    int32_t settlingSteps() const { return settling_; } // left out of steps() and the figures
    double rmsXPx() const;     // pixels; 0 before the first measured step
    double rmsYPx() const;     // pixels
    double rmsTotalPx() const; // pixels: sqrt(rmsX² + rmsY²)
    double peakPx() const { return peakPx_; } // the largest sqrt(dx² + dy²) of one step

private:
    int32_t measured_ = 0;
    int32_t lost_ = 0;
    int32_t settling_ = 0;
    double sumDx2_ = 0; // px²
    double sumDy2_ = 0; // px²
    double peakPx_ = 0;
};

// "x 0.52 px, y 0.41 px, total 0.66 px; peak 1.80 px; 120 steps, 2 without the star"
// (and "; 14 settling steps left out" when there were any): the figures as the
// guide graph and a rehearsal report print them. With the pixel scale known
// each figure has its arc-seconds beside it: "x 0.52 px (1.07″), ...".
QString driftFigures(const DriftStats &stats, std::optional<double> arcsecPerPx = std::nullopt);

} // namespace orvane
