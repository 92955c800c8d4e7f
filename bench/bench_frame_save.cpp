// Saving one image frame: a 640 x 480 frame from the simulated camera saved as
// FITS (header made, cfitsio, written beside and renamed) beside the same frame
// saved as BMP in the same run, through the procedure a sequence calls. Goal:
// FITS within 2x the BMP time. The median round of each counts.

#include "bench_row.h"
#include "rig_builder.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace orvane;

namespace {

constexpr int kFrames = 20; // saved per round and format
constexpr int kRounds = 9;  // rounds of every format in turn, so a busy spell of the machine hits all alike

struct Way {
    SaveFormat format;
    SavePlanes planes;
    std::vector<double> msPerFrame; // one figure per round
};

// Milliseconds a frame took to save in one round of `way`, each under a new name.
double round(test::TestRig &parts, const Way &way, const QString &folder)
{
    parts.state.SaveFormat.format = way.format;
    parts.state.SaveFormat.planes = way.planes;
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 2; frame < kFrames + 2; ++frame) {
        parts.state.FrameNumber = int16_t(frame);
        if (!parts.rig.SaveImageFrame().ok())
            std::fprintf(stderr, "%s\n", qPrintable(parts.panel.notices.join(u'\n')));
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / kFrames;
}

double median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    test::TestRig parts({.camera = test::RigCamera::SimulatedSky});
    parts.camera.setSequencing(true);
    parts.state.SaveDir = dir.filePath(QStringLiteral("frames"));
    parts.rig.GrabImageFrame(); // a real star frame in the picture area

    Way ways[] = {{SaveFormat::Bmp, SavePlanes::Colour, {}},
                  {SaveFormat::Fits, SavePlanes::Colour, {}},
                  {SaveFormat::Fits, SavePlanes::Mono, {}}};
    for (int r = 0; r < kRounds; ++r)
        for (Way &way : ways)
            way.msPerFrame.push_back(round(parts, way, parts.state.SaveDir));
    const double bmp = median(ways[0].msPerFrame), fits = median(ways[1].msPerFrame), mono = median(ways[2].msPerFrame);

    std::printf("save one 640 x 480 frame: BMP %.2f ms, FITS colour %.2f ms (%.2fx), FITS mono %.2f ms\n", bmp, fits,
                fits / bmp, mono);
    bench::tableRow("save a 640x480 frame as FITS (colour)", bench::format("%.2f ms (%.2fx BMP)", fits, fits / bmp),
                    bench::format("BMP %.2f ms", bmp), "within 2x BMP");
    bench::tableRow("save a 640x480 frame as FITS (mono)", bench::format("%.2f ms (%.2fx BMP)", mono, mono / bmp),
                    bench::format("BMP %.2f ms", bmp), "within 2x BMP");
    return 0;
}
