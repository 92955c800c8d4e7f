#include "star_choice.h"

#include "centroid_measurement.h"
#include "star_profile.h"

#include "grey_levels.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <vector>

namespace orvane {

namespace {

constexpr double kMadToSigma = 1.4826;   // median absolute deviation to Gaussian sigma
constexpr double kNoiseFloor = 0.5;      // grey levels: a flat picture still has quantisation noise
constexpr double kDetectSigmas = 5;      // a 3 x 3 sum this far above the sky's is a spot
constexpr int kSampleStep = 7;           // pixels: the sky's level is read from every 7th pixel
constexpr double kHotShare = 0.25;       // a peak whose brightest neighbour holds less of it is one lit pixel
constexpr double kNeighbourShare = 1.0 / 3; // a spot this bright beside a star can take the box
constexpr double kSameSpotPx = 3;        // maxima closer than this are one star
constexpr int kMeasureBoxPx = 16;        // the star's light and shape are weighed in this box
constexpr size_t kMostCandidates = 60;   // the brightest spots looked at closely

struct Spot {
    int x, y;
    double light; // 3 x 3 sum above the sky, grey levels
    bool hot = false;
};

enum Verdict { Faint, Hot, Saturated, Edge, Crowded, Trailed, Good, kVerdicts };

QString countText(int n, const char *one, const char *many)
{
    return n == 1 ? QStringLiteral("1 %1").arg(QLatin1String(one)) : QStringLiteral("%1 %2").arg(n).arg(QLatin1String(many));
}

} // namespace

StarChoice chooseGuideStar(const PixelView &picture, const StarChoiceLimits &limits)
{
    StarChoice choice;
    const int w = picture.width, h = picture.height;
    if (w < 3 || h < 3 || !picture.pixels) {
        choice.reason = QStringLiteral("There is no picture to look for a star in: take one first (Imaging > Loop).");
        return choice;
    }
    std::vector<double> level(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            level[size_t(y) * size_t(w) + size_t(x)] = greyLevel(picture.pixel(x, y));
    auto at = [&](int x, int y) { return level[size_t(y) * size_t(w) + size_t(x)]; };

    std::vector<double> sample;
    for (size_t i = 0; i < level.size(); i += kSampleStep)
        sample.push_back(level[i]);
    const double sky = medianOf(sample);
    for (double &v : sample)
        v = std::fabs(v - sky);
    const double noise = std::max(kMadToSigma * medianOf(sample), kNoiseFloor);

    // Spots: maxima of the 3 x 3 sums (noise sigma 3 x noise) well above the sky's.
    std::vector<double> sums(level.size(), 0);
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) {
            double s = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    s += at(x + dx, y + dy);
            sums[size_t(y) * size_t(w) + size_t(x)] = s - 9 * sky;
        }
    auto sumAt = [&](int x, int y) { return sums[size_t(y) * size_t(w) + size_t(x)]; };
    std::vector<Spot> spots;
    for (int y = 2; y < h - 2; ++y)
        for (int x = 2; x < w - 2; ++x) {
            const double s = sumAt(x, y);
            if (s <= kDetectSigmas * 3 * noise)
                continue;
            bool highest = true; // ties go to the first in reading order
            for (int dy = -1; dy <= 1 && highest; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const bool before = dy < 0 || (dy == 0 && dx < 0);
                    const double other = sumAt(x + dx, y + dy);
                    if ((dx || dy) && (other > s || (before && other == s))) {
                        highest = false;
                        break;
                    }
                }
            if (highest)
                spots.push_back({x, y, s});
        }
    std::sort(spots.begin(), spots.end(), [](const Spot &a, const Spot &b) { return a.light > b.light; });
    std::vector<Spot> distinct;
    for (const Spot &s : spots) {
        const bool same = std::any_of(distinct.begin(), distinct.end(), [&](const Spot &d) {
            return std::hypot(d.x - s.x, d.y - s.y) < kSameSpotPx;
        });
        if (!same)
            distinct.push_back(s);
    }
    // Lone lit pixels: the brightest pixel of the spot with no lit neighbour.
    for (Spot &s : distinct) {
        int px = s.x, py = s.y;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (at(s.x + dx, s.y + dy) > at(px, py)) {
                    px = s.x + dx;
                    py = s.y + dy;
                }
        double brightestNeighbour = -1e9;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if ((dx || dy) && px + dx >= 0 && py + dy >= 0 && px + dx < w && py + dy < h)
                    brightestNeighbour = std::max(brightestNeighbour, at(px + dx, py + dy) - sky);
        s.hot = brightestNeighbour < kHotShare * (at(px, py) - sky);
    }
    choice.candidates = int(distinct.size());

    int counts[kVerdicts] = {};
    const double half = limits.boxSize / 2.0; // pixels
    double bestSnr = -1;
    for (size_t i = 0; i < distinct.size() && i < kMostCandidates; ++i) {
        const Spot &s = distinct[i];
        Verdict verdict = Good;
        StarMeasurement m;
        if (s.hot) {
            verdict = Hot;
        } else {
            double brightest = 0;
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    brightest = std::max(brightest, greyLevel(picture.pixel(s.x + dx, s.y + dy)));
            m = measureCentroid(picture, s.x, s.y, kMeasureBoxPx, limits.minSnr);
            const double cx = s.x + m.driftX, cy = s.y + m.driftY;
            const bool crowded = std::any_of(distinct.begin(), distinct.end(), [&](const Spot &o) {
                return &o != &s && !o.hot && o.light >= kNeighbourShare * s.light &&
                       std::abs(o.x - s.x) <= half && std::abs(o.y - s.y) <= half;
            });
            const std::optional<StarProfile> profile = starProfile(picture, cx, cy, kMeasureBoxPx / 2);
            if (brightest >= limits.saturatedGrey)
                verdict = Saturated;
            else if (cx < half || cy < half || cx > w - 1 - half || cy > h - 1 - half)
                verdict = Edge;
            else if (crowded)
                verdict = Crowded;
            else if (!m.found)
                verdict = Faint;
            else if (!profile || profile->roundness < limits.leastRoundness)
                verdict = Trailed;
            if (verdict == Good && m.snr > bestSnr) {
                bestSnr = m.snr;
                choice.found = true;
                choice.x = cx;
                choice.y = cy;
                choice.snr = m.snr;
            }
        }
        ++counts[verdict];
    }
    if (choice.found)
        return choice;
    if (distinct.empty()) {
        choice.reason = QStringLiteral("No star stands out of the noise anywhere in the picture: check the focus and that "
                                       "the camera sees the sky, or lengthen \"Guide sec\".");
        return choice;
    }
    QStringList why;
    if (counts[Faint])
        why << countText(counts[Faint], "is too faint", "are too faint");
    if (counts[Hot])
        why << countText(counts[Hot], "is a lone hot pixel", "are lone hot pixels");
    if (counts[Saturated])
        why << countText(counts[Saturated], "is saturated", "are saturated");
    if (counts[Edge])
        why << countText(counts[Edge], "is too near the edge", "are too near the edge");
    if (counts[Crowded])
        why << countText(counts[Crowded], "has a bright neighbour in its guide box",
                         "have a bright neighbour in their guide box");
    if (counts[Trailed])
        why << countText(counts[Trailed], "is not round", "are not round");
    choice.reason = QStringLiteral("No star here suits guiding: of the spots that stand out, %1. Move to another "
                                   "field, or mark a star by clicking it.")
                        .arg(why.join(QStringLiteral(", ")));
    return choice;
}

} // namespace orvane
