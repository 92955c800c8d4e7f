#include "rig_fixture.h"
#include "star_field.h"

using namespace orvane;
using orvane::test::RigTest;

namespace {

constexpr uint32_t kBright = 0xC8C8C8; // a grey pixel, colour number

class GuideStarTest : public RigTest {
protected:
    void SetUp() override
    {
        settings.GuideBoxSize = 20;
        state.StarX = 300;
        state.StarY = 200;
    }
    void light(int x, int y, uint32_t colour = kBright) { picture.setPixel(x, y, colour); }
    // Measure, then decide a move; returns what went over the link.
    QByteArray guideOnce()
    {
        opener.writes.clear();
        rig.MeasureGuideStar();
        rig.StartGuideMove();
        return opener.sent();
    }
};

} // namespace

TEST_F(GuideStarTest, ABoxWithoutAStarNeverDrivesTheMount)
{
    // Simulated guide frames: the field's guide star, a hot pixel, and the same sky under a cloud.
    const StarField field(1957, 60, 5);
    const SensorModel sensor;
    const QPointF star = field.guideStar();
    const HotPixel hot = field.hotPixels().front();
    struct Case {
        const char *what;
        double transparency;
        QPoint mark; // where the box is centred, pixels
        bool found;
    };
    const Case cases[] = {
        {"the guide star, four pixels off its mark", 1.0, QPoint(int(star.x()) + 4, int(star.y())), true},
        {"the guide star's place under a cloud", 0.0, QPoint(int(star.x()) + 4, int(star.y())), false},
        {"a hot pixel alone in the box", 1.0, QPoint(hot.x, hot.y), false},
        {"an all-black box", 1.0, QPoint(-100, -100), false},
    };
    settings.GuideBoxSize = 40;
    for (const Case &c : cases) {
        picture.setPicture(field.render({{QPointF(0, 0), 20.0, c.transparency}}, 20.0, sensor, 7));
        state.StarX = int16_t(c.mark.x());
        state.StarY = int16_t(c.mark.y());
        guiding.MoveDirX = 1; // a correction still running from the step before
        const QByteArray sent = guideOnce();
        EXPECT_EQ(guiding.StarFound, c.found) << c.what;
        if (c.found) {
            EXPECT_EQ(sent, QByteArray(kStopAll) + ":RG#:Mw#") << c.what;
            continue;
        }
        EXPECT_EQ(sent, kStopAll) << c.what; // the running correction ends, nothing new starts
        EXPECT_EQ(guiding.MoveDirX, 0) << c.what;
        EXPECT_EQ(guiding.MoveDirY, 0) << c.what;
        EXPECT_EQ(panel.dx, "-") << c.what;
        EXPECT_EQ(panel.dy, "-") << c.what;
    }
}

TEST_F(GuideStarTest, TheLeastSignalToNoiseComesFromTheGuidingState)
{
    const StarField field(1957, 60, 5);
    picture.setPicture(field.render({{QPointF(0, 0), 20.0}}, 20.0, SensorModel{}, 7));
    settings.GuideBoxSize = 40;
    state.StarX = int16_t(field.guideStar().x());
    state.StarY = int16_t(field.guideStar().y());
    rig.MeasureGuideStar();
    EXPECT_TRUE(guiding.StarFound);
    guiding.MinStarSnr = 1e6; // far above any star
    rig.MeasureGuideStar();
    EXPECT_FALSE(guiding.StarFound);
}

TEST_F(GuideStarTest, TheGuidingStateChoosesHowTheStarIsMeasured)
{
    EXPECT_EQ(guiding.Algorithm, findGuideAlgorithm("brightest-run"));
    EXPECT_EQ(findGuideAlgorithm("no such way"), nullptr);
    // Another way of measuring, chosen at run time, decides the move without any other change.
    static constexpr GuideAlgorithm seesDriftRight{
        "test", [](const PixelView &, double, double, int, double) {
            return StarMeasurement{.driftX = 10, .found = true};
        }};
    guiding.Algorithm = &seesDriftRight;
    EXPECT_EQ(guideOnce(), QByteArray(kStopAll) + ":RG#:Me#");
}

TEST_F(GuideStarTest, RunsRightAndLeftOfTheMarkGiveTheirCentres)
{
    for (int x = 301; x <= 306; ++x)
        light(x, 200);
    EXPECT_EQ(guideOnce(), QByteArray(kStopAll) + ":RG#:Me#");
    EXPECT_EQ(guiding.DriftX, 3);
    EXPECT_EQ(guiding.MoveDirX, 1);

    picture.setPicture(QImage()); // black again
    for (int x = 294; x <= 299; ++x)
        light(x, 200);
    EXPECT_EQ(guideOnce(), QByteArray(kStopAll) + ":RG#:Mw#");
    EXPECT_EQ(guiding.DriftX, -4);
    EXPECT_EQ(guiding.MoveDirX, -1);
}

TEST_F(GuideStarTest, TheDecidedMoveGoesToTheMountAndTheClockIsStamped)
{
    struct Case {
        float dx, dy;
        QByteArray sent;
        int16_t dirX, dirY;
    };
    const Case cases[] = {
        {3, -3, ":RG#:Mn#", 0, -1}, // the decision's own cases are in the core's tests
        {2, 2, "", 0, 0},
        {-7, 1, ":RG#:Mw#", -1, 0},
    };
    for (const Case &c : cases) {
        opener.writes.clear();
        guiding.DriftX = c.dx;
        guiding.DriftY = c.dy;
        clock.advance(7);
        rig.StartGuideMove();
        EXPECT_EQ(opener.sent(), QByteArray(kStopAll) + c.sent) << c.dx << "," << c.dy;
        EXPECT_EQ(guiding.MoveDirX, c.dirX);
        EXPECT_EQ(guiding.MoveDirY, c.dirY);
        EXPECT_EQ(guiding.MoveClock, clock.now()); // stamped whether or not a move was sent
    }
}

TEST_F(GuideStarTest, OddBoxSizesUseOnePixelRuleForSearchAndOutline)
{
    settings.GuideBoxSize = 21; // half = 10.5: edges at round-half-even of 289.5 and 310.5
    rig.DrawGuideBox();
    const uint32_t red = 255;
    EXPECT_EQ(picture.pixel(290, 200), red); // left edge: 289.5 -> 290
    EXPECT_EQ(picture.pixel(310, 200), red); // right edge: 310.5 -> 310
    EXPECT_EQ(picture.pixel(300, 190), red); // top: 189.5 -> 190
    EXPECT_EQ(picture.pixel(300, 210), red); // bottom: 210.5 -> 210
    EXPECT_EQ(picture.pixel(300, 200), 0u);
    // The box outline is drawn on the surface only, not in the current picture.
    EXPECT_EQ(colourNumber(picture.picture().pixel(290, 200)) , 0u);

    picture.setPicture(QImage());
    light(310, 200); // on the right edge: searched
    rig.MeasureGuideStar();
    EXPECT_EQ(guiding.DriftX, 7);
    picture.setPicture(QImage());
    light(290, 201); // on the left edge: never found, like the leftmost column of an even box
    rig.MeasureGuideStar();
    EXPECT_EQ(guiding.DriftX, -300);

    // A box partly off the picture is drawn where it lies on it.
    state.StarX = 2;
    state.StarY = 478;
    settings.GuideBoxSize = 30;
    rig.DrawGuideBox();
    EXPECT_EQ(picture.pixel(0, 463), red);
    EXPECT_EQ(picture.pixel(17, 479), red);
}
