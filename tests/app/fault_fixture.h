#pragma once
// A whole guided run on the simulated rig for fault tests: the simulated sky,
// mount and camera on a simulated clock, frames saved into a temporary folder,
// and taps on the port bytes, the telescope link and the camera through which a
// test breaks things mid-run and then sees how the run ended.

#include "sequence_fixture.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <utility>
#include <vector>

namespace orvane::test {

// One send on the telescope link and whether it went out.
struct LinkSend {
    QByteArray bytes;
    bool delivered;
};

// Wraps the rig's opener: every link it opens records its sends. `failing`
// makes sends fail with `failure` (an adapter whose writes time out); `deaf`
// makes the far end neither hear nor answer while writes still succeed (a
// mount switched off on a line without handshake).
class TappedOpener : public SerialOpener {
public:
    explicit TappedOpener(SerialOpener &inner) : inner_(inner) {}

    std::vector<LinkSend> sends;
    bool failing = false;
    QString failure;
    bool deaf = false;

    SerialOpening open(int16_t commPort) override
    {
        SerialOpening link = inner_.open(commPort);
        if (link)
            link.value() = std::make_unique<Tap>(*this, std::move(link.value()));
        return link;
    }
    QString describe(int16_t commPort) const override { return inner_.describe(commPort); }

    // The last send that went out (empty when none did).
    QByteArray lastDelivered() const
    {
        for (auto it = sends.rbegin(); it != sends.rend(); ++it)
            if (it->delivered)
                return it->bytes;
        return {};
    }
    int deliveredCount(const QByteArray &bytes) const
    {
        int n = 0;
        for (const LinkSend &s : sends)
            n += s.delivered && s.bytes == bytes;
        return n;
    }

private:
    class Tap : public SerialConnection {
    public:
        Tap(TappedOpener &owner, std::unique_ptr<SerialConnection> inner) : owner_(owner), inner_(std::move(inner)) {}
        Result write(const QByteArray &bytes) override
        {
            if (owner_.failing) {
                owner_.sends.push_back({bytes, false});
                return Result::failure(owner_.failure);
            }
            Result sent = owner_.deaf ? Result::success() : inner_->write(bytes);
            owner_.sends.push_back({bytes, sent.ok()});
            return sent;
        }
        QByteArray readAll() override
        {
            QByteArray heard = inner_->readAll();
            return owner_.deaf ? QByteArray() : heard;
        }
        void close() override { inner_->close(); }

    private:
        TappedOpener &owner_;
        std::unique_ptr<SerialConnection> inner_;
    };
    SerialOpener &inner_;
};

// The simulated camera behind a switch: after vanish(), frame copies give
// nothing, and the first failed copy leaves the sentence a real webcam gives
// when it is unplugged.
class VanishingCamera : public CaptureSource {
public:
    explicit VanishingCamera(std::unique_ptr<SimCamera> inner) : inner_(std::move(inner)) {}
    static QString sentence() { return QStringLiteral("The webcam Simulated camera stopped answering: No such device."); }

    SimCamera &sim() { return *inner_; }
    void vanish() { gone_ = true; }
    int delivered() const { return delivered_; }

    QString name() const override { return inner_->name(); }
    bool simulated() const override { return true; }
    Result connect() override { return inner_->connect(); }
    void disconnect() override { inner_->disconnect(); }
    void setSequencing(bool on) override { inner_->setSequencing(on); }
    std::optional<QImage> copyFrame() override
    {
        if (gone_) {
            if (!told_)
                tellProblem(sentence());
            told_ = true;
            return std::nullopt;
        }
        ++delivered_;
        return inner_->copyFrame();
    }
    QString dialogNote(CaptureDialog which) const override { return inner_->dialogNote(which); }

private:
    std::unique_ptr<SimCamera> inner_;
    bool gone_ = false;
    bool told_ = false;
    int delivered_ = 0;
};

inline constexpr qint64 kFrameFileBytes = 921654; // a 640 x 480 24-bit BMP

// The temporary folder, made before the rig whose link reads orvane.ini in it.
struct FaultRigFolder {
    QTemporaryDir dir;
    QString iniPath = dir.filePath("orvane.ini");
};

struct FaultRig : FaultRigFolder, SequenceTestRig {
    // Guided, 4 s exposures with a guide step every second, `frames` frames
    // saved as Image001.bmp ... into saveDir.
    explicit FaultRig(int frames = 5, uint32_t startMs = 10000)
        : SequenceTestRig({.startMs = startMs, .link = RigLink::SimulatedMount, .iniPath = iniPath})
    {
        useLink(tap);
        port.addListener([this](const PortWrite &w) { history.push_back(w); });
        webcam = useCamera(std::make_unique<VanishingCamera>(makeSimCamera()));
        EXPECT_EQ(camera.currentDevice(), 0);
        panel.controls.guiding = true;
        panel.exposure = "4";
        panel.guide = "1";
        panel.frameCount = QString::number(frames);
        panel.save = true;
        saveDir = dir.filePath("frames");
        EXPECT_TRUE(QDir().mkpath(saveDir));
        state.SaveDir = saveDir;
    }

