#pragma once
// Imaging > Optics...: the focal length (mm) and pixel size (µm) of the guide and
// the imaging camera, and the pixel scales they give. Modeless; Apply takes the
// figures from the next guide step and frame on and stores them in orvane.ini
// ([optics]), keeping the rest of the file as the user wrote it. An empty box
// means unknown: guide errors are then told in pixels only.

#include "optics.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;

namespace orvane {

class OpticsWindow : public QWidget {
    Q_OBJECT
public:
    OpticsWindow(Optics &optics, QString iniPath, QWidget *parent = nullptr);

    // Tells the user a problem without waiting for an answer; tests replace it.
    std::function<void(const QString &)> showMessage;

    // The boxes as the optics are now.
    void showOptics();
    // Takes the boxes; a box that holds no usable figure is told by name and nothing changes.
    bool apply();

private:
    void showScales();

    Optics &optics_;
    QString iniPath_;
    QLineEdit *boxes_[4] = {}; // guide focal, guide pixel, imaging focal, imaging pixel
    QLabel *scales_ = nullptr;
};

// "Guide camera: 2.89″ per pixel. Imaging camera: ..." for the figures given.
QString opticsScalesText(const Optics &optics);

} // namespace orvane
