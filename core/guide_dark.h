#pragma once
// Guide darks: frames taken with the camera covered at the guide exposure,
// averaged into the level each pixel shows without light, and the hot pixels
// they reveal. A guide frame has the dark taken off and its hot pixels masked
// before the star is measured; the frame itself (and every imaging frame)
// stays as the camera gave it.

#include "pixel_view.h"
#include "result.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace orvane {

struct GuideDark {
    int width = 0, height = 0; // pixels
    int32_t exposureMs = 0;    // the guide exposure the darks were taken at
    int frames = 0;            // how many were averaged
    std::vector<float> level;  // grey level of each pixel without light, rows top to bottom
    std::vector<uint8_t> hot;  // 1 where the pixel is hot: masked from the guide frames
    int hotCount = 0;
    int clusteredHot = 0;      // hot pixels with a hot neighbour: many mean light reached the sensor (stars)
    double medianLevel = 0;    // the dark's middle level: guide frames keep it as their floor
};

// More hot pixels side by side than a covered sensor shows: stars or light in the darks.
inline bool darkSawLight(const GuideDark &dark) { return dark.clusteredHot > 8; }

// The mean of the frames (all of one size), and as hot every pixel standing
// more than 8 noise sigmas above the dark's median. Nothing from no frames or
// frames of different sizes.
std::optional<GuideDark> combineDarks(const std::vector<PixelView> &frames, int32_t exposureMs);

// The frame with the dark taken off (the dark's median added back, so the sky
// keeps a level above black) and each hot pixel set to the median of its
// neighbours that are not hot: 32-bit grey words in the frame's own layout
// (stride = width). The frame as it is when the dark is of another size.
std::vector<uint32_t> withoutDark(const PixelView &frame, const GuideDark &dark);

// The dark as a file: written whole or not at all; read back with every check
// a damaged file needs (a sentence naming the file and the cause on failure).
Result saveGuideDark(const QString &path, const GuideDark &dark);
ResultOf<GuideDark> loadGuideDark(const QString &path);

} // namespace orvane
