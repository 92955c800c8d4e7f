// Guide darks on synthetic frames: a pattern of hot pixels found from darks and
// taken out of a guide frame, so the box way finds the star beside one.

#include "guide_dark.h"
#include "star_measurement.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace orvane {
namespace {

constexpr int kW = 160, kH = 120;
constexpr double kBias = 20; // grey levels

struct HotPixel {
    int x, y;
    double extra; // grey levels above the bias
};

// The same hot pixels in every frame, noise from `seed`, and a star when asked.
std::vector<uint32_t> frame(const std::vector<HotPixel> &hot, unsigned seed, double starPeak = 0)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0, 1.5);
    std::vector<uint32_t> words;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            double v = kBias + noise(random);
            v += starPeak * std::exp(-((x - 80.3) * (x - 80.3) + (y - 60.6) * (y - 60.6)) / (2 * 1.1 * 1.1));
            for (const HotPixel &h : hot)
                if (h.x == x && h.y == y)
                    v += h.extra;
            words.push_back(0xFF000000u | uint32_t(std::clamp(std::lround(v), 0L, 255L)) * 0x010101u);
        }
    return words;
}

PixelView view(const std::vector<uint32_t> &words) { return {words.data(), kW, kH, kW}; }

TEST(GuideDark, DarksFindTheHotPixelsAndTakeThemOutOfAGuideFrame)
{
    std::mt19937 place(3);
    std::vector<HotPixel> hot{{86, 60, 230}}; // one right beside the star, brighter than it
    while (hot.size() < 40)
        hot.push_back({int(place() % kW), int(place() % kH), 40.0 + double(place() % 190)});
    std::vector<std::vector<uint32_t>> darks;
    std::vector<PixelView> views;
    for (unsigned i = 0; i < 5; ++i)
        darks.push_back(frame(hot, 10 + i));
    for (const auto &d : darks)
        views.push_back(view(d));
    const std::optional<GuideDark> dark = combineDarks(views, 1000);
    ASSERT_TRUE(dark);
    EXPECT_EQ(dark->hotCount, 40);
    EXPECT_NEAR(dark->medianLevel, kBias, 1);

    const std::vector<uint32_t> guide = frame(hot, 99, 50);
    const StarMeasurement fooled = measureStar(view(guide), 80, 60, 20, 6);
    EXPECT_FALSE(fooled.found && std::abs(fooled.runX - 80) <= 1) << "the hot pixel took the box";
    const std::vector<uint32_t> cleaned = withoutDark(view(guide), *dark);
    const StarMeasurement m = measureStar(view(cleaned), 80, 60, 20, 6);
    ASSERT_TRUE(m.found);
    EXPECT_NEAR(m.runX, 80.3, 1);
    EXPECT_NEAR(m.runY, 60.6, 1);
    for (const HotPixel &h : hot)
        EXPECT_NEAR(view(cleaned).pixel(h.x, h.y) & 0xFF, kBias, 6) << h.x << ", " << h.y;

    // Kept with the settings and read back; a damaged file is refused with its name.
    QTemporaryDir dir;
    const QString path = dir.filePath("guide-dark.bin");
    ASSERT_TRUE(saveGuideDark(path, *dark));
    const ResultOf<GuideDark> back = loadGuideDark(path);
    ASSERT_TRUE(back) << back.error().toStdString();
    EXPECT_EQ(back.value().level, dark->level);
    EXPECT_EQ(back.value().hot, dark->hot);
    EXPECT_EQ(back.value().exposureMs, 1000);
    QFile file(path);
    ASSERT_TRUE(file.resize(1000));
    const ResultOf<GuideDark> cut = loadGuideDark(path);
    EXPECT_EQ(cut.error(), QStringLiteral("The guide darks %1 cannot be used: it is cut short or too long; take them "
                                          "again (Guide > Take guide darks…).")
                               .arg(path));
}

} // namespace
} // namespace orvane
