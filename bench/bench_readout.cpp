// Read-out speed: the 2x1 line doubling of a 640 x 480 frame beside the
// pixel-by-pixel copy it replaces, and a guide read-out's own processing (port
// writes, the simulated camera's frame, the hand-over into the picture area)
// with its waits set to 0 ms, beside the same read-out from a camera whose frame
// is ready-made.

#include "bench_row.h"
#include "rig_builder.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace orvane;

namespace {

// Median milliseconds of `runs` calls of `work`.
double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[size_t(runs / 2)];
}

// The simulated rig with its read-out waits set to 0 ms (the read-out's own
// processing only). No telescope link is opened: guiding stays unticked.
struct Parts : test::TestRig {
    explicit Parts(test::RigCamera kind) : test::TestRig({.camera = kind})
    {
        settings.ImageDelay = 0;
        settings.AmpDelay = 0;
    }
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    Parts parts(test::RigCamera::SimulatedSky);
    SimCamera &sim = *parts.simCamera;
    parts.camera.setSequencing(true);

    // Line doubling on a real star frame.
    parts.rig.GrabGuideFrame();
    const double doubling = medianMs(200, [&] { parts.rig.doubleLines(); });
    PictureArea &picture = parts.picture;
    const double perPixel = medianMs(20, [&] {
        for (int y = 0; y <= 478; y += 2)
            for (int x = 0; x < 640; ++x)
                picture.setPixel(x, y, picture.pixel(x, y + 1));
    });
    std::printf("line doubling 640x480:          %8.3f ms   (goal < 1 ms)\n", doubling);
    std::printf("  baseline pixel()/setPixel():  %8.3f ms   (%.0fx slower)\n", perPixel, perPixel / doubling);

    // Guide read-outs in the middle of a long exposure, on the simulated camera.
    const double guide = medianMs(50, [&] {
        parts.clock.advance(2000); // the guide interval
        parts.rig.GrabGuideFrame();
    });
    const uint64_t rendered = sim.framesRendered();

    // Image read-outs of 60 s exposures.
    const double image = medianMs(20, [&] {
        parts.clock.advance(60000);
        parts.rig.GrabImageFrame();
    });

    Parts readyParts(test::RigCamera::Dark); // its frame is ready-made
    readyParts.darkCamera->frame = *sim.copyFrame();
    const double baseline = medianMs(50, [&] {
        readyParts.clock.advance(2000);
        readyParts.rig.GrabGuideFrame();
    });
    std::printf("guide read-out, simulated camera (waits 0 ms): %8.3f ms  (%llu frames rendered)\n", guide,
                static_cast<unsigned long long>(rendered));
    std::printf("  baseline, ready-made frame:                  %8.3f ms\n", baseline);
    std::printf("image read-out of a 60 s exposure (waits 0 ms): %7.3f ms\n", image);

    using bench::format;
    bench::tableRow("line doubling 640x480", format("%.3f ms", doubling), format("per-pixel loop %.3f ms", perPixel),
                    "under 1 ms, absolute (a frame every 33 ms at 30 fps)");
    bench::tableRow("guide read-out processing (waits 0)", format("%.3f ms", guide),
                    format("ready-made frame %.3f ms", baseline), "-");
    bench::tableRow("image read-out of a 60 s exposure (waits 0)", format("%.3f ms", image), "-", "-");
    return 0;
}
