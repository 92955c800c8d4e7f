// Which correction a drift asks for, without a rig.

#include "move_decision.h"

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(MoveDecisionTest, TheLargerDriftAboveTheThresholdMoves)
{
    const DirectionTexts texts{"n", "s", "e", "w"};
    struct Case {
        float dx, dy;
        int16_t dirX, dirY;
        const char *direction;
    };
    const Case cases[] = {
        {3, -3, 0, -1, "n"},    // equal sizes: the y axis, star above
        {3, 2.9f, 1, 0, "e"},
        {2, 2, 0, 0, ""},       // both thresholds are "more than 2"
        {2.0001f, 0, 1, 0, "e"},
        {0, -2, 0, 0, ""},
        {-1, 5, 0, 1, "s"},
        {-7, 1, -1, 0, "w"},
        {-7, -7.5f, 0, -1, "n"},
        {0, 0, 0, 0, ""},
    };
    for (const Case &c : cases) {
        const MoveDecision d = decideMove(c.dx, c.dy, texts);
        EXPECT_EQ(d.dirX, c.dirX) << c.dx << "," << c.dy;
        EXPECT_EQ(d.dirY, c.dirY) << c.dx << "," << c.dy;
        EXPECT_EQ(d.direction, QString::fromLatin1(c.direction)) << c.dx << "," << c.dy;
        EXPECT_EQ(d.moves(), c.dirX != 0 || c.dirY != 0);
    }
    EXPECT_EQ(decideMove(1.5f, 0, texts, 1.0).dirX, 1); // the threshold is the caller's
}

} // namespace
} // namespace orvane
