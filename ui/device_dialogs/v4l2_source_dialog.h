#pragma once
// The webcam's source dialog: its controls (brightness, contrast, gain,
// exposure, ...) as sliders, check boxes, lists and buttons. A change goes to
// the device at once; the widget then shows the value the device kept, and
// controls that depend on it (manual exposure under automatic exposure, ...)
// are greyed or freed as the device says.

#include "v4l2_camera.h"

#include <QDialog>

#include <vector>

class QLabel;

namespace orvane {

class V4l2SourceDialog : public QDialog {
    Q_OBJECT
public:
    V4l2SourceDialog(V4l2Camera &camera, QWidget *parent = nullptr);

    const std::vector<V4l2Control> &shownControls() const { return controls_; }
    // The widget of a control (QSlider, QCheckBox, QComboBox or QPushButton), or nullptr.
    QWidget *widgetFor(uint32_t controlId) const;
    QString problemText() const;
    // Sends a value as the widget would; the result is what the widget then shows.
    void change(size_t index, int32_t value);
    // Every writable control back to the device's default.
    void restoreDefaults();

private:
    QWidget *makeWidget(size_t index);
    void showValue(size_t index);
    void refreshAll();

    V4l2Camera &camera_;
    std::vector<V4l2Control> controls_;
    std::vector<QWidget *> widgets_;
    std::vector<QLabel *> valueLabels_; // the number beside a slider; nullptr for others
    QLabel *problem_;
};

} // namespace orvane
