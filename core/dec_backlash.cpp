#include "dec_backlash.h"

#include <algorithm>
#include <cmath>

namespace orvane {

int32_t DecBacklash::extraMs(int dir, double movePx, int32_t ms, double placePx, double aheadPx, double ratePxPerSec)
{
    if (checking_ && ratePxPerSec > 0) {
        checking_ = false;
        const double lostPx = (placePx - expectedPx_) * checkDir_; // > 0: short of the place, < 0: past it
        if (lostPx > kSettledPx) {
            overshoots_ = 0;
            if (lostPx >= kWholeShare * std::fabs(movedPx_)) // all swallowed: the slack is longer still
                sizeMs_ = std::max(2 * sizeMs_, sizeMs_ + double(movedMs_));
            else
                sizeMs_ += lostPx / ratePxPerSec * 1000.0;
            sizeMs_ = std::min(sizeMs_, kMostMs);
        } else if (lostPx < -kSettledPx) {
            sizeMs_ = std::max(0.0, sizeMs_ + lostPx / ratePxPerSec * 1000.0);
            if (++overshoots_ >= kOvershootsToGiveUp) {
                gaveUp_ = true;
                sizeMs_ = 0;
            }
        }
    }
    if (dir == 0)
        return 0;
    const bool reverses = lastDir_ != 0 && dir != lastDir_;
    lastDir_ = dir;
    if (!reverses || gaveUp_)
        return 0;
    const int32_t extra = int32_t(std::lround(sizeMs_));
    checking_ = true;
    checkDir_ = movePx >= 0 ? 1 : -1;
    expectedPx_ = placePx - (movePx - aheadPx);
    movedPx_ = movePx;
    movedMs_ = ms + extra;
    return extra;
}

} // namespace orvane
