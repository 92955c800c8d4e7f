#pragma once
// The two views of the picture display window: the histogram of the current
// picture with the black and white points marked, and the stretched picture
// zoomed around the guide mark.

#include "picture_display.h"

#include <QPoint>
#include <QWidget>

#include <functional>
#include <optional>

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

class ZoomView : public QWidget {
    Q_OBJECT
public:
    explicit ZoomView(const PictureDisplay &display, QWidget *parent = nullptr);
    // The marked guide star in picture pixels, or nothing (the view then centres the picture).
    std::function<std::optional<QPoint>()> mark;
    // The picture pixel shown at the middle of the view at 1:1 and closer.
    QPoint centrePixel() const;
    QSize sizeHint() const override { return {320, 240}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const PictureDisplay &display_;
};

} // namespace orvane
