#pragma once
// Taking guide darks on the rig: guide frames read out one after another at the
// guide exposure, with the camera covered, averaged into a GuideDark.

#include "guide_dark.h"
#include "rig.h"

namespace orvane {

// Takes `count` guide frames of exposureMs each (the camera lines as in a guide
// exposure, events served meanwhile) and averages them; the camera lines are at
// rest afterwards. Fails when the camera gives no frame, or when the frames
// show light (stars): the camera was not covered.
ResultOf<GuideDark> takeGuideDarks(Rig &rig, int count, int32_t exposureMs);

} // namespace orvane
