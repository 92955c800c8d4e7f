#include "picture_view.h"

#include <QMouseEvent>
#include <QPainter>

namespace orvane {

PictureView::PictureView(PictureArea &area, QWidget *parent) : QWidget(parent), area_(area)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::CrossCursor);
    connect(&area_, &PictureArea::changed, this, qOverload<>(&QWidget::update));
}

void PictureView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().dark());
    painter.drawImage(0, 0, display_ ? display_->image() : area_.surface());
}

void PictureView::setDisplay(const PictureDisplay *display)
{
    if (display_)
        disconnect(display_, nullptr, this, nullptr);
    display_ = display;
    if (display_)
        connect(display_, &PictureDisplay::changed, this, qOverload<>(&QWidget::update));
    update();
}

void PictureView::mousePressEvent(QMouseEvent *event)
{
    if (onMouseDown)
        onMouseDown(event->position().x(), event->position().y());
    emit pressed();
}

} // namespace orvane
