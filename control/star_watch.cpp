#include "star_watch.h"

#include "centroid_measurement.h"

namespace orvane {

std::optional<QPointF> starOnGuideFrame(Rig &rig, QPointF nearPx, bool *lost)
{
    const RigContext &c = rig.context();
    if (lost)
        *lost = false;
    if (!rig.GrabGuideFrame())
        return std::nullopt;
    const QImage f = c.picture.picture().convertToFormat(QImage::Format_RGB32);
    std::vector<uint32_t> cleaned;
    PixelView view{reinterpret_cast<const uint32_t *>(f.constBits()), f.width(), f.height(),
                   f.bytesPerLine() / std::ptrdiff_t(sizeof(uint32_t))};
    if (const GuideDark *dark = rig.guideDarkFor(view)) {
        cleaned = withoutDark(view, *dark);
        view = {cleaned.data(), view.width, view.height, view.width};
    }
    const StarMeasurement m = measureCentroid(view, nearPx.x(), nearPx.y(), c.settings.GuideBoxSize, c.guiding.MinStarSnr);
    if (!m.found) {
        if (lost)
            *lost = true;
        return std::nullopt;
    }
    return nearPx + QPointF(m.driftX, m.driftY);
}

StarWatch watchStar(Rig &rig, double x, double y, int32_t exposureMs, double seconds,
                    const std::function<bool()> &stopAsked, const std::function<void(const WatchedPlace &)> &progress)
{
    const RigContext &c = rig.context();
    StarWatch watch;
    c.camera.setSequencing(true);
    c.picture.setSequenceWriting(true);
    rig.writePort(c.settings.ExposureState);
    c.guiding.GuideExposureMs = exposureMs;
    const uint32_t began = c.clock.now();
    QPointF star(x, y);
    while (double(elapsedMs(began, c.clock.now())) < seconds * 1000) {
        const uint32_t due = c.clock.now() + uint32_t(exposureMs);
        while (!reached(c.clock.now(), due) && !(stopAsked && stopAsked()))
            c.pump.processEventsOrSleep(due);
        if (stopAsked && stopAsked()) {
            watch.stopped = true;
            break;
        }
        bool lost = false;
        const std::optional<QPointF> found = starOnGuideFrame(rig, star, &lost);
        if (!found) {
            watch.failure = lost ? QStringLiteral("The star was lost during the watch: is a cloud passing?")
                                 : QStringLiteral("The camera delivered no guide frame; the watch ended.");
            break;
        }
        star = *found;
        const WatchedPlace place{elapsedMs(began, c.clock.now()) / 1000.0, star.x(), star.y()};
        watch.places.push_back(place);
        if (progress)
            progress(place);
    }
    rig.writePort(c.settings.GetImageState);
    c.picture.setSequenceWriting(false);
    c.camera.setSequencing(false);
    return watch;
}

} // namespace orvane
