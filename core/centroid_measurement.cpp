#include "centroid_measurement.h"

#include "grey_levels.h"

#include <algorithm>
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

// Grey levels above background of the area around the box (the box and a disc
// radius beyond, on the picture), with lone hot pixels set to their surroundings.
class CleanArea {
public:
    CleanArea(const PixelView &picture, int left, int top, int right, int bottom, double background, double noise)
        : left_(left), top_(top), width_(right - left + 1), height_(bottom - top + 1)
    {
        levels_.resize(size_t(width_) * size_t(height_));
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x)
                at(x, y) = greyLevel(picture.pixel(x, y)) - background;
        std::vector<double> raw = levels_;
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x) {
                const double v = raw[index(x, y)];
                if (v < kHotSigmas * noise)
                    continue;
                std::vector<double> around;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if ((dx || dy) && inside(x + dx, y + dy))
                            around.push_back(raw[index(x + dx, y + dy)]);
                // A star's core always has lit neighbours; a lone spike takes their middle level.
                if (*std::max_element(around.begin(), around.end()) < kNeighbourShare * v)
                    at(x, y) = medianOf(around);
            }
    }
    bool inside(int x, int y) const { return x >= left_ && y >= top_ && x < left_ + width_ && y < top_ + height_; }
    double level(int x, int y) const { return inside(x, y) ? levels_[index(x, y)] : 0.0; }

private:
    size_t index(int x, int y) const { return size_t(y - top_) * size_t(width_) + size_t(x - left_); }
    double &at(int x, int y) { return levels_[index(x, y)]; }
    int left_, top_, width_, height_;
    std::vector<double> levels_;
};

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

    std::vector<double> levels;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            levels.push_back(greyLevel(picture.pixel(x, y)));
    const double background = medianOf(levels);
    for (double &v : levels)
        v = std::fabs(v - background);
    const double noise = std::max(kMadToSigma * medianOf(levels), kNoiseFloor);
    m.background = background;

    const int reach = int(std::ceil(kDiscRadiusPx));
    const CleanArea area(picture, std::max(left - reach, 0), std::max(top - reach, 0),
                         std::min(right + reach, picture.width - 1), std::min(bottom + reach, picture.height - 1),
                         background, noise);

    // The star's core: the pixel of the box whose 3 x 3 neighbourhood holds the most light.
    double best = -1e18;
    int coreX = left, coreY = top;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            double sum = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    sum += area.level(x + dx, y + dy);
            if (sum > best) {
                best = sum;
                coreX = x;
                coreY = y;
            }
        }

    // The light's centre inside a disc that follows it; levels below the
    // background weigh nothing, so sky noise pulls the centre little.
    double cx = coreX, cy = coreY, mass = 0;
    int discPixels = 0;
    for (int round = 0; round < kRecentreRounds; ++round) {
        double sx = 0, sy = 0, sum = 0, light = 0;
        int count = 0;
        for (int y = int(std::floor(cy - kDiscRadiusPx)); y <= int(std::ceil(cy + kDiscRadiusPx)); ++y)
            for (int x = int(std::floor(cx - kDiscRadiusPx)); x <= int(std::ceil(cx + kDiscRadiusPx)); ++x) {
                if (std::hypot(x - cx, y - cy) > kDiscRadiusPx || !area.inside(x, y))
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
