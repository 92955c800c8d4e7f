#pragma once
// A camera on an INDI server as a capture device. The printer-port bytes do
// not switch it; the camera watches them only to learn how long the exposure
// byte was held, and a read-out asks the server for an exposure (CCD_EXPOSURE)
// of that length. The frame arrives as a FITS BLOB: the picture is scaled into
// the 640 x 480 picture area, and the full frame is kept for saving.
// Outside a sequence each frame copy starts a short exposure and shows the
// last frame that came, never waiting.

#include "capture_device.h"
#include "clock.h"
#include "event_pump.h"
#include "indi_address.h"
#include "indi_session.h"
#include "port_io.h"
#include "settings.h"

#include <QImage>

#include <memory>

namespace orvane {

// The message shown for an INDI camera wherever its port bytes would matter.
QString indiPortBytesNote();

struct IndiCameraOptions {
    int64_t maxFrameBytes = 200ll << 20; // a frame larger than this closes the connection, bytes
    uint32_t frameTimeoutMs = 30000;      // a frame may come this long after its exposure ends
    uint32_t connectMs = 3000;            // the device's connection and properties, events served
    double liveExposureS = 1.0;           // outside a sequence
    double shortestExposureS = 0.001;     // a read-out right after another still asks this much
};

class IndiCamera : public CaptureSource {
public:
    IndiCamera(IndiServer server, QString device, Clock &clock, EventPump &pump, WinIo &port,
               const Settings &settings, IndiCameraOptions options = {});
    ~IndiCamera() override;

    QString name() const override;
    Result connect() override;
    void disconnect() override { connected_ = false; }
    void setSequencing(bool on) override { sequencing_ = on; }
    std::optional<QImage> copyFrame() override;
    QString dialogNote(CaptureDialog) const override;
    QString usageNote() const override { return indiPortBytesNote(); }
    void setWaitService(WaitService *service) override { service_ = service; }

    // The newest frame at the camera's own size (8 bits a sample, as shown); null before the first.
    const QImage &fullFrame() const { return full_; }
    QImage fullSizeFrame() const override { return full_.size() == shown_.size() ? QImage() : full_; }
    // The exposure the last read-out asked for, seconds.
    double lastExposureS() const { return lastExposureS_; }
    IndiSession *session() const { return session_.get(); }
    struct PortWatch; // follows the port bytes; outlives the camera if the port does

private:
    bool ready() const;
    QString notReadySentence() const;
    Result startSession();
    void requestExposure(double seconds);
    // Waits, serving events and the wait service, for the frame asked for; nothing on failure (told).
    std::optional<QImage> awaitFrame(double seconds);
    std::optional<QImage> takeBlob();

    IndiServer server_;
    QString device_;
    Clock &clock_;
    EventPump &pump_;
    IndiCameraOptions options_;
    std::shared_ptr<PortWatch> watch_;
    std::unique_ptr<IndiSession> session_;
    WaitService *service_ = nullptr;
    bool connected_ = false;
    bool sequencing_ = false;
    bool waiting_ = false;    // inside awaitFrame: a frame copy from an event handler gets nothing
    bool exposing_ = false;   // a live exposure is under way
    uint64_t blobs_ = 0;      // frames received
    double lastExposureS_ = 0;
    QImage full_;
    QImage shown_;
};

} // namespace orvane
