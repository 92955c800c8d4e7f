#pragma once
// The webcam's compression dialog: the choice between the pixel formats the
// device sends uncompressed (YUYV, Bayer, ...) and the compressed ones (MJPEG,
// ...), with the hint that long exposures want uncompressed frames. The frame
// size and rate stay as they are when the new format offers them.

#include "v4l2_camera.h"

#include <QDialog>

class QButtonGroup;
class QLabel;

namespace orvane {

// The mode that switching to `fourcc` gives: the same size and rate when the
// format lists them, else its size nearest in pixel count and the device's rate.
V4l2Mode modeForFormat(const std::vector<V4l2PixelFormat> &formats, const V4l2Mode &now, uint32_t fourcc);

class V4l2CompressionDialog : public QDialog {
    Q_OBJECT
public:
    V4l2CompressionDialog(V4l2Camera &camera, QWidget *parent = nullptr);

    uint32_t selectedFourcc() const;
    // Ticks the format's button; false when the device has no such format.
    bool selectFourcc(uint32_t fourcc);
    QString problemText() const;
    static QString hint();

    void accept() override;

private:
    V4l2Camera &camera_;
    QButtonGroup *choices_;
    QLabel *problem_;
};

} // namespace orvane
