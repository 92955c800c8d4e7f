#pragma once
// The histogram of the current picture with the black and white points marked.

#include "picture_display.h"

#include <QWidget>

namespace orvane {

class HistogramView : public QWidget {
    Q_OBJECT
public:
    enum class Channels { Luminance, RedGreenBlue };
    explicit HistogramView(const PictureDisplay &display, QWidget *parent = nullptr);
    void setChannels(Channels channels);
    QSize sizeHint() const override { return {320, 120}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const PictureDisplay &display_;
    Channels channels_ = Channels::Luminance;
};

} // namespace orvane
