// Read-out speed: the 2x1 line doubling of a 640 x 480 frame beside the
// pixel-by-pixel copy it replaces, and a guide read-out's own processing (port
// writes, the simulated camera's frame, the hand-over into the picture area)
// with its waits set to 0 ms, beside the same read-out from a camera whose frame
// is ready-made.

#include "bench_row.h"
#include "rig.h"
#include "sim_camera.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

using namespace orvane;

namespace {

// No telescope: the read-outs never reach the link with guiding unticked.
class NoSerial : public SerialOpener {
public:
    std::unique_ptr<SerialConnection> open(int16_t, QString &error) override
    {
        error = QStringLiteral("no telescope in this benchmark");
        return nullptr;
    }
    QString describe(int16_t) const override { return QStringLiteral("none"); }
};

// A camera whose frame is ready: what the read-out costs without any rendering.
class ReadyCamera : public CaptureSource {
public:
    explicit ReadyCamera(QImage frame) : frame_(std::move(frame)) {}
    QString name() const override { return QStringLiteral("ready frame"); }
    Result connect() override { return Result::success(); }
    void disconnect() override {}
    void setSequencing(bool) override {}
    std::optional<QImage> copyFrame() override { return frame_; }

private:
    QImage frame_;
};

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

struct Parts {
    Parts()
    {
        settings.ExposureState = 3;
        settings.GetImageState = 0;
        settings.GetGuideState = 2;
        settings.AmpOnState = 1;
        settings.ImageDelay = 0; // the read-out's own processing only
        settings.AmpDelay = 0;
        settings.PortAddress = kFirstPrinterPortAddress;
    }
    Settings settings;
    SequenceState sequence;
    GuidingState guiding;
    SimClock clock{1000};
    SimEventPump pump{clock};
    WinIo port{clock};
    NoSerial opener;
    MSComm comm{opener};
    EzVidCap camera;
    PictureArea picture;
    PlainPanel panel;
    SimSky sky{1000};
    Rig rig{RigContext{settings, sequence, guiding, clock, pump, port, comm, camera, picture, panel}};
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    Parts parts;
    auto simulated = std::make_unique<SimCamera>(parts.clock, parts.port, parts.settings, parts.sky);
    SimCamera &sim = *simulated;
    parts.camera.addSource(std::move(simulated));
    (void)parts.camera.setCurrentDevice(0);
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

    Parts readyParts;
    QImage ready = *sim.copyFrame();
    readyParts.camera.addSource(std::make_unique<ReadyCamera>(ready));
    (void)readyParts.camera.setCurrentDevice(0);
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
                    "under 1 ms");
    bench::tableRow("guide read-out processing (waits 0)", format("%.3f ms", guide),
                    format("ready-made frame %.3f ms", baseline), "-");
    bench::tableRow("image read-out of a 60 s exposure (waits 0)", format("%.3f ms", image), "-", "-");
    return 0;
}
