// The camera read-outs: the printer-port bytes that switch the modified webcam
// out of its long exposure and back, held for the configured delays, and the
// frame the capture device delivers afterwards placed into the picture area.

#include "rig.h"

#include <algorithm>
#include <cstring>

namespace orvane {

namespace {

// The move timer, run while the capture device is waited for a fresh frame, so
// a correction still ends on time during the read-out.
class MoveTimerService : public WaitService {
public:
    explicit MoveTimerService(Rig &rig) : rig_(rig) {}
    std::optional<uint32_t> nextDueMs() const override
    {
        return rig_.context().panel.guidingTicked() ? rig_.nextMoveCheckMs() : std::nullopt;
    }
    void serve() override { rig_.ServiceGuideMoves(); }

private:
    Rig &rig_;
};

} // namespace

bool Rig::GrabGuideFrame()
{
    const Settings &s = c_.settings;
    const uint32_t t0 = c_.clock.now();
    writePort(s.GetGuideState);
    ServicedWait(t0, s.ImageDelay);
    writePort(s.ExposureState); // the long exposure integrates on
    return TakeFrame();
}

bool Rig::GrabImageFrame()
{
    const Settings &s = c_.settings;
    const uint32_t t0 = c_.clock.now();
    writePort(s.AmpOnState); // the exposure ends here
    c_.sequence.ReadOut = c_.sequence.Exposing;
    c_.sequence.ReadOut.endMs = t0;
    ServicedWait(t0, s.AmpDelay);
    const uint32_t t1 = c_.clock.now();
    writePort(s.GetImageState);
    ServicedWait(t1, s.ImageDelay);
    startExposure(); // the next one starts here
    if (!TakeFrame())
        return false; // an older picture is not this frame: its rows stay as they are
    if (!c_.panel.lineDoublingTicked())
        return true;
    // "2x1 Bin": the camera delivers every other line; the doubled frame is what gets saved.
    const QString kept = c_.panel.status();
    c_.panel.setStatus(QStringLiteral("deinterlace"));
    c_.pump.processEvents(); // so the word shows
    doubleLines();
    c_.picture.refresh();
    c_.picture.surfaceToPicture();
    c_.panel.setStatus(kept);
    return true;
}

void Rig::startExposure()
{
    c_.sequence.Exposing = ExposureRecord{};
    c_.sequence.Exposing.startMs = c_.clock.now();
    writePort(c_.settings.ExposureState);
    askPointing(); // answered long before the frame is saved
}

bool Rig::TakeFrame()
{
    MoveTimerService moveTimer(*this);
    std::optional<QImage> frame = c_.camera.copyFrame(&moveTimer); // a failing camera tells the panel itself
    if (!frame || frame->isNull())
        return false; // the picture keeps what it showed
    if (c_.picture.reserved()) {
        // A batch works on the picture area; a frame here would end up in its file.
        c_.panel.notify(QStringLiteral("A camera frame was not shown because %1 is using the picture area.")
                            .arg(c_.picture.holder()));
        return false;
    }
    c_.picture.setPicture(*frame);
    return true;
}

void Rig::doubleLines()
{
    // The surface is always 640 x 480, so rows 0..479 all exist whatever the frame size.
    QImage &surface = c_.picture.surfaceForWriting();
    uchar *bits = surface.bits(); // one detach, before any row is touched
    const qsizetype stride = surface.bytesPerLine();
    const size_t rowBytes = size_t(surface.width()) * size_t(surface.depth() / 8);
    const int height = std::min(surface.height(), int(PictureArea::kHeight));
    for (int y = 0; y + 1 < height; y += 2)
        std::memcpy(bits + y * stride, bits + (y + 1) * stride, rowBytes);
}

} // namespace orvane
