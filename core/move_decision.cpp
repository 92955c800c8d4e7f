#include "move_decision.h"

#include <cmath>

namespace orvane {

MoveDecision decideMove(float driftX, float driftY, const DirectionTexts &texts, double thresholdPx)
{
    const float ax = std::fabs(driftX), ay = std::fabs(driftY);
    MoveDecision d;
    if (ax > thresholdPx && ay < ax) {
        d.dirX = driftX > 0 ? 1 : -1;
        d.direction = driftX > 0 ? texts.left : texts.right;
    } else if (ay > thresholdPx && ax <= ay) {
        d.dirY = driftY > 0 ? 1 : -1;
        d.direction = driftY > 0 ? texts.down : texts.up;
    }
    return d;
}

} // namespace orvane
