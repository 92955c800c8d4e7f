// Choosing the guide star over fields of synthetic stars, hot pixels and noise.

#include "star_choice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace orvane {
namespace {

constexpr int kW = 240, kH = 180;

// A grey 8-bit sky with read noise, Gaussian stars (sigma 1.1 px, the simulated
// seeing) and lone hot pixels.
struct Field {
    std::vector<double> level = std::vector<double>(size_t(kW * kH), 20.0);
    std::vector<uint32_t> words;

    Field &star(double cx, double cy, double peak, double sigmaX = 1.1, double sigmaY = 1.1)
    {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                level[size_t(y * kW + x)] += peak * std::exp(-(x - cx) * (x - cx) / (2 * sigmaX * sigmaX) -
                                                             (y - cy) * (y - cy) / (2 * sigmaY * sigmaY));
        return *this;
    }
    Field &hot(int x, int y, double value)
    {
        level[size_t(y * kW + x)] = value;
        return *this;
    }
    PixelView view()
    {
        std::mt19937 random(7);
        std::normal_distribution<double> noise(0, 1.5);
        words.clear();
        for (double v : level) {
            const auto g = uint32_t(std::clamp(std::lround(v + noise(random)), 0L, 255L));
            words.push_back(0xFF000000u | g * 0x010101u);
        }
        return {words.data(), kW, kH, kW};
    }
};

TEST(StarChoice, PassesOverEveryKindOfBadSpotToTheStarThatGuides)
{
    struct Case {
        const char *field;
        Field sky;
        double x, y; // where the chosen star stands
    };
    const Field faint = Field().star(150.3, 120.6, 60);
    Case cases[] = {
        {"a hot pixel brighter than every star", Field(faint).hot(100, 90, 250).hot(60, 60, 200), 150.3, 120.6},
        {"a saturated star", Field(faint).star(90, 80, 600), 150.3, 120.6},
        {"a bright star at the edge", Field(faint).star(8, 90, 150), 150.3, 120.6},
        {"a bright close pair", Field(faint).star(80, 70, 150).star(88, 74, 120), 150.3, 120.6},
        {"a brighter trailed star", Field(faint).star(80, 70, 150, 4.0, 1.1), 150.3, 120.6},
        {"two good stars", Field(faint).star(70.2, 60.8, 120), 70.2, 60.8},
    };
    for (Case &c : cases) {
        const StarChoice choice = chooseGuideStar(c.sky.view());
        ASSERT_TRUE(choice.found) << c.field << ": " << choice.reason.toStdString();
        EXPECT_NEAR(choice.x, c.x, 0.2) << c.field;
        EXPECT_NEAR(choice.y, c.y, 0.2) << c.field;
        EXPECT_GE(choice.snr, 12) << c.field;
        EXPECT_TRUE(choice.reason.isEmpty()) << c.field;
    }
}

TEST(StarChoice, SaysWhyNoStarQualifies)
{
    struct Case {
        const char *field;
        Field sky;
        const char *reason;
    };
    Case cases[] = {
        {"an empty field", Field(),
         "No star stands out of the noise anywhere in the picture: check the focus and that the camera sees the "
         "sky, or lengthen \"Guide sec\"."},
        {"hot pixels, a clipped star and one at the edge",
         Field().hot(100, 90, 250).hot(60, 60, 200).star(90, 120, 600).star(230, 90, 100),
         "No star here suits guiding: of the spots that stand out, 2 are lone hot pixels, 1 is saturated, 1 is too "
         "near the edge. Move to another field, or mark a star by clicking it."},
        {"a close pair alone", Field().star(80, 70, 150).star(88, 74, 120),
         "No star here suits guiding: of the spots that stand out, 2 have a bright neighbour in their guide box. "
         "Move to another field, or mark a star by clicking it."},
    };
    for (Case &c : cases) {
        const StarChoice choice = chooseGuideStar(c.sky.view());
        EXPECT_FALSE(choice.found) << c.field;
        EXPECT_EQ(choice.reason.toStdString(), c.reason) << c.field;
    }
    EXPECT_FALSE(chooseGuideStar(PixelView{}).found);
}

} // namespace
} // namespace orvane
