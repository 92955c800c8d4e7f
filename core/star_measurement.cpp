#include "star_measurement.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace orvane {

namespace {

constexpr int kRunLength = 6;            // pixels in the horizontal run the search sums
constexpr double kMadToSigma = 1.4826;   // median absolute deviation to Gaussian sigma
constexpr double kNoiseFloor = 0.5;      // grey levels: a flat box still has quantisation noise
constexpr double kNeighbourShare = 0.25; // a star's neighbour holds at least this share of its peak

// Picture pixels of the box that lie on the picture, inclusive.
struct PixelBox {
    int left, top, right, bottom;
};

struct Run {
    double sum = 0; // sum of the run's colour numbers; 0 when nothing above black was seen
    int endX = 0;   // pixels: the run's right end
    int y = 0;
};

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

// The brightest run whose right end lies in columns colFrom..colTo of rows
// rowFrom..rowTo. Sums are exact in double precision (colour numbers are whole
// and < 2^24), so equal runs stay equal and the first of them wins.
Run brightestRun(const PixelView &picture, int rowFrom, int rowTo, int colFrom, int colTo)
{
    Run best;
    for (int y = rowFrom; y <= rowTo && colFrom <= colTo; ++y) {
        double sum = 0;
        for (int x = colFrom - kRunLength; x < colFrom; ++x)
            sum += picture.pixel(x, y);
        for (int j = colFrom; j <= colTo; ++j) {
            sum += double(picture.pixel(j, y)) - double(picture.pixel(j - kRunLength, y));
            if (sum > best.sum)
                best = {sum, j, y};
        }
    }
    return best;
}

// Checks the run ending at (runEndX, runY) against the box's background
// (median) and noise (median absolute deviation), on grey levels.
void checkRun(const PixelView &picture, PixelBox box, int runEndX, int runY, StarMeasurement &m)
{
    std::vector<double> levels;
    for (int y = box.top; y <= box.bottom; ++y)
        for (int x = box.left; x <= box.right; ++x)
            levels.push_back(grey(picture.pixel(x, y)));
    if (levels.empty())
        return;
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

    m.background = background;
    m.snr = excess / (noise * std::sqrt(double(kRunLength)));
    m.onePixelPeak = peak > 0 && brightestNeighbour < kNeighbourShare * peak;
}

} // namespace

StarMeasurement measureStar(const PixelView &picture, double markX, double markY, int boxSize, double minSnr)
{
    const double half = boxSize / 2.0; // pixels; half a pixel for odd sizes

    // Half-pixel coordinates map to pixels by the same rule everywhere (nearest,
    // ties to even), so the run's first window ends just left of the first column
    // compared and the box outline lies on the searched area's edges.
    const int top = pixelIndex(markY - half);
    const int bottom = pixelIndex(markY + half);
    const int left = pixelIndex(markX - half);
    const int right = pixelIndex(markX + half);
    const int firstColumn = left + kRunLength; // the first run compared ends here

    // Outside the picture every pixel reads black, and a black run never beats
    // the best sum (only a strictly greater sum wins), so the scan is limited to
    // the rows and columns that can hold light without changing the outcome.
    const int rowFrom = std::max(top, 0), rowTo = std::min(bottom, picture.height - 1);
    const int colFrom = std::max(firstColumn, 0);
    const int colTo = std::min(right, picture.width - 1 + kRunLength - 1);

    const Run run = brightestRun(picture, rowFrom, rowTo, colFrom, colTo);
    StarMeasurement m;
    if (run.sum > 0) {
        m.runX = run.endX - 3; // the run's centre, three pixels left of its right end
        m.runY = run.y;
    }
    m.driftX = m.runX - markX;
    m.driftY = m.runY - markY;

    // Without a run above black there is nothing to check; otherwise the run must
    // stand out of the box's noise and be more than one hot pixel.
    if (run.sum > 0) {
        const PixelBox onPicture{std::max(left, 0), rowFrom, std::min(right, picture.width - 1), rowTo};
        checkRun(picture, onPicture, run.endX, run.y, m);
        m.found = !m.onePixelPeak && m.snr >= minSnr;
    }
    return m;
}

} // namespace orvane
