#pragma once
// The widget that shows the picture area's drawn surface, through the display
// stretch when it has one, and reports clicks on it.

#include "picture_area.h"
#include "picture_display.h"

#include <QWidget>

#include <functional>

namespace orvane {

class PictureView : public QWidget {
    Q_OBJECT
public:
    PictureView(PictureArea &area, QWidget *parent = nullptr);
    // Called with the click position in picture pixels, for every mouse button.
    std::function<void(double x, double y)> onMouseDown;
    // Paints the surface as `display` shows it; null paints the surface as it is.
    void setDisplay(const PictureDisplay *display);

signals:
    // After onMouseDown has had the click.
    void pressed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    PictureArea &area_;
    const PictureDisplay *display_ = nullptr;
};

} // namespace orvane
