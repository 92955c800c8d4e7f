#pragma once
// The simulated camera's view of the sky: a seeded star field, and the sensor
// that turns light gathered over an exposure into a 640 x 480 grey frame with
// seeing, dark current, read noise and a few hot pixels.

#include <QImage>
#include <QPoint>
#include <QPointF>
#include <QRect>

#include <cstdint>
#include <vector>

namespace orvane {

struct Star {
    double x, y; // pixels on the picture while the sky offset is (0, 0)
    double flux; // relative to the guide star (1.0)
};

struct HotPixel {
    int x, y;              // pixels on the picture
    double aduPerSecond;   // extra dark current of this pixel
};

// What the sensor adds and how bright the stars come out.
struct SensorModel {
    double psfSigmaPx = 1.1;        // seeing disc, Gaussian sigma in pixels (FWHM about 2.6)
    double jitterPx = 0.35;         // seeing motion of the whole image per sample, sigma in pixels
    double peakAduPerSecond = 3.75; // peak above background of a flux-1.0 star per second of light
    double biasAdu = 8.0;           // level of an unexposed pixel
    double darkAduPerSecond = 0.15; // dark current (with sky glow) per second of exposure
    double readNoiseAdu = 1.5;      // sigma of the read noise
    double shotNoiseFactor = 0.15;  // signal noise: variance = factor x signal (ADU)
};

// The part of the seeing's motion each star has of its own, beside the part all
// share (SkySample::offset): drawn afresh for every star at every slice.
struct OwnJitter {
    double sigmaPx = 0; // on each axis, pixels (0: every star moves as one)
    uint64_t seed = 0;
};

// Where the star field stood during one slice of an exposure.
struct SkySample {
    QPointF offset; // pixels, star-field shift at the slice (seeing jitter included)
    double seconds; // light gathered in the slice
    double transparency = 1.0; // share of the stars' light that gets through (0 under a cloud)
};

class StarField {
public:
    static constexpr int kWidth = 640;  // pixels
    static constexpr int kHeight = 480; // pixels

    // About `starsInFrame` stars on the picture, more around it so that a drifting
    // field stays filled, one bright isolated guide star near the centre and
    // `hotPixelCount` hot pixels away from it. Same seed, same field.
    StarField(uint32_t seed, int starsInFrame, int hotPixelCount);

    const std::vector<Star> &stars() const { return stars_; }
    const std::vector<HotPixel> &hotPixels() const { return hotPixels_; }
    // Where the guide star stands while the sky offset is (0, 0), pixels.
    QPointF guideStar() const { return guideStar_; }

    // The frame an exposure of these samples gives: darkSeconds of dark current
    // (the whole exposure), noise from a generator seeded by noiseSeed.
    QImage render(const std::vector<SkySample> &samples, double darkSeconds, const SensorModel &sensor,
                  uint64_t noiseSeed, OwnJitter own = {}) const;
    // The same frame inside `windows` only, to the bit; the rest of the picture
    // holds the bare background level, without light or noise. Much quicker
    // where only a few boxes of the frame are ever measured.
    QImage renderWindows(const std::vector<QRect> &windows, const std::vector<SkySample> &samples, double darkSeconds,
                         const SensorModel &sensor, uint64_t noiseSeed, OwnJitter own = {}) const;

private:
    std::vector<Star> stars_;
    std::vector<HotPixel> hotPixels_;
    QPointF guideStar_;
};

// A small fast generator for the noise and the field (splitmix64).
class SplitMix {
public:
    explicit SplitMix(uint64_t seed) : state_(seed) {}
    uint64_t next();
    // What next() gives at its (index + 1)th call on a generator seeded with seed.
    static uint64_t drawAt(uint64_t seed, uint64_t index);
    double uniform() { return double(next() >> 11) * (1.0 / 9007199254740992.0); } // [0, 1)
    // Approximately normal, mean 0, sigma 1 (sum of four uniforms).
    double gaussian();

private:
    uint64_t state_;
};

} // namespace orvane
