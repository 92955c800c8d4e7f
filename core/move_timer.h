#pragma once
// The move timer of a running correction: the distance still to go on each axis
// counts down at the guide rate, and the move ends once that distance has fallen
// below 2 pixels or has started to grow. The x and y tests differ: y looks at
// the distance before the update, so a y move ends one update later.

#include <cstdint>
#include <optional>

namespace orvane {

// The axes an update ended; each asks for the mount's stop-all.
struct MoveStops {
    bool x = false;
    bool y = false;
    bool any() const { return x || y; }
};

struct MoveTimer {
    float driftX = 0;          // pixels still to correct
    float driftY = 0;          // pixels
    int16_t dirX = 0;          // 0 = no correction on the axis; +1 drift was positive; -1 otherwise
    int16_t dirY = 0;
    uint32_t lastUpdateMs = 0; // clock ms of the move start or the last update

    // Counts the running axes down to nowMs at pixPerSec (pixels per second) and
    // ends those that are done. Both distances are then stored (0 on an axis at
    // rest) and nowMs becomes the last update.
    MoveStops update(uint32_t nowMs, int32_t pixPerSec);
    // Clock ms at which an update next has something to decide; empty when no
    // axis runs or no update ever will (a rate of 0).
    std::optional<uint32_t> nextCheckMs(int32_t pixPerSec) const;
};

} // namespace orvane
