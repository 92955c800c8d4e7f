// The sub-pixel guide-star measurement on synthetic stars in memory.

#include "centroid_measurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace orvane {
namespace {

constexpr int kW = 80, kH = 60;
constexpr double kSigmaPx = 1.1; // the simulated seeing: FWHM about 2.6 px

// A grey 8-bit sky with read noise and Gaussian stars, as a webcam frame holds it.
struct Sky {
    std::vector<double> level = std::vector<double>(size_t(kW * kH), 20.0);
    std::vector<uint32_t> words;

    void star(double cx, double cy, double peak, double sigmaPx = kSigmaPx)
    {
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x)
                level[size_t(y * kW + x)] +=
                    peak * std::exp(-((x - cx) * (x - cx) + (y - cy) * (y - cy)) / (2 * sigmaPx * sigmaPx));
    }
    void set(int x, int y, double v) { level[size_t(y * kW + x)] = v; }
    PixelView view(unsigned noiseSeed, double noiseAdu = 1.5)
    {
        std::mt19937 random(noiseSeed);
        std::normal_distribution<double> noise(0, noiseAdu);
        words.clear();
        for (double v : level) {
            const auto grey = uint32_t(std::clamp(std::lround(v + noise(random)), 0L, 255L));
            words.push_back(0xFF000000u | grey * 0x010101u);
        }
        return {words.data(), kW, kH, kW};
    }
};

TEST(CentroidMeasurement, FindsTheStarToATenthOfAPixelAtEverySubPixelOffset)
{
    // A guide star as faint as the simulated one at 20 s (peak ~70 ADU over 1.5 ADU noise).
    for (double fx : {0.0, 0.1, 0.25, 0.5, 0.73, 0.9})
        for (double fy : {0.0, 0.35, 0.6, 0.95}) {
            Sky sky;
            const double cx = 40 + fx, cy = 30 + fy;
            sky.star(cx, cy, 70);
            const StarMeasurement m = measureCentroid(sky.view(unsigned(fx * 100 + fy * 10)), 41, 29, 30, 6);
            ASSERT_TRUE(m.found) << fx << ", " << fy;
            EXPECT_NEAR(m.driftX, cx - 41, 0.1) << fx << ", " << fy;
            EXPECT_NEAR(m.driftY, cy - 29, 0.1) << fx << ", " << fy;
            // The light of a Gaussian star: 2 pi sigma^2 peak.
            EXPECT_NEAR(m.mass, 2 * M_PI * kSigmaPx * kSigmaPx * 70, 0.1 * 2 * M_PI * kSigmaPx * kSigmaPx * 70);
            EXPECT_GT(m.snr, 20);
        }
}

// A faint star (SNR about 10): its error is near the least any estimate can
// have on these pixels (0.075 px per axis), not the 0.16 px of weighing its
// noisy wings alike; in wide seeing (FWHM 4.5 px) the weights widen with it
// (least 0.22 px).
TEST(CentroidMeasurement, AFaintStarIsMeasuredNearTheLeastPossibleError)
{
    struct Case {
        double sigmaPx, peak, mostErrorPx;
    };
    for (const Case c : {Case{kSigmaPx, 16, 0.095}, Case{1.9, 5.4, 0.27}}) {
        std::mt19937 places(5);
        std::uniform_real_distribution<double> within(0, 1);
        double squared = 0, snr = 0;
        constexpr int kStars = 80;
        for (int i = 0; i < kStars; ++i) {
            Sky sky;
            const double cx = 40 + within(places), cy = 30 + within(places);
            sky.star(cx, cy, c.peak, c.sigmaPx);
            const StarMeasurement m = measureCentroid(sky.view(unsigned(100 + i)), 40, 30, 30, 0);
            squared += (std::pow(m.driftX - (cx - 40), 2) + std::pow(m.driftY - (cy - 30), 2)) / 2;
            snr += m.snr / kStars;
        }
        EXPECT_NEAR(snr, 10, 3) << c.sigmaPx;
        EXPECT_LT(std::sqrt(squared / kStars), c.mostErrorPx) << "seeing sigma " << c.sigmaPx << " px";
    }
}

TEST(CentroidMeasurement, AHotPixelNeverCapturesTheMeasurement)
{
    struct Case {
        const char *what;
        bool withStar;
        int hotX, hotY;
        double hotLevel;
    };
    const Case cases[] = {
        {"a saturated hot pixel beside a faint star", true, 33, 25, 255},
        {"a hot pixel at the box edge", true, 26, 16, 200},
        {"a hot pixel on the star's wing", true, 42, 30, 250},
        {"a hot pixel alone in the box", false, 35, 28, 255},
    };
    for (const Case &c : cases) {
        Sky sky;
        if (c.withStar)
            sky.star(40.3, 30.6, 40);
        sky.set(c.hotX, c.hotY, c.hotLevel);
        const StarMeasurement m = measureCentroid(sky.view(7), 40, 30, 30, 6);
        EXPECT_EQ(m.found, c.withStar) << c.what;
        if (c.withStar) {
            EXPECT_NEAR(m.driftX, 0.3, 0.15) << c.what;
            EXPECT_NEAR(m.driftY, 0.6, 0.15) << c.what;
        }
    }
}

TEST(CentroidMeasurement, FollowsAStarAcrossTheBoxEdgeWhileItStaysInTheBox)
{
    // The box spans 25..55 across (side 30 around x = 40); the star walks out of it.
    struct Case {
        double starX;
        bool found;
    };
    for (const Case c : {Case{53.2, true}, Case{54.6, true}, Case{55.4, true}, Case{57.5, false}}) {
        Sky sky;
        sky.star(c.starX, 30.0, 70);
        const StarMeasurement m = measureCentroid(sky.view(3), 40, 30, 30, 6);
        EXPECT_EQ(m.found, c.found) << c.starX;
        if (c.found) {
            EXPECT_NEAR(m.driftX, c.starX - 40, 0.1) << "the disc reaches past the box edge";
        }
    }
}

} // namespace
} // namespace orvane
