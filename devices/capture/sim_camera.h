#pragma once
// The simulated camera: a capture device that renders the simulated sky and
// follows the camera states the printer-port bytes set, like the modified webcam.
// While the port holds the exposure byte the sensor gathers light; the image
// read-out (image byte) delivers everything gathered since the previous one and
// empties the sensor; a guide read-out (guide byte) delivers a short frame of
// the sky as it is, and the long exposure goes on afterwards. Outside a sequence
// it is a live camera: each frame copy is a short exposure of the sky now.

#include "capture_device.h"
#include "clock.h"
#include "port_io.h"
#include "settings.h"
#include "sky.h"
#include "star_field.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace orvane {

struct SimCameraOptions {
    bool enabled = true;          // offered in the device list
    uint32_t seed = 1957;         // star field, hot pixels and noise
    int starsInFrame = 60;        // stars on the picture
    int hotPixels = 5;
    double guideExposureS = 20.0; // light of a guide or live frame, seconds
    int sampleStepMs = 250;       // sky sampled this often over an exposure, ms
    int maxSamples = 240;         // longer exposures are sampled more coarsely
    SensorModel sensor;
    // Seeing that changes through the night: the FWHM wanders between the
    // sensor's (seeingFwhmPx) and this, over about seeingPeriodS (0: steady).
    double seeingMaxFwhmPx = 0;   // pixels
    double seeingPeriodS = 3600;  // seconds
    // Share of the seeing jitter's variance that every star shares; the rest
    // each star has of its own (1: the whole image moves as one).
    double jitterShared = 1.0;

    // [sky] preset=hard: the hard night's camera.
    static constexpr double kHardNightSeeingFwhmPx = 3.0, kHardNightSeeingMaxFwhmPx = 4.5;
    static constexpr double kHardNightJitterShared = 0.5;
    static constexpr double kHardNightStarDimming = 4; // the guide star this many times fainter
    static SimCameraOptions hardNight();

    // The [camera] group of orvane.ini. A missing file or key
    // keeps the default; a value that is not a number, or out of range, keeps the
    // default and leaves a sentence naming the file, key and cause in `problems`.
    static SimCameraOptions fromIni(const QString &iniPath);
    QStringList problems;

    // Peak above background of the guide star after 60 s of light, ADU.
    double guideStarPeakPer60s() const { return sensor.peakAduPerSecond * 60.0; }
    // The seeing's FWHM `seconds` after the sky's start, pixels.
    double seeingFwhmAt(double seconds) const;
};

class SimCamera : public CaptureSource {
public:
    // The camera watches every write to `port` and reads the state bytes from
    // `settings` at each write (the Options dialog may change them). `sky` is
    // moved by the simulated mount. All references outlive the camera.
    SimCamera(Clock &clock, CameraLines &port, const Settings &settings, const SimSky &sky,
              SimCameraOptions options = {});
    ~SimCamera() override;

    QString name() const override { return QStringLiteral("Simulated camera"); }
    bool simulated() const override { return true; }
    Result connect() override;
    void disconnect() override { connected_ = false; }
    void setSequencing(bool on) override { sequencing_ = on; }
    // A cap on the telescope: no starlight reaches the sensor; dark current and hot pixels remain.
    void setCovered(bool on) { covered_ = on; }
    std::optional<QImage> copyFrame() override;
    // It has no dialogs; each says where its settings are instead.
    QString dialogNote(CaptureDialog which) const override;

    const StarField &starField() const { return field_; }
    // The parts of guide frames the rig will read (pixels), asked at each guide
    // frame; the rest is left unrendered. Empty, or no function: the whole frame.
    // A rehearsal's speed-up: the windows must hold every pixel that is measured.
    void setGuideWindows(std::function<std::vector<QRect>()> windows) { guideWindows_ = std::move(windows); }
    const SimCameraOptions &options() const { return options_; }
    uint64_t framesRendered() const { return framesRendered_; }
    // Seconds of light the sensor holds now (since the last image read-out).
    double gatheredSeconds() const;

    struct Interval {
        uint32_t fromMs, toMs; // clock ms while the port held the exposure byte
    };
    // A read-out the port writes made: what the next frame copy delivers.
    struct Readout {
        enum Kind { Image, Guide } kind;
        std::vector<Interval> light; // Image: the light it reads out
        uint32_t atMs;               // clock ms the read-out state began
        uint64_t number;             // 1 for the first read-out
    };
    struct PortWatch; // follows the port bytes; outlives the camera if the port does

private:
    QImage renderReadout(const Readout &readout);
    QImage renderShort(uint32_t atMs);
    uint64_t nextNoiseSeed();
    // The sensor as the seeing is at clock ms atMs; the jitter's shared part.
    SensorModel sensorAt(uint32_t atMs) const;
    double sharedJitterPx() const;
    OwnJitter ownJitter(uint64_t seed) const;

    Clock &clock_;
    const SimSky &sky_;
    SimCameraOptions options_;
    StarField field_;
    std::shared_ptr<PortWatch> watch_;
    bool connected_ = false;
    bool sequencing_ = false;
    bool covered_ = false;
    uint64_t framesRendered_ = 0;
    uint64_t cachedReadout_ = 0; // number of the read-out held in cachedFrame_
    QImage cachedFrame_;
    std::function<std::vector<QRect>()> guideWindows_;
};

} // namespace orvane
