#include "star_watch.h"

#include "centroid_measurement.h"

namespace orvane {

StarWatch watchStar(Rig &rig, double x, double y, int32_t exposureMs, double seconds,
                    const std::function<bool()> &stopAsked, const std::function<void(const WatchedPlace &)> &progress)
{
    const RigContext &c = rig.context();
    StarWatch watch;
    c.camera.setSequencing(true);
    c.picture.setSequenceWriting(true);
    rig.writePort(c.settings.ExposureState);
    const uint32_t began = c.clock.now();
    while (double(elapsedMs(began, c.clock.now())) < seconds * 1000) {
        const uint32_t due = c.clock.now() + uint32_t(exposureMs);
        while (!reached(c.clock.now(), due) && !(stopAsked && stopAsked()))
            c.pump.processEventsOrSleep(due);
        if (stopAsked && stopAsked()) {
            watch.stopped = true;
            break;
        }
        if (!rig.GrabGuideFrame()) {
            watch.failure = QStringLiteral("The camera delivered no guide frame; the watch ended.");
            break;
        }
        const QImage f = c.picture.picture().convertToFormat(QImage::Format_RGB32);
        std::vector<uint32_t> cleaned;
        PixelView view{reinterpret_cast<const uint32_t *>(f.constBits()), f.width(), f.height(),
                       f.bytesPerLine() / std::ptrdiff_t(sizeof(uint32_t))};
        if (c.guiding.Dark && c.guiding.Dark->width == view.width && c.guiding.Dark->height == view.height) {
            cleaned = withoutDark(view, *c.guiding.Dark);
            view = {cleaned.data(), view.width, view.height, view.width};
        }
        const StarMeasurement m = measureCentroid(view, x, y, c.settings.GuideBoxSize, c.guiding.MinStarSnr);
        if (!m.found) {
            watch.failure = QStringLiteral("The star was lost during the watch: is a cloud passing?");
            break;
        }
        x += m.driftX;
        y += m.driftY;
        const WatchedPlace place{elapsedMs(began, c.clock.now()) / 1000.0, x, y};
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
