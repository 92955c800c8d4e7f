#pragma once
// A whole rig for imaging-sequence tests: simulated clock and pump, the
// recording port, a recording telescope link and a plain panel.

#include "control/rig_fixture.h"
#include "imaging_sequence.h"

#include <vector>

namespace orvane::test {

struct SequenceRig {
    explicit SequenceRig(uint32_t startMs = 1000) : clock(startMs)
    {
        settings.ExposureState = 3;
        settings.GetImageState = 0;
        settings.GetGuideState = 2;
        settings.AmpOnState = 1;
        settings.ImageDelay = 250;
        settings.AmpDelay = 100;
        settings.PrinterPort = 1;
        settings.PortAddress = kFirstPrinterPortAddress;
        settings.PixPerSec = 5;
        settings.GuideBoxSize = 40;
        settings.DirUp = QStringLiteral("n");
        settings.DirDown = QStringLiteral("s");
        settings.DirLeft = QStringLiteral("e");
        settings.DirRight = QStringLiteral("w");
        comm.onLinkLost = [this](const QString &sentence) { panel.notify(sentence); };
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
};

} // namespace orvane::test
