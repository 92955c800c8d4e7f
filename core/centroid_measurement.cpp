#include "centroid_measurement.h"

#include "grey_levels.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <cmath>
#include <vector>

namespace orvane {

namespace {

constexpr double kMadToSigma = 1.4826;   // median absolute deviation to Gaussian sigma
constexpr double kNoiseFloor = 0.5;      // grey levels: a flat box still has quantisation noise
constexpr double kHotSigmas = 5;         // a lone pixel this far above its surroundings is hot...
constexpr double kNeighbourShare = 0.25; // ...when its brightest neighbour holds less than this share of it
constexpr double kDiscRadiusPx = 4.5;    // the star's light is weighed inside this circle (seeing FWHM about 2.6 px)
constexpr int kRecentreRounds = 4;       // the disc follows the centre found; a round moves it less than 0.01 px
constexpr int kChannelSums = 3 * 255 + 1; // red + green + blue of a pixel
// The star-shaped weights of the refined centre.
constexpr int kWeightedRounds = 8;            // each halves the distance to the centre; 8 leave 0.4%
constexpr double kStartWeightSigmaPx = 1.2;   // pixels: about the default seeing's
constexpr double kLeastWeightSigmaPx = 0.7, kMostWeightSigmaPx = 2.5; // pixels
constexpr double kWeightReachSigmas = 3;      // weights beyond this many sigma are left out

int channelSum(uint32_t colour)
{
    return int((colour & 0xFF) + ((colour >> 8) & 0xFF) + ((colour >> 16) & 0xFF));
}

// greyLevel of every channel sum, looked up: the guide step weighs thousands of pixels.
const std::array<double, kChannelSums> &greyOfSum()
{
    static const std::array<double, kChannelSums> table = [] {
        std::array<double, kChannelSums> t{};
        for (int k = 0; k < kChannelSums; ++k)
            t[size_t(k)] = double(k) / 3.0; // as greyLevel
        return t;
    }();
    return table;
}

// The box's background (the median grey level) and the median distance of its
// levels from it, as medianOf gives them, from a count of each channel sum.
struct BoxLevels {
    double background = 0, medianDeviation = 0;
};
BoxLevels boxLevels(const PixelView &picture, int left, int top, int right, int bottom)
{
    std::array<int, kChannelSums> counts{};
    int total = 0;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            ++counts[size_t(channelSum(picture.pixel(x, y)))];
            ++total;
        }
    const auto &grey = greyOfSum();
    // The value at sorted place total / 2 (the upper middle), of sorted (value, count) pairs.
    auto atMiddle = [total](std::vector<std::pair<double, int>> &values) {
        std::sort(values.begin(), values.end());
        int seen = 0;
        for (const auto &[value, count] : values) {
            seen += count;
            if (seen > total / 2)
                return value;
        }
        return values.back().first;
    };
    std::vector<std::pair<double, int>> present;
    for (int k = 0; k < kChannelSums; ++k)
        if (counts[size_t(k)] > 0)
            present.emplace_back(grey[size_t(k)], counts[size_t(k)]);
    BoxLevels b;
    b.background = atMiddle(present);
    for (auto &[value, count] : present)
        value = std::fabs(value - b.background);
    b.medianDeviation = atMiddle(present);
    return b;
}

// A pixel's centre lies within the disc about (cx, cy): hypot's answer, with
// the square root taken only near the rim.
bool withinDisc(double dx, double dy)
{
    constexpr double kInside = kDiscRadiusPx * kDiscRadiusPx * (1 - 1e-9), kOutside = kDiscRadiusPx * kDiscRadiusPx * (1 + 1e-9);
    const double squared = dx * dx + dy * dy;
    if (squared < kInside)
        return true;
    if (squared > kOutside)
        return false;
    return std::hypot(dx, dy) <= kDiscRadiusPx;
}

// Grey levels above background of the area around the box (the box and a disc
// radius beyond, on the picture), with lone hot pixels set to their surroundings.
class CleanArea {
public:
    CleanArea(const PixelView &picture, int left, int top, int right, int bottom, double background, double noise)
        : left_(left), top_(top), width_(right - left + 1), height_(bottom - top + 1)
    {
        levels_.resize(size_t(width_) * size_t(height_));
        const auto &grey = greyOfSum();
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x)
                at(x, y) = grey[size_t(channelSum(picture.pixel(x, y)))] - background;
        std::vector<double> raw;
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x) {
                if (levels_[index(x, y)] < kHotSigmas * noise)
                    continue;
                if (raw.empty())
                    raw = levels_; // a spike's neighbours are judged as the camera gave them
                const double v = raw[index(x, y)];
                std::array<double, 8> around{};
                size_t count = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if ((dx || dy) && inside(x + dx, y + dy))
                            around[count++] = raw[index(x + dx, y + dy)];
                // A star's core always has lit neighbours; a lone spike takes their middle level.
                if (count > 0 && *std::max_element(around.begin(), around.begin() + ptrdiff_t(count)) < kNeighbourShare * v) {
                    const auto middle = around.begin() + ptrdiff_t(count / 2);
                    std::nth_element(around.begin(), middle, around.begin() + ptrdiff_t(count));
                    at(x, y) = *middle; // as medianOf
                }
            }
    }
    bool inside(int x, int y) const { return x >= left_ && y >= top_ && x < left_ + width_ && y < top_ + height_; }
    double level(int x, int y) const { return inside(x, y) ? levels_[index(x, y)] : 0.0; }
    // The pixel of the box whose 3 x 3 neighbourhood holds the most light
    // (outside the area counting 0), the first of equals in row order.
    std::pair<int, int> brightestCore(int left, int top, int right, int bottom) const
    {
        const int width = right - left + 1;
        // Each row's sums of three across, then three of those down.
        std::vector<double> across(size_t(width) * size_t(bottom - top + 3), 0.0);
        for (int y = top - 1; y <= bottom + 1; ++y) {
            double *row = across.data() + size_t(y - top + 1) * size_t(width);
            for (int x = left; x <= right; ++x)
                row[x - left] = level(x - 1, y) + level(x, y) + level(x + 1, y);
        }
        double best = -1e18;
        std::pair<int, int> core{left, top};
        for (int y = top; y <= bottom; ++y) {
            const double *above = across.data() + size_t(y - top) * size_t(width);
            for (int x = 0; x < width; ++x) {
                const double sum = above[x] + above[x + width] + above[x + 2 * width];
                if (sum > best) {
                    best = sum;
                    core = {left + x, y};
                }
            }
        }
        return core;
    }

