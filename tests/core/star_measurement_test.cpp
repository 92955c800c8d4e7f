// The guide-star search on small pictures in memory, without a rig.

#include "star_measurement.h"
#include "star_profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace orvane {
namespace {

constexpr int kAny = -999; // the run's place is not checked

// A grey picture stored as 0xAARRGGBB words with two words of padding after
// each row, so a search that ignored the stride would read the padding.
struct TestPicture {
    static constexpr int kPad = 2;
    int width, height;
    std::vector<uint32_t> words;
    TestPicture(int w, int h) : width(w), height(h), words(size_t((w + kPad) * h), 0xFF000000u)
    {
        for (int y = 0; y < h; ++y)
            for (int p = 0; p < kPad; ++p)
                words[size_t(y * (w + kPad) + w + p)] = 0xFFFFFFFFu;
    }
    void set(int x, int y, int grey) { words[size_t(y * (width + kPad) + x)] = 0xFF000000u | uint32_t(grey) * 0x010101u; }
    void fill(int grey)
    {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                set(x, y, grey);
    }
    void noise(int from, int to, unsigned seed)
    {
        std::mt19937 random(seed);
        std::uniform_int_distribution<int> level(from, to);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                set(x, y, level(random));
    }
    // A star three pixels across: 200 at its centre, 120 beside it, 60 on the diagonals.
    void star(int x, int y)
    {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                set(x + dx, y + dy, dx == 0 && dy == 0 ? 200 : dx == 0 || dy == 0 ? 120 : 60);
    }
    PixelView view() const { return {words.data(), width, height, width + kPad}; }
};

TEST(PixelViewTest, ReadsColourNumbersAndBlackOutside)
{
    const uint32_t words[] = {0xFF112233u, 0xFF000001u, 0xDEADBEEFu, 0x00ABCDEFu};
    const PixelView view{words, 1, 2, 3};
    EXPECT_EQ(view.pixel(0, 0), 0x332211u); // red is the low byte
    EXPECT_EQ(view.pixel(0, 1), 0xEFCDABu); // the next row starts a stride further on
    for (auto [x, y] : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 2}})
        EXPECT_EQ(view.pixel(x, y), 0u) << x << "," << y;
}

TEST(StarMeasurementTest, FindsStarsAndRefusesWhatIsNone)
{
    struct Case {
        const char *what;
        std::function<void(TestPicture &)> paint;
        int markX, markY, box;
        bool found;
        int runX = kAny, runY = kAny;
        bool onePixelPeak = false;
        double minSnr = 6;
    };
    const Case cases[] = {
        // Equal runs ending at x = 31..34 hold the whole star; the first wins, centre 28.
        {"a star on a flat sky", [](TestPicture &p) { p.fill(10); p.star(30, 20); }, 32, 22, 20, true, 28, 20},
        {"the same star below the least snr asked for", [](TestPicture &p) { p.fill(10); p.star(30, 20); },
         32, 22, 20, false, 28, 20, false, 1e9},
        {"a star on noise", [](TestPicture &p) { p.noise(5, 15, 7); p.star(30, 20); }, 26, 24, 30, true},
        {"noise alone", [](TestPicture &p) { p.noise(5, 15, 7); }, 30, 24, 40, false},
        {"a hot pixel on noise", [](TestPicture &p) { p.noise(5, 15, 7); p.set(30, 20, 250); }, 30, 24, 40,
         false, kAny, 20, true},
        {"an all-black box", [](TestPicture &) {}, 30, 24, 20, false, 0, 0},
        // Off the picture every pixel is black; the run's centre may lie off it too.
        {"a star in the corner, the box half off the picture", [](TestPicture &p) {
             for (int y : {46, 47}) { p.set(0, y, 90); p.set(1, y, 90); } },
         2, 46, 30, true, -2, 46},
        {"a box far larger than the picture", [](TestPicture &p) {
             for (int y : {46, 47}) { p.set(62, y, 90); p.set(63, y, 90); } },
         32, 24, 32767, true, 60, 46},
        {"two equal stars: the topmost wins", [](TestPicture &p) { p.fill(10); p.star(30, 30); p.star(30, 18); },
         30, 24, 30, true, 28, 18},
        {"a box too small for a run", [](TestPicture &p) { p.star(30, 20); }, 30, 20, 4, false, 0, 0},
        {"light only in the box's leftmost column", [](TestPicture &p) { p.set(20, 24, 200); p.set(20, 25, 200); },
         30, 24, 20, false, 0, 0},
        // Odd box: edges at 19.5 -> 20 (ties to even) and 40.5 -> 40; the right edge is searched.
        {"light on the odd box's right edge", [](TestPicture &p) { p.set(40, 24, 200); p.set(40, 25, 200); },
         30, 24, 21, true, 37, 24},
    };
    for (const Case &c : cases) {
        TestPicture picture(64, 48);
        c.paint(picture);
        const StarMeasurement m = measureStar(picture.view(), c.markX, c.markY, c.box, c.minSnr);
        EXPECT_EQ(m.found, c.found) << c.what << ", snr " << m.snr;
        EXPECT_EQ(m.onePixelPeak, c.onePixelPeak) << c.what;
        if (c.runX != kAny) {
            EXPECT_EQ(m.runX, c.runX) << c.what;
        }
        if (c.runY != kAny) {
            EXPECT_EQ(m.runY, c.runY) << c.what;
        }
        EXPECT_EQ(m.driftX, m.runX - c.markX) << c.what;
        EXPECT_EQ(m.driftY, m.runY - c.markY) << c.what;
    }
}

