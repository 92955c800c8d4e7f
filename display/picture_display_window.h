#pragma once
// The "Picture display" window, modeless beside the main window: the Auto
// stretch tick, the black and white points, the histogram and the zoomed view.
// It only changes how the picture is painted, never its pixels.

#include "display_views.h"
#include "picture_display.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace orvane {

class PictureDisplayWindow : public QWidget {
    Q_OBJECT
public:
    PictureDisplayWindow(PictureDisplay &display, QWidget *parent = nullptr);

    ZoomView *zoomView() const { return zoomView_; }

private:
    // The controls show the display's settings and the points in use.
    void showSettings();

    PictureDisplay &display_;
    QCheckBox *autoStretch_ = nullptr;
    QSpinBox *blackPoint_ = nullptr, *whitePoint_ = nullptr;
    QComboBox *channels_ = nullptr, *zoom_ = nullptr;
    HistogramView *histogram_ = nullptr;
    ZoomView *zoomView_ = nullptr;
};

} // namespace orvane