    // Clicks the guide star once the user is asked to (looked at every 100 ms).
    void markGuideStarWhenAsked()
    {
        pump.at(clock.now() + 100, [this] {
            if (panel.status() != "Mark Star")
                return markGuideStarWhenAsked();
            const QPointF star = webcam->sim().starField().guideStar() + sky.offsetAt(clock.now());
            sequence.onPictureMouseDown(std::round(star.x()), std::round(star.y()));
            state.StarX = int16_t(state.StarX + markOffset.x());
            state.StarY = int16_t(state.StarY + markOffset.y());
        });
    }
    // Runs `action` once, 1.5 s into the exposure of frame `frame` (1-based).
    void duringFrame(int16_t frame, std::function<void()> action)
    {
        pump.at(clock.now() + 100, [this, frame, action] {
            // The status names the frame from the start of its exposure on.
            if (state.FrameNumber != frame || panel.status() != QStringLiteral("Image %1").arg(frame))
                return duringFrame(frame, action);
            pump.at(clock.now() + 1500, action);
        });
    }
    // The whole Start click: true when the run returned without an exception.
    bool run()
    {
        markGuideStarWhenAsked();
        try {
            sequence.onCommand1Click();
        } catch (...) {
            return false;
        }
        return !sequence.running() && panel.caption == "Start" && state.SequenceRunning == 0;
    }

    // Every file in `path` but frames.csv, the record of the frames saved there.
    QStringList framesIn(const QString &path) const
    {
        QStringList files = QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
        files.removeOne(QStringLiteral("frames.csv"));
        return files;
    }
    // Names and sizes both right: each a whole 640 x 480 picture file.
    bool wholeFrames(const QString &path, const QStringList &names) const
    {
        QStringList present = framesIn(path), wanted = names;
        present.sort();
        wanted.sort();
        if (present != wanted)
            return false;
        for (const QString &name : names)
            if (QFileInfo(QDir(path).filePath(name)).size() != kFrameFileBytes ||
                QImage(QDir(path).filePath(name)).size() != QSize(640, 480))
                return false;
        return true;
    }
    int imageReadouts() const
    {
        int n = 0;
        for (const PortWrite &w : history)
            n += w.value == settings.AmpOnState;
        return n;
    }
    uint8_t lastPortByte() const { return history.empty() ? 0xFF : history.back().value; }
    int noticesNaming(const QString &text) const
    {
        int n = 0;
        for (const QString &notice : panel.controls.notices)
            n += notice.contains(text);
        return n;
    }

    QPointF markOffset; // pixels: the guide lock put this far off the star the click marked
    QString saveDir;
    TappedOpener tap{mountLink};
    VanishingCamera *webcam = nullptr; // owned by `camera`
    std::vector<PortWrite> history;    // every port write, unbounded
};

inline QStringList frameNames(int from, int to)
{
    QStringList names;
    for (int i = from; i <= to; ++i)
        names << QStringLiteral("Image%1.bmp").arg(i, 3, 10, QLatin1Char('0'));
    return names;
}

// Clock ms of an ISO 8601 UTC time written by a run on the simulated clock.
inline int64_t clockMsOf(const QString &isoUtc)
{
    const QDateTime t = QDateTime::fromString(isoUtc, Qt::ISODateWithMs);
    EXPECT_TRUE(t.isValid()) << isoUtc.toStdString();
    QDateTime utc = t;
    utc.setTimeSpec(Qt::UTC);
    return utc.toMSecsSinceEpoch() - SimClock::kUtcAtZeroMs;
}

// Clock ms of the port writes that started and ended the exposure of frame
// `frame` (1-based): the ExposureState write after the last GetImageState
// before the frame's AmpOnState write, and that AmpOnState write.
inline std::pair<int64_t, int64_t> exposureInPortRecord(const FaultRig &rig, int frame)
{
    int ends = 0;
    int64_t start = -1;
    bool afterGetImage = false;
    for (const PortWrite &w : rig.history) {
        if (w.value == rig.settings.GetImageState)
            afterGetImage = true;
        else if (w.value == rig.settings.ExposureState && afterGetImage) {
            start = w.atMs;
            afterGetImage = false;
        } else if (w.value == rig.settings.AmpOnState && ++ends == frame)
            return {start, w.atMs};
    }
    return {-1, -1};
}

} // namespace orvane::test
