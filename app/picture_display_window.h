#pragma once
// The "Picture display" window, modeless beside the main window: the Auto
// stretch tick and the black and white points.
// It only changes how the picture is painted, never its pixels.

#include "picture_display.h"

#include <QWidget>

class QCheckBox;
class QSpinBox;

namespace orvane {

class PictureDisplayWindow : public QWidget {
    Q_OBJECT
public:
    PictureDisplayWindow(PictureDisplay &display, QWidget *parent = nullptr);

private:
    // The controls show the display's settings and the points in use.
    void showSettings();

    PictureDisplay &display_;
    QCheckBox *autoStretch_ = nullptr;
    QSpinBox *blackPoint_ = nullptr, *whitePoint_ = nullptr;
};

} // namespace orvane
