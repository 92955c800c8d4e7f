// Several guide stars for the centroid way: beside the marked star, the
// brightest others of the picture, each followed in a box of its own.
#include "rig.h"

#include "guide_star_set.h"

namespace orvane {

void Rig::chooseOtherStars(const PixelView &view)
{
    GuidingState &g = c_.guiding;
    g.OtherStars.clear();
    if (g.Options.guideStars <= 1)
        return;
    const QPointF main(c_.sequence.StarX + g.LockDX, c_.sequence.StarY + g.LockDY); // pixels
    g.OtherStars = findOtherGuideStars(view, main, c_.settings.GuideBoxSize, g.MinStarSnr, g.Options.guideStars - 1,
                                       g.Algorithm->measure);
}

void Rig::combineOtherStars(const PixelView &view, double lockX, double lockY, const StarMeasurement &main)
{
    GuidingState &g = c_.guiding;
    std::vector<StarDrift> stars{{QPointF(main.driftX, main.driftY), main.snr, main.found}};
    for (const QPointF &other : g.OtherStars) {
        const StarMeasurement m = g.Algorithm->measure(view, lockX + other.x(), lockY + other.y(),
                                                       c_.settings.GuideBoxSize, g.MinStarSnr);
        stars.push_back({QPointF(m.driftX, m.driftY), m.snr, m.found});
    }
    const CombinedDrift combined = combineDrifts(stars);
    g.StarsUsed = combined.used;
    g.StarFound = combined.found;
    if (!combined.found)
        return; // every star lost: the main star's measurement stands
    g.DriftX = float(combined.driftPx.x());
    g.DriftY = float(combined.driftPx.y());
    g.StarSnr = combined.snr;
}

} // namespace orvane
