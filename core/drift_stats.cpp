#include "drift_stats.h"

#include "optics.h"

#include <algorithm>
#include <cmath>

namespace orvane {

void DriftStats::add(const GuideStep &step)
{
    if (step.settling) {
        ++settling_;
        return;
    }
    if (!step.starFound) {
        ++lost_;
        return;
    }
    ++measured_;
    sumDx2_ += step.dxPx * step.dxPx;
    sumDy2_ += step.dyPx * step.dyPx;
    peakPx_ = std::max(peakPx_, std::hypot(step.dxPx, step.dyPx));
}

double DriftStats::rmsXPx() const
{
    return measured_ > 0 ? std::sqrt(sumDx2_ / measured_) : 0;
}

double DriftStats::rmsYPx() const
{
    return measured_ > 0 ? std::sqrt(sumDy2_ / measured_) : 0;
}

double DriftStats::rmsTotalPx() const
{
    return measured_ > 0 ? std::sqrt((sumDx2_ + sumDy2_) / measured_) : 0;
}

QString driftFigures(const DriftStats &s, std::optional<double> arcsecPerPx)
{
    QString text = QStringLiteral("x %1, y %2, total %3; peak %4; %5 steps, %6 without the star")
                       .arg(pxAndArcsec(s.rmsXPx(), arcsecPerPx), pxAndArcsec(s.rmsYPx(), arcsecPerPx),
                            pxAndArcsec(s.rmsTotalPx(), arcsecPerPx), pxAndArcsec(s.peakPx(), arcsecPerPx))
                       .arg(s.steps())
                       .arg(s.lostSteps());
    if (s.settlingSteps() > 0)
        text += QStringLiteral("; %1 settling steps left out").arg(s.settlingSteps());
    return text;
}

} // namespace orvane
