#include "star_field.h"

#include <algorithm>
#include <cmath>

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
        const double flux = 0.03 + 0.62 * u * u * u;
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
                         uint64_t noiseSeed) const
{
    const double background = sensor.biasAdu + sensor.darkAduPerSecond * std::max(0.0, darkSeconds);
    std::vector<float> light(size_t(kWidth) * kHeight, 0.0f);

    const double sigma = std::max(0.3, sensor.psfSigmaPx);
    const int radius = std::min(12, int(std::ceil(3.5 * sigma))); // pixels
    const double inverseTwoSigma2 = 1.0 / (2 * sigma * sigma);
    std::vector<double> gx(size_t(2 * radius + 1)), gy(size_t(2 * radius + 1));

    for (const SkySample &sample : samples) {
        const double peakPerFlux = sensor.peakAduPerSecond * sample.seconds;
        for (const Star &star : stars_) {
            const double cx = star.x + sample.offset.x(), cy = star.y + sample.offset.y();
            if (cx < -radius || cy < -radius || cx > kWidth + radius || cy > kHeight + radius)
                continue;
            const int x0 = int(std::floor(cx)) - radius, y0 = int(std::floor(cy)) - radius;
            for (int k = 0; k <= 2 * radius; ++k) {
                gx[size_t(k)] = std::exp(-(x0 + k - cx) * (x0 + k - cx) * inverseTwoSigma2);
                gy[size_t(k)] = std::exp(-(y0 + k - cy) * (y0 + k - cy) * inverseTwoSigma2);
            }
            const double peak = peakPerFlux * star.flux;
            const int kxFrom = std::max(0, -x0), kxTo = std::min(2 * radius, kWidth - 1 - x0);
            const int kyFrom = std::max(0, -y0), kyTo = std::min(2 * radius, kHeight - 1 - y0);
            for (int ky = kyFrom; ky <= kyTo; ++ky) {
                float *row = light.data() + size_t(y0 + ky) * kWidth + x0;
                const double rowPeak = peak * gy[size_t(ky)];
                for (int kx = kxFrom; kx <= kxTo; ++kx)
                    row[kx] += float(rowPeak * gx[size_t(kx)]);
            }
        }
    }
    for (const HotPixel &hot : hotPixels_)
        light[size_t(hot.y) * kWidth + hot.x] += float(hot.aduPerSecond * std::max(0.0, darkSeconds));

    QImage frame(kWidth, kHeight, QImage::Format_RGB32);
    SplitMix noise(noiseSeed);
    const double read2 = sensor.readNoiseAdu * sensor.readNoiseAdu;
    for (int y = 0; y < kHeight; ++y) {
        QRgb *out = reinterpret_cast<QRgb *>(frame.scanLine(y));
        const float *in = light.data() + size_t(y) * kWidth;
        for (int x = 0; x < kWidth; ++x) {
            const double signal = in[x];
            const double sigmaNoise = std::sqrt(read2 + sensor.shotNoiseFactor * signal);
            const double value = background + signal + sigmaNoise * noise.gaussian();
            const int grey = std::clamp(int(std::lround(value)), 0, 255);
            out[x] = qRgb(grey, grey, grey);
        }
    }
    return frame;
}

} // namespace orvane
