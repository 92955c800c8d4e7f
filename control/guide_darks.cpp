#include "guide_darks.h"

#include <vector>

namespace orvane {

ResultOf<GuideDark> takeGuideDarks(Rig &rig, int count, int32_t exposureMs)
{
    const RigContext &c = rig.context();
    c.camera.setSequencing(true);
    c.picture.setSequenceWriting(true);
    std::vector<QImage> frames;
    QString failure;
    c.guiding.GuideExposureMs = exposureMs; // the guide frames are of this exposure now
    rig.writePort(c.settings.ExposureState);
    for (int i = 0; i < count && failure.isEmpty(); ++i) {
        const uint32_t due = c.clock.now() + uint32_t(exposureMs);
        while (!reached(c.clock.now(), due))
            c.pump.processEventsOrSleep(due);
        if (rig.GrabGuideFrame())
            frames.push_back(c.picture.picture().convertToFormat(QImage::Format_RGB32));
        else
            failure = QStringLiteral("The camera delivered no frame for guide dark %1 of %2; no darks were kept.")
                          .arg(i + 1)
                          .arg(count);
    }
    rig.writePort(c.settings.GetImageState);
    c.picture.setSequenceWriting(false);
    c.camera.setSequencing(false);
    if (!failure.isEmpty())
        return ResultOf<GuideDark>::failure(failure);
    std::vector<PixelView> views;
    for (const QImage &f : frames)
        views.push_back({reinterpret_cast<const uint32_t *>(f.constBits()), f.width(), f.height(),
                         f.bytesPerLine() / std::ptrdiff_t(sizeof(uint32_t))});
    const std::optional<GuideDark> dark = combineDarks(views, exposureMs);
    if (!dark)
        return ResultOf<GuideDark>::failure(
            QStringLiteral("The guide darks came in different sizes; no darks were kept."));
    if (darkSawLight(*dark))
        return ResultOf<GuideDark>::failure(QStringLiteral("The guide darks show stars or light: cover the telescope "
                                                           "(or the camera) and take them again; no darks were kept."));
    return *dark;
}

} // namespace orvane
