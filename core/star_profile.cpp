#include "star_profile.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orvane {

namespace {

constexpr double kFwhmPerSigma = 2.3548200450309493; // 2 sqrt(2 ln 2), for a Gaussian star
constexpr double kFirstSigma = 2.0;                  // pixels: the weight's first width
constexpr double kReachSigmas = 4.0;                 // the weight is negligible beyond this
constexpr double kSettledPx = 0.001;                 // the width moves less than this: done
constexpr int kMaxRounds = 40;                       // each round halves the width's error
constexpr double kPeakReachPx = 1.5;                 // the brightest pixel lies this near the centre

double grey(uint32_t colour)
{
    return double((colour & 0xFF) + ((colour >> 8) & 0xFF) + ((colour >> 16) & 0xFF)) / 3.0;
}

struct Box {
    int left, top, right, bottom; // pixels on the picture, inclusive
};

// The pixel whose 3 x 3 neighbourhood holds the most light: a star's core, not a lone hot pixel.
void brightestCore(const PixelView &picture, Box box, int &cx, int &cy)
{
    double best = -1;
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x) {
            double sum = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    sum += grey(picture.pixel(x + dx, y + dy));
            if (sum > best) {
                best = sum;
                cx = x;
                cy = y;
            }
        }
}

// Narrowest over widest width of a Gaussian star whose light, seen through a
// round Gaussian weight of spread `sigma`, has the second moments xx, yy, xy
// (px²). The weight narrows what is seen: a star of covariance S shows
// (S⁻¹ + I/sigma²)⁻¹, so S⁻¹ is the seen covariance's inverse less I/sigma².
double roundnessOf(double xx, double yy, double xy, double sigma)
{
    const double det = xx * yy - xy * xy;
    if (det <= 0)
        return 0; // all the light on one line
    const double w = 1 / (sigma * sigma);
    const double a = yy / det - w, c = xx / det - w, b = -xy / det; // S⁻¹
    // The eigenvalues of S⁻¹ are the inverse squared widths of the star.
    const double mean = (a + c) / 2, spread = std::hypot((a - c) / 2, b);
    const double largest = mean + spread, smallest = mean - spread;
    if (smallest <= 0)
        return 0; // wider along one direction than the weight lets through
    return std::sqrt(smallest / largest);
}

} // namespace

StarSearch starNear(const PixelView &picture, double clickX, double clickY, int boxSize, double minSnr,
                    StarMeasurer measure)
{
    const StarMeasurement m = measure(picture, clickX, clickY, boxSize, minSnr);
    if (!m.found)
        return {std::nullopt, m.snr};
    return {StarPlace{m.runX, m.runY}, m.snr};
}

std::optional<StarProfile> starProfile(const PixelView &picture, double x, double y, int boxSize)
{
    const double half = boxSize / 2.0; // pixels
    const Box box{std::max(pixelIndex(x - half), 0), std::max(pixelIndex(y - half), 0),
                  std::min(pixelIndex(x + half), picture.width - 1), std::min(pixelIndex(y + half), picture.height - 1)};
    if (box.left > box.right || box.top > box.bottom)
        return std::nullopt;

    std::vector<double> levels;
    for (int py = box.top; py <= box.bottom; ++py)
        for (int px = box.left; px <= box.right; ++px)
            levels.push_back(grey(picture.pixel(px, py)));
    const auto middle = levels.begin() + std::ptrdiff_t(levels.size() / 2);
    std::nth_element(levels.begin(), middle, levels.end());
    const double background = *middle;

    int coreX = box.left, coreY = box.top;
    brightestCore(picture, box, coreX, coreY);
    double cx = coreX, cy = coreY;
    double sigma = kFirstSigma; // pixels: of the weight, which settles on the star's own
    double peak = 0;
    double xx = 0, yy = 0, xy = 0; // px²: the light's second moments about its centre, last round
    for (int round = 0; round < kMaxRounds; ++round) {
        // Light, centre and spread of the pixels near the centre, the box's
        // background taken off and weighted by a Gaussian of the current width:
        // far pixels, mostly noise, count little. Below-background pixels count
        // too, so noise averages out instead of widening the star.
        double sum = 0, sumX = 0, sumY = 0, sumXX = 0, sumYY = 0, sumXY = 0;
        peak = 0;
        const int reach = int(std::ceil(kReachSigmas * sigma));
        for (int py = std::max(int(cy) - reach, box.top); py <= std::min(int(cy) + reach + 1, box.bottom); ++py)
            for (int px = std::max(int(cx) - reach, box.left); px <= std::min(int(cx) + reach + 1, box.right); ++px) {
                const double dx = px - cx, dy = py - cy;
                const double r2 = dx * dx + dy * dy;
                const double level = grey(picture.pixel(px, py));
                const double light = (level - background) * std::exp(-r2 / (2 * sigma * sigma));
                if (r2 <= kPeakReachPx * kPeakReachPx)
                    peak = std::max(peak, level);
                sum += light;
                sumX += light * dx;
                sumY += light * dy;
                sumXX += light * dx * dx;
                sumYY += light * dy * dy;
                sumXY += light * dx * dy;
            }
        if (sum <= 0)
            return std::nullopt;
        const double shiftX = sumX / sum, shiftY = sumY / sum;
        xx = sumXX / sum - shiftX * shiftX;
        yy = sumYY / sum - shiftY * shiftY;
        xy = sumXY / sum - shiftX * shiftY;
        const double weighted = (xx + yy) / 2.0; // per axis
        if (weighted <= 0)
            return std::nullopt;
        cx = std::clamp(cx + shiftX, double(box.left), double(box.right));
        cy = std::clamp(cy + shiftY, double(box.top), double(box.bottom));
        // A Gaussian star of spread s seen through a Gaussian weight of the same s
        // shows s^2 / 2: the weight that shows half its own square is the star's.
        const double next = std::min(std::sqrt(2 * weighted), std::max(half, 1.0));
        const bool settled = std::fabs(next - sigma) < kSettledPx;
        sigma = next;
        if (settled)
            break;
    }
    return StarProfile{kFwhmPerSigma * sigma, int(std::lround(peak)), roundnessOf(xx, yy, xy, sigma), cx, cy};
}

double peakAbove(const PixelView &picture, double x, double y, double background)
{
    const int cx = pixelIndex(x), cy = pixelIndex(y);
    double brightest = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            brightest = std::max(brightest, grey(picture.pixel(cx + dx, cy + dy)) - background);
    return brightest;
}

} // namespace orvane