private:
    size_t index(int x, int y) const { return size_t(y - top_) * size_t(width_) + size_t(x - left_); }
    double &at(int x, int y) { return levels_[index(x, y)]; }
    int left_, top_, width_, height_;
    std::vector<double> levels_;
};

// The star's centre refined with weights shaped like the star: each pixel
// counts by how much of the star's light it holds, so the faint wings, where
// the sky's noise outweighs the star, pull the centre little. The weights'
// width follows the star's own (adaptive second moments); a weighted centre
// of a round star lies on its true centre, and each round halves the way left.
// Nothing when the light under the weights is too little to trust.
std::optional<std::pair<double, double>> weightedCentre(const CleanArea &area, double cx, double cy)
{
    double sigma = kStartWeightSigmaPx;
    for (int round = 0; round < kWeightedRounds; ++round) {
        const double reach = std::min(kWeightReachSigmas * sigma, kDiscRadiusPx + 1); // pixels
        const double twoSigma2 = 2 * sigma * sigma;
        double sum = 0, sx = 0, sy = 0, sr2 = 0;
        for (int y = int(std::floor(cy - reach)); y <= int(std::ceil(cy + reach)); ++y)
            for (int x = int(std::floor(cx - reach)); x <= int(std::ceil(cx + reach)); ++x) {
                const double dx = x - cx, dy = y - cy, r2 = dx * dx + dy * dy;
                if (r2 > reach * reach || !area.inside(x, y))
                    continue;
                const double wv = std::exp(-r2 / twoSigma2) * area.level(x, y); // unclipped: noise averages out
                sum += wv;
                sx += wv * dx;
                sy += wv * dy;
                sr2 += wv * r2;
            }
        if (sum <= 0)
            return std::nullopt;
        const double stepX = sx / sum, stepY = sy / sum;
        if (std::fabs(stepX) > 1 || std::fabs(stepY) > 1)
            return std::nullopt; // the weights found no steady centre: the disc's stands
        cx += stepX;
        cy += stepY;
        // For a round Gaussian star the weighted second moment per axis is
        // sigma_star^2 sigma_w^2 / (sigma_star^2 + sigma_w^2): the weights match
        // the star when sigma_w^2 is twice it.
        const double matched = std::sqrt(std::max(sr2 / sum, 0.0)); // sqrt(2 x per-axis moment)
        sigma = std::clamp(matched, kLeastWeightSigmaPx, kMostWeightSigmaPx);
    }
    return std::pair{cx, cy};
}

} // namespace

