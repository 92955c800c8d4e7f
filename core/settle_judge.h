#pragma once
// Whether the guide star has settled on its new place after a dither, judged
// the way astronomers' guiders judge it: settled once the star's place has
// stayed within a tolerance of the lock position for a settle time, failed
// once a timeout has passed without that. Each guide frame is a sample of the
// star's place at the moment it is read out, so the time in place runs from
// the first frame within the tolerance to the latest one; a frame outside it,
// or a frame without the star, starts that time again. After a known move (a
// dither sent as timed moves from the calibration) the star is where the move
// left it from the move's end: a first frame that finds it there counts the
// time in place from that end.

#include <cstdint>
#include <optional>

namespace orvane {

struct SettleRule {
    double tolerancePx = 1.5; // pixels from the lock position
    double timeS = 2;         // seconds the star stays within the tolerance
    double timeoutS = 60;     // seconds from the dither after which settling has failed
};

enum class SettleVerdict { Settling, Settled, Failed };

class SettleJudge {
public:
    SettleJudge(const SettleRule &rule, uint32_t startMs) : rule_(rule), startMs_(startMs) {}

    // One guide frame read out at `atMs`: the star's distance from the lock
    // position (pixels), or nothing when the star was not found in it.
    SettleVerdict frame(uint32_t atMs, std::optional<double> distancePx);
    // The star is expected in place from `atMs` on (the end of a known move).
    void expectInPlaceFrom(uint32_t atMs) { expectedFromMs_ = atMs; }
    // No frame came (guiding unticked, no picture) by `atMs`: only the timeout counts.
    SettleVerdict noFrame(uint32_t atMs);
    // Milliseconds since the dither at the last frame or check.
    int64_t elapsedMs() const { return lastMs_; }

private:
    bool timedOut(uint32_t atMs);

    SettleRule rule_;
    uint32_t startMs_;
    std::optional<uint32_t> inPlaceSinceMs_;
    std::optional<uint32_t> expectedFromMs_; // until the first frame after a known move
    int64_t lastMs_ = 0;
};

} // namespace orvane
