#include "frame_loop.h"

#include "numbers.h"

#include <algorithm>

namespace orvane {

namespace {

constexpr uint32_t kProgressIntervalMs = 100; // progress bar updates while a frame exposes

// Milliseconds since `from`, for spans up to 49.7 days (wrap-safe).
int64_t sinceMs(uint32_t from, uint32_t now) { return int64_t(uint32_t(now - from)); }

} // namespace

FrameLoop::FrameLoop(Rig &rig, SequencePanel &panel) : rig_(rig), panel_(panel) {}

void FrameLoop::onLoopCommand()
{
    if (running_) {
        stopAsked_ = true;
        return;
    }
    const RigContext &c = rig_.context();
    if (c.sequence.SequenceRunning == 1)
        return; // a run has the camera
    if (c.picture.reserved()) {
        panel_.showMessage(QStringLiteral("The picture area is in use by %1; loop when it has finished.")
                               .arg(c.picture.holder()));
        return;
    }
    const QString text = panel_.exposureText();
    int32_t exposureMs = 0;
    try {
        exposureMs = toInt32(numericValue(text) * 1000);
    } catch (const ConversionError &) {
        exposureMs = -1;
    }
    if (exposureMs <= 0) {
        panel_.showMessage(QStringLiteral("\"Exposure sec\" holds %1; a looped frame must last between 0.001 and "
                                          "2147483 seconds.")
                               .arg(text.trimmed()));
        return;
    }
    loop(exposureMs);
}

void FrameLoop::loop(int32_t exposureMs)
{
    const RigContext &c = rig_.context();
    running_ = true;
    stopAsked_ = false;
    frames_ = 0;
    // No correction runs outside a run (its end stopped the mount); the move timer
    // the read-out's waits keep must find nothing to stop on a closed link.
    c.guiding.MoveDirX = 0;
    c.guiding.MoveDirY = 0;
    c.camera.setSequencing(true);
    c.picture.setSequenceWriting(true);
    panel_.setStartCaption(QStringLiteral("Stop"));
    panel_.setStatus(QStringLiteral("Looping"));
    panel_.setProgressMax(exposureMs);
    try {
        while (!stopAsked_ && takeFrame(exposureMs)) {
        }
    } catch (const std::exception &e) {
        panel_.showMessage(QStringLiteral("The loop stopped: %1").arg(QString::fromUtf8(e.what())));
        rig_.writePort(c.settings.GetImageState);
    }
    panel_.setProgressValue(0);
    panel_.setStartCaption(QStringLiteral("Start"));
    panel_.setStatus(QStringLiteral("Ready"));
    c.picture.setSequenceWriting(false);
    c.camera.setSequencing(false);
    running_ = false;
}

bool FrameLoop::takeFrame(int32_t exposureMs)
{
    const RigContext &c = rig_.context();
    const uint32_t t1 = c.clock.now();
    const uint32_t endMs = t1 + uint32_t(exposureMs);
    rig_.writePort(c.settings.ExposureState);
    for (;;) {
        const int64_t elapsed = sinceMs(t1, c.clock.now());
        if (elapsed >= exposureMs)
            break;
        panel_.setProgressValue(int32_t(elapsed));
        const uint32_t tick = c.clock.now() + kProgressIntervalMs;
        c.pump.processEventsOrSleep(elapsedMs(t1, tick) < exposureMs ? tick : endMs);
        if (stopAsked_) {
            rig_.writePort(c.settings.GetImageState);
            return false;
        }
    }
    const bool delivered = rig_.GrabImageFrame();
    rig_.writePort(c.settings.GetImageState); // at rest, as after a one-frame run
    if (delivered) { // else the picture is an older one, already told of
        ++frames_;
        tellStarProfile(); // measured before the box is drawn over the picture
        if (c.sequence.StarMarked != 0)
            rig_.DrawGuideBox();
    }
    return true;
}

void FrameLoop::tellStarProfile()
{
    if (!showStarProfile)
        return;
    if (rig_.context().sequence.StarMarked == 0) {
        showStarProfile(QString());
        return;
    }
    const std::optional<StarProfile> star = rig_.markedStarProfile();
    showStarProfile(star ? QStringLiteral("FWHM %1 px, peak %2").arg(star->fwhm, 0, 'f', 1).arg(star->peak)
                         : QStringLiteral("No star in the guide box"));
}

} // namespace orvane
