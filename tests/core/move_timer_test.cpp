// The move timer as a value, on plain millisecond counts.

#include "move_timer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace orvane {
namespace {

MoveTimer started(char axis, float drift, uint32_t atMs = 1000)
{
    MoveTimer t;
    (axis == 'x' ? t.driftX : t.driftY) = drift;
    (axis == 'x' ? t.dirX : t.dirY) = drift > 0 ? 1 : -1;
    t.lastUpdateMs = atMs;
    return t;
}

TEST(MoveTimerTest, RunsUntilTheDistanceIsCoveredOrGrows)
{
    struct Case {
        const char *what;
        char axis;
        float drift;          // pixels
        int32_t pixPerSec;
        std::vector<uint32_t> stepsMs; // one update after each
        std::vector<float> left; // distance stored after each update
        int stopsAt;          // 1-based update that ends the move; 0: none does
    };
    const Case cases[] = {
        {"x stops at the update that yields 1 px", 'x', 5, 10, {100, 100, 100, 100, 100}, {4, 3, 2, 1, 0}, 4},
        {"y stops one update later", 'y', 5, 10, {100, 100, 100, 100, 100}, {4, 3, 2, 1, 0}, 5},
        {"a negative drift counts up", 'x', -5, 10, {250, 100}, {-2.5f, -1.5f}, 2},
        {"x overshoot that grows stops", 'x', 3, 10, {700}, {-4}, 1},
        {"x overshoot below 2 px stops", 'x', 3, 10, {450}, {-1.5f}, 1},
        {"y overshoot below 2 px stops next time", 'y', 3, 10, {450, 1}, {-1.5f, -1.51f}, 2},
        {"y overshoot that grows stops at once", 'y', 3, 10, {700}, {-4}, 1},
        {"updates in one millisecond go on", 'x', 2.5f, 10, {0, 0}, {2.5f, 2.5f}, 0},
        {"y at exactly 2 px goes on", 'y', -2, 10, {0}, {-2}, 0},
        {"a zero rate never ends", 'x', 5, 0, {1000, 1000, 1000}, {5, 5, 5}, 0},
        {"a negative rate ends at the first growth", 'x', 5, -10, {1}, {5.01f}, 1},
    };
    for (const Case &c : cases) {
        MoveTimer t = started(c.axis, c.drift);
        uint32_t now = t.lastUpdateMs;
        int stoppedAt = 0;
        for (size_t i = 0; i < c.stepsMs.size(); ++i) {
            now += c.stepsMs[i];
            const MoveStops stops = t.update(now, c.pixPerSec);
            EXPECT_EQ(stops.x, c.axis == 'x' && int(i) + 1 == c.stopsAt) << c.what << ", update " << i + 1;
            EXPECT_EQ(stops.y, c.axis == 'y' && int(i) + 1 == c.stopsAt) << c.what << ", update " << i + 1;
            if (stops.any())
                stoppedAt = int(i) + 1;
            EXPECT_FLOAT_EQ(c.axis == 'x' ? t.driftX : t.driftY, c.left[i]) << c.what << ", update " << i + 1;
            EXPECT_EQ(c.axis == 'x' ? t.driftY : t.driftX, 0) << c.what; // the resting axis is cleared
            EXPECT_EQ(t.lastUpdateMs, now) << c.what;
        }
        EXPECT_EQ(stoppedAt, c.stopsAt) << c.what;
        EXPECT_EQ(t.dirX != 0 || t.dirY != 0, c.stopsAt == 0) << c.what;
    }
}

TEST(MoveTimerTest, CountsAcrossTheClockWrap)
{
    MoveTimer t = started('x', 5, 0xFFFFFFFFu - 50);
    t.update(0xFFFFFFFFu + 50, 10); // wrapped past 2^32
    EXPECT_FLOAT_EQ(t.driftX, 4);
    t.lastUpdateMs = 0x7FFFFFFFu - 50;
    t.update(0x7FFFFFFFu + 50, 10); // and past 2^31
    EXPECT_FLOAT_EQ(t.driftX, 3);
    EXPECT_EQ(t.dirX, 1);
}

TEST(MoveTimerTest, NextCheckIsTheFirstUpdateThatDecides)
{
    struct Case {
        char axis;
        float drift;
        int32_t pixPerSec;
        int64_t dueAfterMs; // -1: no update ever decides
    };
    const Case cases[] = {
        {'x', 5, 10, 301}, // 1 px per 100 ms: below 2 px just after 300 ms
        {'y', -5, 10, 301},
        {'x', 5, 0, -1},
        {'x', 5, -10, 1},
        {'x', 1.5f, 10, 0},
    };
    for (const Case &c : cases) {
        const auto due = started(c.axis, c.drift).nextCheckMs(c.pixPerSec);
        EXPECT_EQ(due.has_value(), c.dueAfterMs >= 0) << c.axis << c.drift;
        if (due) {
            EXPECT_EQ(*due - 1000, c.dueAfterMs) << c.axis << c.drift;
        }
    }
    EXPECT_FALSE(MoveTimer{}.nextCheckMs(10)); // nothing runs

    // y: the update at the due time stores the short distance and is due again at once.
    MoveTimer y = started('y', -5);
    const uint32_t due = *y.nextCheckMs(10);
    EXPECT_FALSE(y.update(due, 10).any());
    EXPECT_EQ(y.nextCheckMs(10), due);
    EXPECT_TRUE(y.update(due, 10).y);
}

TEST(MoveTimerTest, NextCheckIsExactForUnevenRates)
{
    for (char axis : {'x', 'y'}) {
        for (int32_t rate : {1, 3, 7, 13, 999}) {
            for (float drift : {2.0f, 2.3f, 5.0f, -9.7f, 41.25f, 333.3f}) {
                SCOPED_TRACE(testing::Message() << axis << " rate " << rate << " drift " << drift);
                const MoveTimer start = started(axis, drift);
                const auto due = start.nextCheckMs(rate);
                ASSERT_TRUE(due);
                if (*due != start.lastUpdateMs) {
                    MoveTimer early = start;
                    EXPECT_FALSE(early.update(*due - 1, rate).any()) << "stopped before the due time";
                    if (axis == 'y') {
                        EXPECT_GE(std::fabs(early.driftY), 2.0f) << "a short distance stored before the due time";
                    }
                }
                MoveTimer onTime = start;
                const MoveStops stops = onTime.update(*due, rate);
                EXPECT_TRUE(axis == 'x' ? stops.x : (stops.y || std::fabs(onTime.driftY) < 2.0f))
                    << "nothing decided at the due time";
            }
        }
    }
}

} // namespace
} // namespace orvane
