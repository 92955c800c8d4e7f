#pragma once
// The video capture layer: a list of capture devices (real webcams, the
// simulated camera), the one in use, and the copy of its current frame; the
// window layer shows the devices' dialogs. CaptureDevices keeps the operations and events of the capture control the
// program was written for; the frame copy hands the frame to the caller
// directly instead of through the system clipboard.

#include "notifier.h"
#include "result.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace orvane {

// The dialogs of the Camera menu a capture device may have.
enum class CaptureDialog { Format, Source, Compression };

// Work the GUI thread owes while a frame copy waits for its device (the move
// timer of a running correction): a source that waits serves it no later than
// it falls due.
class WaitService {
public:
    virtual ~WaitService() = default;
    // Clock ms at which serve() is next due; nothing when no work is pending.
    virtual std::optional<uint32_t> nextDueMs() const = 0;
    virtual void serve() = 0;
};

// One capture device.
class CaptureSource {
public:
    virtual ~CaptureSource() = default;
    virtual QString name() const = 0;
    // True for a device the program simulates; it stands in when no real one is there.
    virtual bool simulated() const { return false; }
    // Starts delivering frames; the sentence says why the device refuses.
    virtual Result connect() = 0;
    virtual void disconnect() = 0;
    // While on, every frame copy must be the frame the device produces now.
    virtual void setSequencing(bool on) = 0;
    // The newest complete frame, or nothing (device gone, no frame yet).
    virtual std::optional<QImage> copyFrame() = 0;
    // The sentence the window shows instead of the device's own dialog (the
    // device has none, or cannot show it now); empty when the dialog may open.
    virtual QString dialogNote(CaptureDialog) const { return {}; }
    // The last frame delivered at the device's own size, when the picture got it
    // scaled down; null when the picture is the frame as it came.
    virtual QImage fullSizeFrame() const { return {}; }
    // What the user should know while this device is in use (said once it is
    // chosen, in the status line); empty for nothing.
    virtual QString usageNote() const { return {}; }
    // Who hears of the device's failures (vanished, I/O error, no frame in time),
    // once each, when they happen; nullptr: nobody.
    void setProblemNotifier(Notifier *notifier) { problems_ = notifier; }
    // The work to serve during the next frame copies' waits; nullptr for none.
    // A source that never waits ignores it.
    virtual void setWaitService(WaitService *) {}

protected:
    void tellProblem(const QString &sentence)
    {
        if (problems_)
            problems_->notify(sentence);
    }

private:
    Notifier *problems_ = nullptr;
};

// The 44-byte frame header a frame event carries: eleven 32-bit words, the first
// six the data address, buffer length, bytes used, capture time, user data and flags.
using FrameHeader = std::array<uint32_t, 11>;

class CaptureDevices : public QObject {
    Q_OBJECT
public:
    CaptureDevices() = default;
    ~CaptureDevices() override;

    void addSource(std::unique_ptr<CaptureSource> source);

    int32_t deviceCount() const { return int32_t(sources_.size()); }
    // True when a device other than a simulated one is listed.
    bool hasRealDevice() const;
    // True when the device in use is a simulated one.
    bool simulatedInUse() const;
    QString deviceName(int32_t index) const;
    // Index of the device in use; -1 when none is connected.
    int32_t currentDevice() const { return current_; }
    // Connects to the device with that index; on failure the layer stays unconnected
    // and the sentence says why.
    Result setCurrentDevice(int32_t index);

    void setSequencing(bool on);
    bool sequencing() const { return sequencing_; }

    // The current frame of the device in use, or nothing (no device, no frame).
    // While the device is waited for, `service` (if any) is served when due.
    std::optional<QImage> copyFrame(WaitService *service = nullptr);
    // Who hears of the failures of every device, listed now or later; nullptr: nobody.
    void setProblemNotifier(Notifier *notifier);

    void preRollGo() { preRollAnswered_ = 1; }
    void preRollCancel() { preRollAnswered_ = -1; }
    int preRollAnswer() const { return preRollAnswered_; }

    CaptureSource *source(int32_t index) const;
    // The device in use, or nullptr.
    CaptureSource *sourceInUse() const { return source(current_); }

signals:
    void yieldRequested();
    void textEvent(int32_t code, const QString &text);
    void frameEvent(const orvane::FrameHeader &header);
    void errorNotification(int32_t code);
    void statusNotification(int32_t code);
    void preRoll();
    // The device in use changed (or none is connected any more).
    void deviceChanged();

private:
    std::vector<std::unique_ptr<CaptureSource>> sources_;
    int32_t current_ = -1;
    Notifier *problems_ = nullptr;
    bool sequencing_ = false;
    int preRollAnswered_ = 0;
};

} // namespace orvane
