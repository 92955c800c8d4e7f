// When a dithered star counts as settled: the tolerance, the settle time, the
// timeout, a lost star, and the time in place counted from a known move's end.
#include "settle_judge.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using namespace orvane;

namespace {

struct Frame {
    uint32_t atMs;
    std::optional<double> distancePx; // nothing: the star was lost
};

struct Case {
    const char *name;
    SettleRule rule;
    std::optional<uint32_t> knownMoveEndsMs;
    std::vector<Frame> frames;
    SettleVerdict verdict; // after the last frame
    size_t decidedAt;      // index of the frame that decided (the last)
};

const Case kCases[] = {
    {"two frames 2 s apart within 1.5 px", {1.5, 2, 60}, {}, {{2000, 1.4}, {4000, 0.3}}, SettleVerdict::Settled, 1},
    {"one frame outside starts the time again", {1.5, 2, 60}, {}, {{2000, 1.0}, {4000, 1.6}, {6000, 1.0}, {8000, 1.0}},
     SettleVerdict::Settled, 3},
    {"a lost star starts the time again", {1.5, 2, 60}, {}, {{2000, 1.0}, {4000, {}}, {6000, 1.0}, {8000, 1.0}},
     SettleVerdict::Settled, 3},
    {"settle time 0: the first frame near enough", {1.5, 0, 60}, {}, {{2000, 2.0}, {4000, 1.5}}, SettleVerdict::Settled, 1},
    {"never near enough: failed after the timeout", {0.5, 2, 5}, {}, {{2000, 1.0}, {4000, 1.0}, {6000, 1.0}},
     SettleVerdict::Failed, 2},
    {"a known move: in place from its end", {1.5, 2, 60}, 600, {{700, 0.2}, {2600, 0.4}}, SettleVerdict::Settled, 1},
    {"a known move that missed: from the first frame", {1.5, 2, 60}, 600, {{700, 3.0}, {2600, 0.4}, {4600, 0.4}},
     SettleVerdict::Settled, 2},
};

} // namespace

TEST(SettleJudge, SettlesOnTimeWithinTheToleranceAndFailsAtTheTimeout)
{
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        SettleJudge judge(c.rule, 0);
        if (c.knownMoveEndsMs)
            judge.expectInPlaceFrom(*c.knownMoveEndsMs);
        for (size_t i = 0; i < c.frames.size(); ++i) {
            const SettleVerdict v = judge.frame(c.frames[i].atMs, c.frames[i].distancePx);
            EXPECT_EQ(v, i == c.decidedAt ? c.verdict : SettleVerdict::Settling) << "frame " << i;
        }
    }
    // Without frames (guiding unticked) only the timeout ends it; the clock may wrap.
    SettleJudge waiting({1.5, 2, 10}, 0xFFFFF000u);
    EXPECT_EQ(waiting.noFrame(0xFFFFF000u + 9000), SettleVerdict::Settling);
    EXPECT_EQ(waiting.noFrame(0xFFFFF000u + 10001), SettleVerdict::Failed);
}
