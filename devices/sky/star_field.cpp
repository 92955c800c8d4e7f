#include "star_field.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvane {

uint64_t SplitMix::next()
{
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double SplitMix::gaussian()
{
    // Four uniforms have variance 4/12; centring and scaling by sqrt(3) gives sigma 1.
    return (uniform() + uniform() + uniform() + uniform() - 2.0) * 1.7320508075688772;
}

namespace {

constexpr double kMarginPx = 600;          // field beyond each edge of the picture, pixels
constexpr double kGuideStarClearancePx = 30; // no other noticeable star this close to it
constexpr double kHotPixelClearancePx = 60;  // no hot pixel this close to the guide star

constexpr size_t kGaussianTableSize = 4096; // a power of two, indexed by 12 random bits

// Normal deviates (sigma 1) for the per-pixel noise: a table drawn once is much
// quicker than a fresh deviate for each of the 307,200 pixels of a frame.
const std::vector<float> &gaussianTable()
{
    static const std::vector<float> table = [] {
        std::vector<float> t(kGaussianTableSize);
        SplitMix random(0x6A09E667F3BCC909ull);
        for (size_t i = 0; i < t.size(); i += 2) { // Box-Muller pairs
            const double u1 = 1.0 - random.uniform(), u2 = random.uniform();
            const double r = std::sqrt(-2.0 * std::log(u1));
            t[i] = float(r * std::cos(2 * std::numbers::pi * u2));
            t[i + 1] = float(r * std::sin(2 * std::numbers::pi * u2));
        }
        return t;
    }();
    return table;
}

double squaredDistance(double x1, double y1, double x2, double y2)
{
    return (x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2);
}

} // namespace

StarField::StarField(uint32_t seed, int starsInFrame, int hotPixelCount)
{
    SplitMix random(seed);
    // A little off the exact centre, where a user clicks it as the guide star.
    guideStar_ = QPointF(kWidth / 2 + 17.3, kHeight / 2 - 11.6);
    stars_.push_back({guideStar_.x(), guideStar_.y(), 1.0});

    const double fieldWidth = kWidth + 2 * kMarginPx, fieldHeight = kHeight + 2 * kMarginPx;
    const int count = int(std::max(0, starsInFrame) * (fieldWidth * fieldHeight) / (double(kWidth) * kHeight));
    const double clearance2 = kGuideStarClearancePx * kGuideStarClearancePx;
    for (int i = 0; i < count; ++i) {
        const double x = random.uniform() * fieldWidth - kMarginPx;
        const double y = random.uniform() * fieldHeight - kMarginPx;
        // Many faint stars, few bright ones; all fainter than the guide star.
        const double u = random.uniform();
        const double flux = 0.04 + 0.7 * u * u * u;
        if (squaredDistance(x, y, guideStar_.x(), guideStar_.y()) < clearance2)
            continue;
        stars_.push_back({x, y, flux});
    }

    const double hotClearance2 = kHotPixelClearancePx * kHotPixelClearancePx;
    while (int(hotPixels_.size()) < hotPixelCount) {
        const int x = int(random.uniform() * kWidth), y = int(random.uniform() * kHeight);
        if (squaredDistance(x, y, guideStar_.x(), guideStar_.y()) < hotClearance2)
            continue;
        hotPixels_.push_back({x, y, 1.0 + 3.0 * random.uniform()});
    }
}

QImage StarField::render(const std::vector<SkySample> &samples, double darkSeconds, const SensorModel &sensor,
                         uint64_t noiseSeed, OwnJitter own) const
{
    const double background = sensor.biasAdu + sensor.darkAduPerSecond * std::max(0.0, darkSeconds);
    std::vector<float> light(size_t(kWidth) * kHeight, 0.0f);

    const double sigma = std::max(0.3, sensor.psfSigmaPx);
    const int radius = std::min(12, int(std::ceil(3.5 * sigma))); // pixels
    const int span = 2 * radius + 1;
    // The PSF profile along one axis depends only on where the star falls within
    // its pixel: one profile per 1/32 pixel, made once per frame.
    constexpr int kSubSteps = 32;
    std::vector<float> profiles(size_t(kSubSteps + 1) * size_t(span));
    for (int q = 0; q <= kSubSteps; ++q)
        for (int k = 0; k < span; ++k) {
            const double d = k - radius - double(q) / kSubSteps; // pixels from the star's centre
            profiles[size_t(q) * size_t(span) + size_t(k)] = float(std::exp(-d * d / (2 * sigma * sigma)));
        }
    auto profileFor = [&](double centre, int &first) {
        const double whole = std::floor(centre);
        first = int(whole) - radius;
        return profiles.data() + size_t(std::lround((centre - whole) * kSubSteps)) * size_t(span);
    };

    for (size_t s = 0; s < samples.size(); ++s) {
        const SkySample &sample = samples[s];
        const double peakPerFlux = sensor.peakAduPerSecond * sample.seconds * sample.transparency;
        for (size_t j = 0; j < stars_.size(); ++j) {
            const Star &star = stars_[j];
            double cx = star.x + sample.offset.x(), cy = star.y + sample.offset.y();
            if (cx < -radius || cy < -radius || cx > kWidth + radius || cy > kHeight + radius)
                continue;
            if (own.sigmaPx > 0) {
                SplitMix random(own.seed ^ (uint64_t(s) << 32) ^ (uint64_t(j) * 0xD1B54A32D192ED03ull));
                cx += own.sigmaPx * random.gaussian();
                cy += own.sigmaPx * random.gaussian();
            }
            int x0 = 0, y0 = 0;
            const float *gx = profileFor(cx, x0);
            const float *gy = profileFor(cy, y0);
            const float peak = float(peakPerFlux * star.flux);
            const int kxFrom = std::max(0, -x0), kxTo = std::min(span - 1, kWidth - 1 - x0);
            const int kyFrom = std::max(0, -y0), kyTo = std::min(span - 1, kHeight - 1 - y0);
            for (int ky = kyFrom; ky <= kyTo; ++ky) {
                float *row = light.data() + size_t(y0 + ky) * kWidth + x0;
                const float rowPeak = peak * gy[ky];
                for (int kx = kxFrom; kx <= kxTo; ++kx)
                    row[kx] += rowPeak * gx[kx];
            }
        }
    }
    for (const HotPixel &hot : hotPixels_)
        light[size_t(hot.y) * kWidth + hot.x] += float(hot.aduPerSecond * std::max(0.0, darkSeconds));

    QImage frame(kWidth, kHeight, QImage::Format_RGB32);
    const std::vector<float> &table = gaussianTable();
    SplitMix noise(noiseSeed);
    const float read = float(sensor.readNoiseAdu);
    const float read2 = read * read, shot = float(sensor.shotNoiseFactor), level = float(background);
    uint64_t bits = 0;
    int drawsLeft = 0;
    for (int y = 0; y < kHeight; ++y) {
        QRgb *out = reinterpret_cast<QRgb *>(frame.scanLine(y));
        const float *in = light.data() + size_t(y) * kWidth;
        for (int x = 0; x < kWidth; ++x) {
            if (drawsLeft == 0) { // five 12-bit table indices per draw
                bits = noise.next();
                drawsLeft = 5;
            }
            const float g = table[bits & (kGaussianTableSize - 1)];
            bits >>= 12;
            --drawsLeft;
            const float signal = in[x];
            const float sigma = signal > 0.0f ? std::sqrt(read2 + shot * signal) : read;
            const float value = level + signal + sigma * g;
            const uint32_t grey = value <= 0.0f ? 0u : value >= 254.5f ? 255u : uint32_t(value + 0.5f);
            out[x] = 0xFF000000u | (grey * 0x010101u);
        }
    }
    return frame;
}

} // namespace orvane
