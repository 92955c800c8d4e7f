#pragma once
// The Loop command: short unsaved frames one after another, for focusing and
// framing. Each frame takes the camera-line steps of a one-frame run; nothing is
// saved and the mount is never moved. Like a run, the loop lives inside the
// command that started it; the command again (or Stop, or closing the window)
// only asks it to end, which it does at its next look.

#include "rig.h"
#include "sequence_panel.h"

#include <functional>

namespace orvane {

class FrameLoop {
public:
    FrameLoop(Rig &rig, SequencePanel &panel);

    // The Loop command: while looping it asks the loop to end; otherwise it loops
    // until asked to end, with the Exposure sec box as the frame length.
    void onLoopCommand();
    void requestStop() { stopAsked_ = true; }
    bool running() const { return running_; }
    int frames() const { return frames_; } // frames read out since the loop started

    // Told after every frame: the marked star's width and peak ("FWHM 2.7 px,
    // peak 183"), a word that the box holds no star, or empty when none is marked.
    std::function<void(const QString &text)> showStarProfile;

private:
    void loop(int32_t exposureMs);
    // One frame: exposure, read-out, the port back at rest. False when the loop
    // was asked to end during the exposure.
    bool takeFrame(int32_t exposureMs);
    void tellStarProfile();

    Rig &rig_;
    SequencePanel &panel_;
    bool running_ = false;
    bool stopAsked_ = false;
    int frames_ = 0;
};

} // namespace orvane
