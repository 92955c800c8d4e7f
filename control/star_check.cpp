#include "star_check.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orvane {

namespace {

constexpr int kRunLength = 6;           // pixels in the run the search sums
constexpr double kMadToSigma = 1.4826;  // median absolute deviation to Gaussian sigma
constexpr double kNoiseFloor = 0.5;     // grey levels: a flat box still has quantisation noise
constexpr double kNeighbourShare = 0.25; // a star's neighbour holds at least this share of its peak

// Grey level of a colour number: the mean of its red, green and blue bytes.
double grey(uint32_t colour)
{
    return double((colour & 0xFF) + ((colour >> 8) & 0xFF) + ((colour >> 16) & 0xFF)) / 3.0;
}

double median(std::vector<double> &values)
{
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

} // namespace

StarCheck checkStar(const PictureArea &picture, PixelBox box, int runEndX, int runY)
{
    std::vector<double> levels;
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x)
            levels.push_back(grey(picture.pixel(x, y)));
    if (levels.empty())
        return {};
    const double background = median(levels);
    for (double &v : levels)
        v = std::fabs(v - background);
    const double noise = std::max(kMadToSigma * median(levels), kNoiseFloor);

    double excess = 0, peak = -1;
    int peakX = runEndX;
    for (int x = runEndX - kRunLength + 1; x <= runEndX; ++x) {
        const double level = grey(picture.pixel(x, runY)) - background;
        excess += level;
        if (level > peak) {
            peak = level;
            peakX = x;
        }
    }
    double brightestNeighbour = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (dx != 0 || dy != 0)
                brightestNeighbour = std::max(brightestNeighbour, grey(picture.pixel(peakX + dx, runY + dy)) - background);

    StarCheck check;
    check.snr = excess / (noise * std::sqrt(double(kRunLength)));
    check.onePixelPeak = peak > 0 && brightestNeighbour < kNeighbourShare * peak;
    return check;
}

} // namespace orvane
