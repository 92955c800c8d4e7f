#pragma once
// A whole rig for imaging-sequence tests: simulated clock and pump, the
// recording port, a recording telescope link and a plain panel.

#include "control/rig_fixture.h"
#include "imaging_sequence.h"

#include <vector>

namespace orvane::test {

// A camera that delivers the same dark 640 x 480 frame at every copy, as a
// webcam does with the lens cap on; `frame` empty makes it deliver nothing.
class DarkCamera : public CaptureSource {
public:
    std::optional<QImage> frame = blank();
    int copies = 0;

    static QImage blank()
    {
        QImage image(PictureArea::kWidth, PictureArea::kHeight, QImage::Format_RGB32);
        image.fill(Qt::black);
        return image;
    }
    // A dark frame with a small grey star of 3 x 3 pixels centred on (x, y).
    static QImage withStar(int x, int y)
    {
        QImage image = blank();
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                image.setPixel(x + dx, y + dy, qRgb(200, 200, 200));
        return image;
    }
    QString name() const override { return QStringLiteral("Dark camera"); }
    Result connect() override { return Result::success(); }
    void disconnect() override {}
    void setSequencing(bool) override {}
    std::optional<QImage> copyFrame() override { ++copies; return frame; }
};

struct SequenceRig {
    explicit SequenceRig(uint32_t startMs = 1000) : clock(startMs)
    {
        settings = simulatedRigSettings();
        comm.onLinkLost = [this](const QString &sentence) { panel.notify(sentence); };
        auto dark = std::make_unique<DarkCamera>();
        darkCamera = dark.get();
        camera.addSource(std::move(dark));
        (void)camera.setCurrentDevice(0);
    }

    // The port bytes written, in order.
    std::vector<int> bytes() const
    {
        std::vector<int> out;
        for (const PortWrite &w : port.writes())
            out.push_back(w.value);
        return out;
    }
    // Clock times (ms after `from`) at which `value` was written.
    std::vector<int64_t> timesOf(uint8_t value, uint32_t from) const
    {
        std::vector<int64_t> out;
        for (const PortWrite &w : port.writes())
            if (w.value == value)
                out.push_back(int64_t(uint32_t(w.atMs - from)));
        return out;
    }
    void clickStartAt(uint32_t atMs) { pump.at(atMs, [this] { sequence.onCommand1Click(); }); }
    void markStarAt(uint32_t atMs, double x, double y)
    {
        pump.at(atMs, [this, x, y] { sequence.onPictureMouseDown(x, y); });
    }

    Settings settings;
    SequenceState state;
    GuidingState guiding;
    SimClock clock;
    SimEventPump pump{clock};
    WinIo port{clock};
    RecordingSerialOpener opener;
    MSComm comm{opener};
    EzVidCap camera;
    PictureArea picture;
    PlainSequencePanel panel;
    Rig rig{RigContext{settings, state, guiding, clock, pump, port, comm, camera, picture, panel}};
    ImagingSequence sequence{rig, panel};
    DarkCamera *darkCamera = nullptr; // owned by `camera`
};

} // namespace orvane::test
