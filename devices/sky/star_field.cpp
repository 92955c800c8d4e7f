#include "star_field.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace orvane {

namespace {

constexpr uint64_t kGoldenGamma = 0x9E3779B97F4A7C15ull;

uint64_t mixed(uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

} // namespace

uint64_t SplitMix::next()
{
    return mixed(state_ += kGoldenGamma);
}

uint64_t SplitMix::drawAt(uint64_t seed, uint64_t index)
{
    return mixed(seed + (index + 1) * kGoldenGamma);
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

namespace {

// The light a frame's samples put on each pixel of one region of the picture,
// summed in the same order wherever the region lies, so a pixel's light is the
// same to the bit in a whole frame and in a window.
// The seeing disc's profile along one axis, by where the star falls within its
// pixel: one profile per 1/32 pixel, made once per frame.
class PsfProfiles {
public:
    explicit PsfProfiles(double sigmaPx)
    {
        const double sigma = std::max(0.3, sigmaPx);
        radius = std::min(12, int(std::ceil(3.5 * sigma))); // pixels
        span = 2 * radius + 1;
        profiles_.resize(size_t(kSubSteps + 1) * size_t(span));
        for (int q = 0; q <= kSubSteps; ++q)
            for (int k = 0; k < span; ++k) {
                const double d = k - radius - double(q) / kSubSteps; // pixels from the star's centre
                profiles_[size_t(q) * size_t(span) + size_t(k)] = float(std::exp(-d * d / (2 * sigma * sigma)));
            }
    }
    // The profile of a star centred at `centre` (pixels), starting at pixel `first`.
    const float *at(double centre, int &first) const
    {
        const double whole = std::floor(centre);
        first = int(whole) - radius;
        return profiles_.data() + size_t(std::lround((centre - whole) * kSubSteps)) * size_t(span);
    }
    int radius = 0, span = 0; // pixels

private:
    static constexpr int kSubSteps = 32;
    std::vector<float> profiles_;
};

class LightOnRegion {
public:
    LightOnRegion(const QRect &region, const PsfProfiles &psf)
        : region_(region), psf_(psf), radius_(psf.radius), span_(psf.span), light_(size_t(region.width()) * region.height(), 0.0f)
    {
    }

    void addStars(const std::vector<Star> &stars, const std::vector<SkySample> &samples, const SensorModel &sensor,
                  OwnJitter own)
    {
        const int left = region_.left(), top = region_.top(), right = region_.right(), bottom = region_.bottom();
        // A star's own jitter moves it less than 3.47 sigma (four uniforms): stars farther off are passed by.
        const double ownReach = 3.47 * std::max(0.0, own.sigmaPx) + 1; // pixels
        // The stars any sample can bring near the region, in their order.
        double leastX = 0, mostX = 0, leastY = 0, mostY = 0; // pixels of offset
        for (size_t s = 0; s < samples.size(); ++s) {
            const QPointF o = samples[s].offset;
            leastX = s ? std::min(leastX, o.x()) : o.x();
            mostX = s ? std::max(mostX, o.x()) : o.x();
            leastY = s ? std::min(leastY, o.y()) : o.y();
            mostY = s ? std::max(mostY, o.y()) : o.y();
        }
        std::vector<size_t> near;
        for (size_t j = 0; j < stars.size(); ++j) {
            const Star &star = stars[j];
            if (star.x + mostX >= left - radius_ - ownReach && star.x + leastX <= right + radius_ + ownReach &&
                star.y + mostY >= top - radius_ - ownReach && star.y + leastY <= bottom + radius_ + ownReach)
                near.push_back(j);
        }
        for (size_t s = 0; s < samples.size(); ++s) {
            const SkySample &sample = samples[s];
            const double peakPerFlux = sensor.peakAduPerSecond * sample.seconds * sample.transparency;
            for (const size_t j : near) {
                const Star &star = stars[j];
                double cx = star.x + sample.offset.x(), cy = star.y + sample.offset.y();
                if (cx < -radius_ || cy < -radius_ || cx > StarField::kWidth + radius_ || cy > StarField::kHeight + radius_)
                    continue;
                if (cx < left - radius_ - ownReach || cx > right + radius_ + ownReach ||
                    cy < top - radius_ - ownReach || cy > bottom + radius_ + ownReach)
                    continue;
                if (own.sigmaPx > 0) {
                    SplitMix random(own.seed ^ (uint64_t(s) << 32) ^ (uint64_t(j) * 0xD1B54A32D192ED03ull));
                    cx += own.sigmaPx * random.gaussian();
                    cy += own.sigmaPx * random.gaussian();
                }
                int x0 = 0, y0 = 0;
                const float *gx = psf_.at(cx, x0);
                const float *gy = psf_.at(cy, y0);
                const float peak = float(peakPerFlux * star.flux);
                const int kxFrom = std::max(0, left - x0), kxTo = std::min(span_ - 1, right - x0);
                const int kyFrom = std::max(0, top - y0), kyTo = std::min(span_ - 1, bottom - y0);
                if (kxFrom > kxTo || kyFrom > kyTo)
                    continue;
                for (int ky = kyFrom; ky <= kyTo; ++ky) {
                    float *row = at(x0 + kxFrom, y0 + ky);
                    const float rowPeak = peak * gy[ky];
                    for (int kx = kxFrom; kx <= kxTo; ++kx)
                        row[kx - kxFrom] += rowPeak * gx[kx];
                }
            }
        }
    }

    void addHotPixels(const std::vector<HotPixel> &hotPixels, double darkSeconds)
    {
        for (const HotPixel &hot : hotPixels)
            if (region_.contains(hot.x, hot.y))
                *at(hot.x, hot.y) += float(hot.aduPerSecond * std::max(0.0, darkSeconds));
    }

    // The light of picture row y, from the region's left edge.
    const float *row(int y) const { return light_.data() + size_t(y - region_.top()) * size_t(region_.width()); }

private:
    float *at(int x, int y) { return light_.data() + size_t(y - region_.top()) * size_t(region_.width()) + (x - region_.left()); }

    QRect region_;
    const PsfProfiles &psf_;
    int radius_ = 0, span_ = 0;
    std::vector<float> light_;
};

constexpr int kIndicesPerDraw = 5; // five 12-bit table indices from each 64-bit draw

// Turns light into the sensor's grey levels: the background, the light, and
// noise of read-out and signal from one normal deviate per pixel.
class SensorNoise {
public:
    SensorNoise(const SensorModel &sensor, double background)
        : read2_(float(sensor.readNoiseAdu) * float(sensor.readNoiseAdu)), shot_(float(sensor.shotNoiseFactor)),
          level_(float(background))
    {
    }
    // A run of `count` pixels of one row, the first being pixel number `first`
    // of a whole frame whose noise generator is seeded with `seed`: each pixel
    // takes the deviate a whole frame gives it, whatever run it is in.
    void greyRun(uint64_t seed, uint64_t first, const float *light, int count, QRgb *out) const
    {
        std::array<float, StarField::kWidth> deviate;
        const float *table = gaussianTable().data();
        uint64_t draw = first / kIndicesPerDraw;
        int slot = int(first % kIndicesPerDraw);
        uint64_t bits = SplitMix::drawAt(seed, draw) >> (12 * slot);
        for (int i = 0; i < count; ++i) {
            deviate[size_t(i)] = table[bits & (kGaussianTableSize - 1)];
            bits >>= 12;
            if (++slot == kIndicesPerDraw) {
                bits = SplitMix::drawAt(seed, ++draw);
                slot = 0;
            }
        }
        for (int i = 0; i < count; ++i) { // no branch and no table: the compiler vectorises it
            const float signal = light[i];  // never below 0; at 0 the root is the read noise itself
            const float sigma = std::sqrt(read2_ + shot_ * signal);
            const float value = level_ + signal + sigma * deviate[size_t(i)];
            const int32_t grey = int32_t(std::min(std::max(value + 0.5f, 0.0f), 255.0f)); // rounded, clipped
            out[i] = 0xFF000000u | (uint32_t(grey) * 0x010101u);
        }
    }

private:
    float read2_, shot_, level_;
};

} // namespace

QImage StarField::render(const std::vector<SkySample> &samples, double darkSeconds, const SensorModel &sensor,
                         uint64_t noiseSeed, OwnJitter own) const
{
    const double background = sensor.biasAdu + sensor.darkAduPerSecond * std::max(0.0, darkSeconds);
    const PsfProfiles psf(sensor.psfSigmaPx);
    LightOnRegion light(QRect(0, 0, kWidth, kHeight), psf);
    light.addStars(stars_, samples, sensor, own);
    light.addHotPixels(hotPixels_, darkSeconds);

    QImage frame(kWidth, kHeight, QImage::Format_RGB32);
    const SensorNoise sensorNoise(sensor, background);
    for (int y = 0; y < kHeight; ++y)
        sensorNoise.greyRun(noiseSeed, uint64_t(y) * kWidth, light.row(y), kWidth,
                            reinterpret_cast<QRgb *>(frame.scanLine(y)));
    return frame;
}

QImage StarField::renderWindows(const std::vector<QRect> &windows, const std::vector<SkySample> &samples,
                                double darkSeconds, const SensorModel &sensor, uint64_t noiseSeed, OwnJitter own) const
{
    const double background = sensor.biasAdu + sensor.darkAduPerSecond * std::max(0.0, darkSeconds);
    QImage frame(kWidth, kHeight, QImage::Format_RGB32);
    const uint32_t bare = uint32_t(std::clamp(std::lround(background), 0L, 255L));
    frame.fill(0xFF000000u | (bare * 0x010101u));

    const SensorNoise sensorNoise(sensor, background);
    const PsfProfiles psf(sensor.psfSigmaPx);
    for (const QRect &wanted : windows) {
        const QRect window = wanted.intersected(QRect(0, 0, kWidth, kHeight));
        if (window.isEmpty())
            continue;
        LightOnRegion light(window, psf);
        light.addStars(stars_, samples, sensor, own);
        light.addHotPixels(hotPixels_, darkSeconds);
        for (int y = window.top(); y <= window.bottom(); ++y)
            sensorNoise.greyRun(noiseSeed, uint64_t(y) * kWidth + uint64_t(window.left()), light.row(y), window.width(),
                                reinterpret_cast<QRgb *>(frame.scanLine(y)) + window.left());
    }
    return frame;
}

} // namespace orvane
