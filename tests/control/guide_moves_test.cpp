// The move timer and the serviced wait on a simulated clock and pump.

#include "rig_fixture.h"

#include <limits>

namespace orvane::test {
namespace {

const QByteArray kStop(kStopAll);

class MoveTimerTest : public RigTest {
protected:
    void startX(float drift, int32_t pixPerSec)
    {
        settings.PixPerSec = pixPerSec;
        guiding.DriftX = drift;
        guiding.MoveDirX = drift > 0 ? 1 : -1;
        guiding.MoveClock = clock.now();
    }
    void startY(float drift, int32_t pixPerSec)
    {
        settings.PixPerSec = pixPerSec;
        guiding.DriftY = drift;
        guiding.MoveDirY = drift > 0 ? 1 : -1;
        guiding.MoveClock = clock.now();
    }
    // Advances the clock by stepMs and updates; returns the stored distance.
    float stepX(uint32_t stepMs)
    {
        clock.advance(stepMs);
        rig.UpdateGuideMoves();
        return guiding.DriftX;
    }
    float stepY(uint32_t stepMs)
    {
        clock.advance(stepMs);
        rig.UpdateGuideMoves();
        return guiding.DriftY;
    }
};

// The timer's own cases are in the core's tests; here the rig runs it on its
// guiding state and sends stop-all for each axis an update ends.
TEST_F(MoveTimerTest, TheRigRunsTheTimerOnItsGuidingState)
{
    startX(5, 10);
    EXPECT_EQ(elapsedMs(guiding.MoveClock, *rig.nextMoveCheckMs()), 301);
    EXPECT_FLOAT_EQ(stepX(100), 4);
    EXPECT_EQ(guiding.MoveClock, clock.now());
    EXPECT_TRUE(opener.writes.isEmpty());
    EXPECT_FLOAT_EQ(stepX(250), 1.5);
    EXPECT_EQ(guiding.MoveDirX, 0);
    EXPECT_EQ(opener.writes, QByteArrayList{kStop});

    opener.writes.clear();
    startX(3, 10);
    startY(-3, 10);
    stepY(700); // both distances grew
    EXPECT_FLOAT_EQ(guiding.DriftX, -4);
    EXPECT_EQ(guiding.MoveDirX, 0);
    EXPECT_EQ(guiding.MoveDirY, 0);
    EXPECT_EQ(opener.writes, (QByteArrayList{kStop, kStop}));
}

TEST_F(MoveTimerTest, WithoutAMoveBothDriftsAreClearedAndTheClockStamped)
{
    guiding.DriftX = 7;
    guiding.DriftY = -3;
    clock.advance(123);
    rig.UpdateGuideMoves();
    EXPECT_EQ(guiding.DriftX, 0);
    EXPECT_EQ(guiding.DriftY, 0);
    EXPECT_EQ(guiding.MoveClock, clock.now());
    EXPECT_FALSE(rig.nextMoveCheckMs());
    EXPECT_TRUE(opener.writes.isEmpty());
}

TEST_F(RigTest, MountCommandsGoOutAsOneWriteEach)
{
    rig.sendStopAll();
    rig.sendGuideMove(settings.DirLeft);
    rig.sendGuideMove(QStringLiteral("n"));
    EXPECT_EQ(opener.writes, (QByteArrayList{":Qn#:Qs#:Qe#:Qw#", ":RG#:Me#", ":RG#:Mn#"}));
}

class ServicedWaitTest : public MoveTimerTest {};

TEST_F(ServicedWaitTest, ZeroOrNegativeDelayReturnsWithoutAnyPass)
{
    panel.guiding = true;
    startX(5, 10);
    const uint32_t t = clock.now();
    rig.ServicedWait(t, 0);
    rig.ServicedWait(t, -5);
    rig.ServicedWait(t - 100, 50); // deadline already past
    EXPECT_EQ(pump.passes(), 0);
    EXPECT_EQ(guiding.MoveClock, t); // no move update either
    EXPECT_EQ(clock.now(), t);
}

TEST_F(ServicedWaitTest, EndsAtTheDeadlineAndSleepsMeanwhile)
{
    const uint32_t t = clock.now();
    rig.ServicedWait(t, 2500);
    EXPECT_EQ(clock.now(), t + 2500);
    EXPECT_LE(pump.passes(), 2);
    EXPECT_EQ(pump.sleeps(), 1);
}

TEST_F(ServicedWaitTest, EndsAfterExactlyItsDelayAcrossTheWrapPoints)
{
    for (uint32_t start : {0x7FFFFFFFu - 10, 0x7FFFFFFFu, 0xFFFFFFFFu - 10, 0xFFFFFFFFu}) {
        for (int32_t delay : {1, 20, 100000, std::numeric_limits<int32_t>::max()}) {
            SCOPED_TRACE(testing::Message() << "start " << start << " delay " << delay);
            clock.set(start);
            pump.setPassCostMs(0);
            rig.ServicedWait(start, delay);
            EXPECT_EQ(clock.now() - start, uint32_t(delay));
        }
    }
}

TEST_F(ServicedWaitTest, SlowPassesStillEndAtTheFirstPassPastTheDeadline)
{
    clock.set(0xFFFFFFFFu - 5);
    const uint32_t start = clock.now();
    pump.setPassCostMs(7);
    pump.afterPasses(0, [] {}); // a pending event: passes run without sleeping
    rig.ServicedWait(start, 20);
    EXPECT_GE(elapsedMs(start, clock.now()), 20);
    EXPECT_LT(elapsedMs(start, clock.now()), 20 + 7 + 1);
}

TEST_F(ServicedWaitTest, RunsScriptedEventsDuringTheWait)
{
    const uint32_t t = clock.now();
    bool clicked = false;
    pump.at(t + 400, [&] { clicked = true; });
    rig.ServicedWait(t, 1000);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(clock.now(), t + 1000);
}

TEST_F(ServicedWaitTest, WakesForTheMoveTimerAndStopsTheMoveOnTime)
{
    panel.guiding = true;
    startX(5, 10);
    const uint32_t t = clock.now();
    rig.ServicedWait(t, 2000);
    EXPECT_EQ(guiding.MoveDirX, 0);
    EXPECT_EQ(opener.writes, QByteArrayList{kStop});
    EXPECT_EQ(clock.now(), t + 2000);
    EXPECT_EQ(guiding.MoveClock, t + 2000); // updated on the last pass too
    EXPECT_LE(pump.passes(), 4);
}

TEST_F(ServicedWaitTest, StopsTheMoveAtItsDueTime)
{
    panel.guiding = true;
    startY(6, 7);
    const auto due = rig.nextMoveCheckMs();
    ASSERT_TRUE(due);
    std::optional<uint32_t> stoppedAt;
    opener.onWrite = [&](const QByteArray &) { stoppedAt = clock.now(); };
    rig.ServicedWait(clock.now(), 5000);
    // One wake stores the short distance, the pass straight after stops it.
    ASSERT_TRUE(stoppedAt);
    EXPECT_EQ(*stoppedAt, *due);
    EXPECT_LE(pump.passes(), 4);
}

TEST_F(ServicedWaitTest, UntickedGuidingNeverRunsTheMoveTimer)
{
    panel.guiding = false;
    startX(5, 10);
    const uint32_t t = clock.now();
    pump.setPassCostMs(50);
    pump.afterPasses(0, [] {});
    rig.ServicedWait(t, 1000);
    EXPECT_EQ(guiding.MoveDirX, 1);
    EXPECT_EQ(guiding.MoveClock, t);
    EXPECT_FLOAT_EQ(guiding.DriftX, 5);
    EXPECT_TRUE(opener.writes.isEmpty());
}

TEST_F(ServicedWaitTest, TickingGuidingMidWaitTakesEffectAtOnce)
{
    startX(5, 10);
    const uint32_t t = clock.now();
    pump.at(t + 100, [&] { panel.guiding = true; });
    rig.ServicedWait(t, 1000);
    EXPECT_EQ(guiding.MoveDirX, 0);
    EXPECT_EQ(opener.writes.size(), 1);
}

TEST_F(ServicedWaitTest, StopOnAClosedLinkIsDroppedAndReportedOnce)
{
    (void)comm.setPortOpen(false);
    panel.guiding = true;
    startX(5, 10);
    rig.ServicedWait(clock.now(), 1000);
    startY(5, 10);
    rig.ServicedWait(clock.now(), 2000);
    EXPECT_EQ(guiding.MoveDirX, 0);
    EXPECT_EQ(guiding.MoveDirY, 0);
    EXPECT_TRUE(opener.writes.isEmpty());
    ASSERT_EQ(panel.notices.size(), 1);
    EXPECT_TRUE(panel.notices.first().contains(QStringLiteral("closed")));
}

} // namespace
} // namespace orvane::test