TEST(StarMeasurementTest, BackgroundAndSnrComeFromTheBoxOnThePicture)
{
    TestPicture picture(64, 48);
    picture.fill(10);
    picture.star(30, 20);
    const StarMeasurement m = measureStar(picture.view(), 30, 20, 20, 6);
    EXPECT_EQ(m.background, 10);
    // Run x = 26..31 above background: 0 0 0 110 190 110; a flat box has the 0.5 noise floor.
    EXPECT_DOUBLE_EQ(m.snr, 410 / (0.5 * std::sqrt(6.0)));
}

TEST(StarMarkTest, AClickBesideAStarMarksWhereTheGuideSearchFindsIt)
{
    struct Case {
        const char *what;
        bool starThere;
        int clickX, clickY;
    };
    const Case cases[] = {
        {"two pixels right of the star", true, 32, 20},
        {"eight pixels up-left of the star", true, 22, 12},
        {"noise alone", false, 30, 20},
    };
    for (const Case &c : cases) {
        TestPicture picture(64, 48);
        picture.noise(5, 15, 3);
        if (c.starThere)
            picture.star(30, 20);
        const StarSearch search = starNear(picture.view(), c.clickX, c.clickY, 20, 6, measureStar);
        const auto &place = search.star;
        ASSERT_EQ(place.has_value(), c.starThere) << c.what;
        if (c.starThere)
            EXPECT_GE(search.snr, 6) << c.what;
        else
            EXPECT_LT(search.snr, 6) << c.what; // how faint the best spot was, to tell the user
        if (!place)
            continue;
        // The first guide step from the new mark measures no drift at all.
        const StarMeasurement first = measureStar(picture.view(), place->x, place->y, 20, 6);
        EXPECT_TRUE(first.found) << c.what;
        EXPECT_EQ(first.driftX, 0) << c.what;
        EXPECT_EQ(first.driftY, 0) << c.what;
        EXPECT_LE(std::abs(place->x - 30), 2) << c.what;
        EXPECT_LE(std::abs(place->y - 20), 1) << c.what;
    }
}

TEST(StarProfileTest, GaussianStarsHaveTheirFwhmAndPeak)
{
    struct Case {
        double fwhm, cx, cy, amplitude;
        int background, noise; // grey levels; noise: +- this, uniform
        int markDx;            // pixels: the star this far right of the box centre
    };
    const Case cases[] = {
        {2.0, 40.3, 30.7, 180, 0, 0, 0},   {2.7, 40.5, 30.5, 150, 30, 0, 0}, {2.6, 38.8, 31.2, 120, 20, 3, 6},
        {4.0, 40.0, 30.0, 100, 10, 2, -8}, {6.0, 41.4, 29.6, 90, 40, 2, 0},
    };
    for (const Case &c : cases) {
        TestPicture picture(80, 60);
        std::mt19937 random(11);
        std::uniform_int_distribution<int> noise(-c.noise, c.noise);
        const double sigma = c.fwhm / 2.3548200450309493;
        int peak = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) {
                const double r2 = (x - c.cx) * (x - c.cx) + (y - c.cy) * (y - c.cy);
                const int level = std::clamp(
                    int(std::lround(c.background + c.amplitude * std::exp(-r2 / (2 * sigma * sigma)))) + noise(random), 0, 255);
                picture.set(x, y, level);
                if (r2 < 4)
                    peak = std::max(peak, level);
            }
        picture.set(int(c.cx) - 12, int(c.cy) + 9, 255); // a hot pixel in the box is not the star
        const auto profile = starProfile(picture.view(), c.cx - c.markDx, c.cy, 40);
        ASSERT_TRUE(profile) << c.fwhm;
        EXPECT_NEAR(profile->fwhm, c.fwhm, 0.2) << "centre " << c.cx << ", " << c.cy;
        EXPECT_EQ(profile->peak, peak) << c.fwhm;
    }

    TestPicture flat(80, 60);
    flat.fill(25);
    EXPECT_FALSE(starProfile(flat.view(), 40, 30, 40)) << "a box without light above its background";
}

TEST(StarProfileTest, RoundnessIsTheNarrowestOverTheWidestWidth)
{
    struct Case {
        double sigmaAlong, sigmaAcross; // px: the star's spread along its long direction and across it
        double angleDeg;                // of the long direction from +x
    };
    const Case cases[] = {{1.1, 1.1, 0}, {2.2, 1.1, 0}, {3.3, 1.1, 30}, {1.8, 1.2, 90}, {2.5, 1.25, 135}};
    for (const Case &c : cases) {
        TestPicture picture(80, 60);
        const double cosA = std::cos(c.angleDeg * M_PI / 180), sinA = std::sin(c.angleDeg * M_PI / 180);
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) {
                const double along = (x - 40.3) * cosA + (y - 30.6) * sinA;
                const double across = -(x - 40.3) * sinA + (y - 30.6) * cosA;
                const double e = along * along / (2 * c.sigmaAlong * c.sigmaAlong) +
                                 across * across / (2 * c.sigmaAcross * c.sigmaAcross);
                picture.set(x, y, int(std::lround(10 + 200 * std::exp(-e))));
            }
        const auto profile = starProfile(picture.view(), 40, 30, 40);
        ASSERT_TRUE(profile) << c.sigmaAlong;
        EXPECT_NEAR(profile->roundness, c.sigmaAcross / c.sigmaAlong, 0.06)
            << c.sigmaAlong << " x " << c.sigmaAcross << " at " << c.angleDeg << " degrees";
    }
}


} // namespace
} // namespace orvane
