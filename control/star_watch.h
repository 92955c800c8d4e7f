#pragma once
// The guiding assistant's watch: with no correction sent, guide frames one
// after another and the star's place on each, followed as it drifts.

#include "guiding_assistant.h"
#include "rig.h"

#include <QPointF>

#include <functional>

namespace orvane {

struct StarWatch {
    std::vector<WatchedPlace> places;
    QString failure; // empty unless the camera gave no frame or the star was lost
    bool stopped = false;
};

// Watches the star that stands at (x, y) (pixels) for `seconds` of guide
// frames of exposureMs each; `stopAsked` is looked at between frames, and
// `progress` told of each place. The camera lines are at rest afterwards.
StarWatch watchStar(Rig &rig, double x, double y, int32_t exposureMs, double seconds,
                    const std::function<bool()> &stopAsked, const std::function<void(const WatchedPlace &)> &progress = {});

// Reads out a guide frame (the camera lines as in a guide exposure) and finds
// the star near `nearPx` on it to a fraction of a pixel, on a copy with the
// guide dark taken off. Nothing when the camera gave no frame (`lost` false)
// or no star stands there (`lost` true).
std::optional<QPointF> starOnGuideFrame(Rig &rig, QPointF nearPx, bool *lost = nullptr);

} // namespace orvane
