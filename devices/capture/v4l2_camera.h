#pragma once
// A real webcam on a V4L2 device node. Frames stream continuously into a few
// memory-mapped buffers from connect() to disconnect(); a frame copy takes the
// newest complete frame at the moment of the call and converts it to RGB.
// Everything runs on the GUI thread: the only wait is a bounded readiness wait
// of at most two frame periods inside copyFrame().
//
// A device that stops answering (unplugged, driver gone) is closed and the problem
// notifier is told a sentence naming it; frame copies give nothing until the user
// connects again.

#include "capture_device.h"
#include "clock.h"
#include "v4l2_controls.h"
#include "v4l2_converter.h"
#include "v4l2_formats.h"
#include "v4l2_io.h"

#include <linux/videodev2.h>

#include <memory>
#include <optional>
#include <vector>

namespace orvane {

// What the device sends: pixel format, frame size and frame rate.
struct V4l2Mode {
    uint32_t fourcc = 0;
    uint32_t width = 0;  // pixels
    uint32_t height = 0; // pixels
    V4l2FrameRate rate;  // {0, 0}: the device's choice
    bool operator==(const V4l2Mode &) const = default;
};

class V4l2Camera : public CaptureSource {
public:
    static constexpr uint32_t kBufferCount = 4; // buffers asked for; the driver may give others

    // `card` is the device's own name; `clock` bounds the frame wait (milliseconds).
    V4l2Camera(std::shared_ptr<V4l2Io> io, QString path, QString card, Clock &clock);
    ~V4l2Camera() override;

    QString name() const override { return displayName_; }
    // Two identical webcams get their device path added to tell them apart.
    void setDisplayName(QString name) { displayName_ = std::move(name); }
    const QString &path() const { return path_; }
    const QString &card() const { return card_; }

    Result connect() override;
    void disconnect() override;
    void setSequencing(bool on) override { sequencing_ = on; }
    std::optional<QImage> copyFrame() override;
    void setWaitService(WaitService *service) override { service_ = service; }
    // While unconnected every dialog gives way to a note saying so.
    QString dialogNote(CaptureDialog) const override;

    // For the dialogs.
    bool isConnected() const { return fd_ >= 0; }
    bool sequencing() const { return sequencing_; }
    const std::vector<V4l2PixelFormat> &formats() const { return formats_; }
    V4l2Mode mode() const { return mode_; }
    // Stops the stream, sets the mode (the device may adjust size and rate to
    // its nearest), and streams again. On failure the previous mode is put
    // back when the device takes it.
    Result applyMode(const V4l2Mode &wanted);
    std::vector<V4l2Control> controls();
    // Sets a control and reads back the value the device kept.
    Result setControl(V4l2Control &control, int32_t value);
    // Re-reads flags and value of a control (after another one changed).
    Result refreshControl(V4l2Control &control);
    // Buffers in use while streaming, and the longest frame copy wait (milliseconds).
    size_t bufferCount() const { return buffers_.size(); }
    int frameWaitMs() const;

    // "The webcam <card> (<path>)", the subject of every sentence about it.
    QString subject() const;

private:
    struct Mapped {
        void *start = nullptr;
        size_t length = 0;
    };
    struct Drained {
        size_t count = 0;                 // buffers taken from the device, damaged ones included
        std::vector<v4l2_buffer> frames;  // the complete ones, oldest first
        std::vector<v4l2_buffer> all;     // every buffer taken, to give back
    };

    // Setup, in v4l2_camera.cpp.
    Result failStart(const QString &step, int error);
    V4l2Mode defaultMode() const;
    int setModeOnDevice(const V4l2Mode &wanted);
    void closeDevice();
    // True for an error that means the device is gone; then it is closed and the user told.
    bool lostOn(int error, bool streaming);
    // Tells the sentence, keeps it in lost_ and closes the device, whatever the error.
    void markLost(int error);

    // Streaming, in v4l2_camera_stream.cpp.
    int startStreaming();
    void stopStreaming();
    Drained drainReady();
    bool giveBack(const std::vector<v4l2_buffer> &buffers);
    std::optional<QImage> convertNewest(const Drained &drained, QString &error);
    std::optional<QImage> waitForFreshFrame(QString &convertError);
    int32_t msUntilServiceDue();

    std::shared_ptr<V4l2Io> io_;
    QString path_;
    QString card_;
    QString displayName_;
    Clock &clock_;

    int fd_ = -1;
    bool streaming_ = false;
    bool sequencing_ = false;
    std::vector<V4l2PixelFormat> formats_;
    std::optional<V4l2Mode> chosen_; // the user's last choice, kept across reconnects
    V4l2Mode mode_;
    v4l2_pix_format pixFormat_{};   // as the device set it (stride, image size)
    std::vector<Mapped> buffers_;
    std::unique_ptr<V4l2FrameConverter> converter_;
    QString lost_; // why the device was closed the last time it stopped answering
    WaitService *service_ = nullptr; // served during the frame wait
};

} // namespace orvane
