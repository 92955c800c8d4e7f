#include "guide_star_set.h"

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

double median(std::vector<double> values)
{
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2 == 1)
        return *middle;
    return (*middle + *std::max_element(values.begin(), middle)) / 2;
}

constexpr double kOwnSeeingPx = 0.2;  // pixels: seeing moves each star about this far on its own, each axis
constexpr double kCentreNoisePx = 2.0; // pixels x snr: a centre's noise at snr 1 (about a FWHM of 3 px)

double distance(QPointF a, QPointF b) { return std::hypot(a.x() - b.x(), a.y() - b.y()); }

} // namespace

std::vector<QPointF> findOtherGuideStars(const PixelView &picture, QPointF main, int boxSize, double minSnr,
                                         int count, StarMeasurer measure)
{
    struct Found {
        QPointF at;
        double snr;
    };
    std::vector<Found> found;
    if (count <= 0 || boxSize <= 0)
        return {};
    // Boxes overlapping by half cover the picture; a star in two of them is found twice and kept once.
    const int step = std::max(4, boxSize / 2);
    for (int y = boxSize; y + boxSize < picture.height; y += step)
        for (int x = boxSize; x + boxSize < picture.width; x += step) {
            const StarMeasurement m = measure(picture, x, y, boxSize, minSnr);
            if (!m.found)
                continue;
            const QPointF at(x + m.driftX, y + m.driftY);
            if (at.x() < boxSize || at.y() < boxSize || at.x() > picture.width - boxSize ||
                at.y() > picture.height - boxSize || distance(at, main) < boxSize)
                continue;
            found.push_back({at, m.snr});
        }
    std::sort(found.begin(), found.end(), [](const Found &a, const Found &b) { return a.snr > b.snr; });
    std::vector<QPointF> chosen;
    for (const Found &f : found) {
        if (int(chosen.size()) >= count)
            break;
        const bool apart = std::all_of(chosen.begin(), chosen.end(),
                                       [&](QPointF c) { return distance(c + main, f.at) >= boxSize; });
        if (apart)
            chosen.push_back(f.at - main);
    }
    return chosen;
}

CombinedDrift combineDrifts(const std::vector<StarDrift> &stars)
{
    std::vector<const StarDrift *> seen;
    for (const StarDrift &s : stars)
        if (s.found)
            seen.push_back(&s);
    CombinedDrift c;
    if (seen.empty())
        return c;
    std::vector<bool> kept(seen.size(), true);
    if (seen.size() == 2 && distance(seen[0]->driftPx, seen[1]->driftPx) > kStrayPx) {
        kept[seen[0]->snr >= seen[1]->snr ? 1 : 0] = false;
    } else if (seen.size() > 2) {
        std::vector<double> xs, ys;
        for (const StarDrift *s : seen) {
            xs.push_back(s->driftPx.x());
            ys.push_back(s->driftPx.y());
        }
        const QPointF middle(median(xs), median(ys));
        for (size_t i = 0; i < seen.size(); ++i)
            kept[i] = distance(seen[i]->driftPx, middle) <= kStrayPx;
    }
    double weights = 0;
    for (size_t i = 0; i < seen.size(); ++i) {
        if (!kept[i]) {
            ++c.strayed;
            continue;
        }
        // A centre's error: the seeing's own share of each star, and the noise's, which goes as 1 / snr.
        const double noisePx = kCentreNoisePx / std::max(seen[i]->snr, 1e-3);
        const double w = 1.0 / (kOwnSeeingPx * kOwnSeeingPx + noisePx * noisePx);
        c.driftPx += w * seen[i]->driftPx;
        weights += w;
        c.snr += seen[i]->snr * seen[i]->snr;
        ++c.used;
    }
    if (c.used == 0 || weights <= 0)
        return {};
    c.driftPx /= weights;
    c.snr = std::sqrt(c.snr);
    c.found = true;
    return c;
}

} // namespace orvane
