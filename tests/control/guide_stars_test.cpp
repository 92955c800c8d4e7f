// Guiding on several stars: the marked one and the others chosen at the lock,
// combined at each step; the marked star's loss is survived and a star that
// moves alone (a satellite, a variable's neighbour) is left out.

#include "rig_fixture.h"

#include <cmath>

using namespace orvane;
using orvane::test::RigTest;

namespace {

// A dark frame with round stars (peak 120 grey levels, FWHM about 3 px) and a little noise.
QImage starsAt(const std::vector<QPointF> &stars)
{
    QImage frame(640, 480, QImage::Format_RGB32);
    uint32_t noise = 12345;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            double v = 10;
            for (const QPointF &s : stars) {
                const double d2 = (x - s.x()) * (x - s.x()) + (y - s.y()) * (y - s.y());
                if (d2 < 100)
                    v += 120 * std::exp(-d2 / (2 * 1.3 * 1.3));
            }
            noise = noise * 1103515245u + 12345u;
            v += double((noise >> 16) % 5) - 2;
            const int grey = std::clamp(int(std::lround(v)), 0, 255);
            frame.setPixel(x, y, qRgb(grey, grey, grey));
        }
    return frame;
}

class GuideStarsTest : public RigTest {
protected:
    const QPointF main{300.4, 200.3};
    const std::vector<QPointF> others{{150.2, 100.7}, {480.6, 380.1}, {500.3, 120.5}};

    void SetUp() override
    {
        settings.GuideBoxSize = 20;
        guiding.chooseAlgorithm("centroid");
        guiding.Options.guideStars = 4;
        state.StarX = 300;
        state.StarY = 200;
        std::vector<QPointF> all{main};
        all.insert(all.end(), others.begin(), others.end());
        picture.setPicture(starsAt(all));
        rig.lockOnMark();
    }
    // The other stars moved by `shift`; the main star by `mainShift`, or gone.
    void frame(QPointF shift, std::optional<QPointF> mainShift)
    {
        std::vector<QPointF> stars;
        if (mainShift)
            stars.push_back(main + *mainShift);
        for (const QPointF &o : others)
            stars.push_back(o + shift);
        picture.setPicture(starsAt(stars));
        rig.MeasureGuideStar();
    }
};

} // namespace

TEST_F(GuideStarsTest, TheMainStarsLossIsSurvivedWhileOthersRemain)
{
    ASSERT_EQ(guiding.OtherStars.size(), 3u);
    frame({1.2, -0.6}, std::nullopt);
    EXPECT_TRUE(guiding.StarFound);
    EXPECT_EQ(guiding.StarsUsed, 3);
    EXPECT_NEAR(guiding.DriftX, 1.2, 0.1);
    EXPECT_NEAR(guiding.DriftY, -0.6, 0.1);

    picture.setPicture(starsAt({})); // a cloud: every star gone
    rig.MeasureGuideStar();
    EXPECT_FALSE(guiding.StarFound);
    EXPECT_EQ(guiding.StarsUsed, 0);
}

TEST_F(GuideStarsTest, AStarThatMovesAloneIsLeftOut)
{
    // One of the others is a satellite: it moves 3 px while the sky moves 0.5 px.
    std::vector<QPointF> stars{main + QPointF(0.5, 0.5), others[0] + QPointF(0.5, 0.5),
                               others[1] + QPointF(3.5, 0.5), others[2] + QPointF(0.5, 0.5)};
    picture.setPicture(starsAt(stars));
    rig.MeasureGuideStar();
    EXPECT_TRUE(guiding.StarFound);
    EXPECT_EQ(guiding.StarsUsed, 3);
    EXPECT_NEAR(guiding.DriftX, 0.5, 0.1);
    EXPECT_NEAR(guiding.DriftY, 0.5, 0.1);

    // With one star asked for, the others are never looked at.
    guiding.Options.guideStars = 1;
    rig.lockOnMark();
    EXPECT_TRUE(guiding.OtherStars.empty());
}
