#pragma once
// A whole rig for imaging-sequence tests: the built rig with the sequence
// panel, the dark camera, a recording telescope link and the Start command;
// and the main window on a built rig's parts.

#include "file_chooser.h"
#include "imaging_sequence.h"
#include "main_window.h"
#include "rig_builder.h"

#include <memory>

#include <vector>

namespace orvane::test {

// The built rig with the Start/Stop command on it.
struct SequenceTestRig : BasicTestRig<PlainSequencePanel> {
    explicit SequenceTestRig(RigOptions options = {}) : BasicTestRig(std::move(options)) {}
    ImagingSequence sequence{rig, panel};
};

// A file chooser whose user always cancels.
class NoFiles : public FileChooser {
public:
    void chooseOpenFile(QWidget *, const QString &, const QString &, ChosenFile chosen) override { chosen({}); }
    void chooseSaveFile(QWidget *, const QString &, const QString &, ChosenFile chosen) override { chosen({}); }
    void chooseOpenFiles(QWidget *, const QString &, ChosenFiles chosen) override { chosen({}); }
};

// A capture device that only has a name.
class NamedSource : public CaptureSource {
public:
    explicit NamedSource(QString name, bool simulated = false) : name_(std::move(name)), simulated_(simulated) {}
    QString name() const override { return name_; }
    bool simulated() const override { return simulated_; }
    Result connect() override { return Result::success(); }
    void disconnect() override {}
    void setSequencing(bool) override {}
    std::optional<QImage> copyFrame() override { return std::nullopt; }

private:
    QString name_;
    bool simulated_;
};

// The main window on the parts of `parts`, its settings files in `folder`
// (orvane.cfg, orvane.ini); the window runs its own Rig on those parts.
template <class Panel>
std::unique_ptr<MainWindow> windowOn(BasicTestRig<Panel> &parts, FileChooser &files, const QString &folder)
{
    return std::make_unique<MainWindow>(MainWindowParts{parts.settings, parts.state, parts.guiding, parts.time,
                                                        parts.events, parts.port, parts.comm, parts.camera,
                                                        parts.picture, files, folder + QStringLiteral("/orvane.cfg"),
                                                        folder + QStringLiteral("/orvane.ini")});
}

struct SequenceRig : SequenceTestRig {
    explicit SequenceRig(uint32_t startMs = 1000) : SequenceTestRig({.startMs = startMs, .camera = RigCamera::Dark}) {}

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
};

} // namespace orvane::test
