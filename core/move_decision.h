#pragma once
// Which correction a measured drift asks for: at most one axis moves, the one
// with the larger drift, and only when that drift is more than the threshold.

#include <QString>

#include <cstdint>

namespace orvane {

inline constexpr double kMoveThresholdPx = 2; // a drift above this starts a correction

// The mount's direction texts for a star above, below, right and left of its mark.
struct DirectionTexts {
    QString up, down, left, right;
};

struct MoveDecision {
    int16_t dirX = 0;  // +1: the drift was positive; -1: negative; 0: the axis rests
    int16_t dirY = 0;
    QString direction; // the text to send; empty when nothing moves
    bool moves() const { return dirX != 0 || dirY != 0; }
};

// x wins when its drift is the strictly larger one, y on equal drifts.
MoveDecision decideMove(float driftX, float driftY, const DirectionTexts &texts,
                        double thresholdPx = kMoveThresholdPx);

} // namespace orvane
