#pragma once
// A camera on an INDI server as a capture device. The printer-port bytes do
// not switch it; the camera watches them only to learn how long the exposure
// byte was held, and a read-out asks the server for an exposure (CCD_EXPOSURE)
// of that length. The frame arrives as a FITS BLOB: the picture is scaled into
// the 640 x 480 picture area, and the full frame is kept for saving.
// Outside a sequence each frame copy starts a short exposure and shows the
// last frame that came, never waiting.
// A guide camera on the same server (IndiCameraOptions::guideDevice) takes the
// guide read-outs; the image read-outs then expose the main camera for the whole
// time held since the previous image read-out.

#include "capture_device.h"
#include "clock.h"
#include "event_pump.h"
#include "indi_address.h"
#include "indi_exposure_watch.h"
#include "indi_session.h"
#include "port_io.h"
#include "settings.h"

#include <QImage>

#include <memory>

namespace orvane {

// The message shown for an INDI camera wherever its port bytes would matter.
QString indiPortBytesNote();

struct IndiCameraOptions {
    IndiLimits limits;                    // what the server may send; limits.maxBlobBytes is the frame's
    uint32_t frameTimeoutMs = 30000;      // a frame may come this long after its exposure ends
    uint32_t connectMs = 3000;            // the device's connection and properties, events served
    double liveExposureS = 1.0;           // outside a sequence
    double shortestExposureS = 0.001;     // a read-out right after another still asks this much
    QString guideDevice;                  // the guide camera on the same server; empty: none
};

class IndiCamera : public CaptureSource {
public:
    IndiCamera(IndiServer server, QString device, Clock &clock, EventPump &pump, CameraLines &port,
               const Settings &settings, IndiCameraOptions options = {});
    ~IndiCamera() override;

    QString name() const override;
    Result connect() override;
    void disconnect() override { connected_ = false; }
    void setSequencing(bool on) override { sequencing_ = on; }
    std::optional<QImage> copyFrame() override;
    QString dialogNote(CaptureDialog) const override;
    QString usageNote() const override;
    void setWaitService(WaitService *service) override { service_ = service; }

    // The main camera's newest frame at its own size (8 bits a sample, as shown); null before the first.
    const QImage &fullFrame() const { return main_.full; }
    // The frame the picture got last (the guide camera's after a guide read-out), when it was scaled.
    QImage fullSizeFrame() const override;
    // The exposure the main camera's last read-out asked for, seconds.
    double lastExposureS() const { return main_.lastExposureS; }
    // The exposure the guide camera was last asked for, seconds; 0 without one.
    double lastGuideExposureS() const { return guide_ ? guide_->lastExposureS : 0.0; }
    IndiSession *session() const { return session_.get(); }

private:
    // One device on the server and what came from it.
    struct Device {
        Device(QString deviceName, QString deviceRole) : name(std::move(deviceName)), role(std::move(deviceRole)) {}
        QString name;
        QString role;             // "camera" or "guide camera", as the sentences say it
        uint64_t blobs = 0;       // frames received
        double lastExposureS = 0;
        QImage full;
        QImage shown;
    };
    bool ready() const;
    bool ready(const Device &device) const;
    QString notReadySentence() const;
    QString notReadySentence(const Device &device) const;
    Result startSession();
    Device *deviceNamed(const QString &name);
    void requestExposure(Device &device, double seconds);
    // Waits, serving events and the wait service, for the frame asked for; nothing on failure (told).
    std::optional<QImage> awaitFrame(Device &device, double seconds);
    std::optional<QImage> takeBlob(Device &device);
    std::optional<QImage> sequenceFrame();

    IndiServer server_;
    Device main_;
    std::optional<Device> guide_;
    Clock &clock_;
    EventPump &pump_;
    IndiCameraOptions options_;
    std::shared_ptr<IndiExposureWatch> watch_; // outlives the camera if the port does
    std::unique_ptr<IndiSession> session_;
    WaitService *service_ = nullptr;
    bool connected_ = false;
    bool sequencing_ = false;
    bool waiting_ = false;    // inside awaitFrame: a frame copy from an event handler gets nothing
    bool exposing_ = false;   // a live exposure is under way
    bool guideShown_ = false; // the picture got the guide camera's frame last
};

} // namespace orvane
