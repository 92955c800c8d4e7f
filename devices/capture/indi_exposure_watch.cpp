#include "indi_exposure_watch.h"

#include "clock.h"

#include <algorithm>

namespace orvane {

void IndiExposureWatch::addHeld(int64_t ms)
{
    sinceCopyMs_ += ms;
    sinceImageMs_ += ms;
    sinceReadoutMs_ += ms;
}

void IndiExposureWatch::onWrite(const PortWrite &write)
{
    const bool nowExposing = write.value == settings_.ExposureState;
    if (exposing_ && !nowExposing)
        addHeld(std::max(0, elapsedMs(sinceMs_, write.atMs)));
    if (!exposing_ && nowExposing)
        sinceMs_ = write.atMs;
    exposing_ = nowExposing;
    if (write.value == settings_.GetImageState) {
        imageClosedMs_ = sinceImageMs_;
        sinceImageMs_ = sinceReadoutMs_ = 0;
        last_ = IndiReadout::Image;
    } else if (write.value == settings_.GetGuideState) {
        guideClosedMs_ = sinceReadoutMs_;
        sinceReadoutMs_ = 0;
        last_ = IndiReadout::Guide;
    }
}

double IndiExposureWatch::takeSeconds(uint32_t nowMs)
{
    int64_t ms = sinceCopyMs_;
    if (exposing_) {
        const int64_t running = std::max(0, elapsedMs(sinceMs_, nowMs));
        ms += running;
        sinceImageMs_ += running; // the other counts keep what this copy moved past
        sinceReadoutMs_ += running;
        sinceMs_ = nowMs;
    }
    sinceCopyMs_ = 0;
    return double(ms) / 1000.0;
}

} // namespace orvane
