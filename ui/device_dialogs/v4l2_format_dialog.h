#pragma once
// The webcam's format dialog: pixel format, frame size and frame rate, each
// from the device's own lists. OK applies the choice (the stream restarts);
// when the device refuses, the sentence shows in the dialog and it stays open.

#include "v4l2_camera.h"

#include <QDialog>

class QComboBox;
class QLabel;

namespace orvane {

class V4l2FormatDialog : public QDialog {
    Q_OBJECT
public:
    V4l2FormatDialog(V4l2Camera &camera, QWidget *parent = nullptr);

    // The mode the three lists show now.
    V4l2Mode selectedMode() const;
    QComboBox *formatList() const { return formats_; }
    QComboBox *sizeList() const { return sizes_; }
    QComboBox *rateList() const { return rates_; }
    QString problemText() const;

    void accept() override;

private:
    const V4l2PixelFormat *selectedFormat() const;
    const V4l2FrameSize *selectedSize() const;
    void fillSizes(uint32_t width, uint32_t height);
    void fillRates(const V4l2FrameRate &rate);

    V4l2Camera &camera_;
    QComboBox *formats_;
    QComboBox *sizes_;
    QComboBox *rates_;
    QLabel *problem_;
};

} // namespace orvane
