#pragma once
// A complete Rig on a simulated clock and pump: every value and device the
// procedures reach, with a telescope link that records each write it is given.

#include "rig.h"

#include <gtest/gtest.h>

#include <QByteArrayList>

#include <functional>
#include <utility>

namespace orvane::test {

// The settings of the default orvane.cfg, which suit the simulated rig: port
// bytes 3/0/2/1, delays 250/100 ms, printer port 1, 5 px/s, guide box 40, n s e w.
inline Settings simulatedRigSettings()
{
    Settings s;
    s.ExposureState = 3;
    s.GetImageState = 0;
    s.GetGuideState = 2;
    s.AmpOnState = 1;
    s.ImageDelay = 250;
    s.AmpDelay = 100;
    s.PrinterPort = 1;
    s.PortAddress = kFirstPrinterPortAddress;
    s.PixPerSec = 5;
    s.GuideBoxSize = 40;
    s.DirUp = QStringLiteral("n");
    s.DirDown = QStringLiteral("s");
    s.DirLeft = QStringLiteral("e");
    s.DirRight = QStringLiteral("w");
    return s;
}

// A serial opener whose links record every write (one entry per write) and
// answer reads from `reply`. Set failWrites to make every write fail.
class RecordingSerialOpener : public SerialOpener {
public:
    QByteArrayList writes;
    QByteArray reply;
    bool failWrites = false;
    QString openError; // non-empty: opening fails with this sentence
    int opens = 0;
    std::function<void(const QByteArray &)> onWrite; // sees each write as it is made

    QByteArray sent() const { return writes.join(); }

    std::unique_ptr<SerialConnection> open(int16_t, QString &error) override
    {
        if (!openError.isEmpty()) {
            error = openError;
            return nullptr;
        }
        ++opens;
        return std::make_unique<Link>(*this);
    }
    QString describe(int16_t commPort) const override { return QStringLiteral("test port %1").arg(commPort); }

private:
    class Link : public SerialConnection {
    public:
        explicit Link(RecordingSerialOpener &owner) : owner_(owner) {}
        Result write(const QByteArray &bytes) override
        {
            if (owner_.failWrites)
                return Result::failure(QStringLiteral("The test port failed a write."));
            owner_.writes.append(bytes);
            if (owner_.onWrite)
                owner_.onWrite(bytes);
            return Result::success();
        }
        QByteArray readAll() override { return std::exchange(owner_.reply, {}); }
        void close() override {}

    private:
        RecordingSerialOpener &owner_;
    };
};

// Everything a Rig needs, built in order. The telescope link starts open.
struct RigParts {
    explicit RigParts(uint32_t startMs = 1000) : clock(startMs)
    {
        settings.PixPerSec = 5;
        settings.PortAddress = kFirstPrinterPortAddress;
        settings.DirUp = QStringLiteral("n");
        settings.DirDown = QStringLiteral("s");
        settings.DirLeft = QStringLiteral("e");
        settings.DirRight = QStringLiteral("w");
        (void)comm.setPortOpen(true);
        comm.onLinkLost = [this](const QString &sentence) { panel.notify(sentence); };
    }

    Settings settings;
    SequenceState sequence;
    GuidingState guiding;
    SimClock clock;
    SimEventPump pump{clock};
    WinIo port{clock};
    RecordingSerialOpener opener;
    MSComm comm{opener};
    EzVidCap camera;
    PictureArea picture;
    PlainPanel panel;
    Rig rig{RigContext{settings, sequence, guiding, clock, pump, port, comm, camera, picture, panel}};
};

// Base for TEST_F: the parts as protected members.
class RigTest : public ::testing::Test, protected RigParts {};

} // namespace orvane::test