StarMeasurement measureCentroid(const PixelView &picture, double markX, double markY, int boxSize, double minSnr)
{
    StarMeasurement m;
    const double half = boxSize / 2.0; // pixels
    const int left = std::max(pixelIndex(markX - half), 0), right = std::min(pixelIndex(markX + half), picture.width - 1);
    const int top = std::max(pixelIndex(markY - half), 0), bottom = std::min(pixelIndex(markY + half), picture.height - 1);
    m.driftX = -markX;
    m.driftY = -markY;
    if (left > right || top > bottom)
        return m; // the box lies off the picture

    const BoxLevels box = boxLevels(picture, left, top, right, bottom);
    const double background = box.background;
    const double noise = std::max(kMadToSigma * box.medianDeviation, kNoiseFloor);
    m.background = background;

    const int reach = int(std::ceil(kDiscRadiusPx));
    const CleanArea area(picture, std::max(left - reach, 0), std::max(top - reach, 0),
                         std::min(right + reach, picture.width - 1), std::min(bottom + reach, picture.height - 1),
                         background, noise);

    // The star's core, where the disc starts.
    const auto [coreX, coreY] = area.brightestCore(left, top, right, bottom);

    // The light's centre inside a disc that follows it; levels below the
    // background weigh nothing, so sky noise pulls the centre little.
    double cx = coreX, cy = coreY, mass = 0;
    int discPixels = 0;
    for (int round = 0; round < kRecentreRounds; ++round) {
        double sx = 0, sy = 0, sum = 0, light = 0;
        int count = 0;
        for (int y = int(std::floor(cy - kDiscRadiusPx)); y <= int(std::ceil(cy + kDiscRadiusPx)); ++y)
            for (int x = int(std::floor(cx - kDiscRadiusPx)); x <= int(std::ceil(cx + kDiscRadiusPx)); ++x) {
                if (!withinDisc(x - cx, y - cy) || !area.inside(x, y))
                    continue;
                light += area.level(x, y); // unclipped: the sky's noise adds nothing on average
                const double v = std::max(area.level(x, y), 0.0);
                sx += v * x;
                sy += v * y;
                sum += v;
                ++count;
            }
        if (sum <= 0)
            break;
        cx = sx / sum;
        cy = sy / sum;
        mass = light;
        discPixels = count;
    }
    if (mass <= 0)
        return m;
    if (const auto refined = weightedCentre(area, cx, cy)) {
        cx = refined->first;
        cy = refined->second;
    }
    m.driftX = cx - markX;
    m.driftY = cy - markY;
    m.runX = int(std::lround(cx));
    m.runY = int(std::lround(cy));
    m.mass = mass;
    m.snr = mass / (noise * std::sqrt(double(discPixels)));
    // The centre must lie in the box: a star that has left it is not followed.
    const bool inBox = m.runX >= left && m.runX <= right && m.runY >= top && m.runY <= bottom;
    m.found = inBox && m.snr >= minSnr;
    return m;
}

} // namespace orvane
