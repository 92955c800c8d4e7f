#include "display_views.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace orvane {

HistogramView::HistogramView(const PictureDisplay &display, QWidget *parent) : QWidget(parent), display_(display)
{
    setMinimumSize(256, 80);
    connect(&display_, &PictureDisplay::changed, this, qOverload<>(&QWidget::update));
}

void HistogramView::setChannels(Channels channels)
{
    channels_ = channels;
    update();
}

void HistogramView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    const Histogram &h = display_.histogram();
    const double w = width(), height = this->height();
    const auto xOf = [w](double level) { return level * w / 256.0; };
    // Heights on a log scale: the dark background holds nearly every pixel, a star a few.
    const double top = std::log1p(double(std::max(
        {*std::max_element(h.luminance.begin(), h.luminance.end()), *std::max_element(h.red.begin(), h.red.end()),
         *std::max_element(h.green.begin(), h.green.end()), *std::max_element(h.blue.begin(), h.blue.end())})));
    const auto yOf = [&](uint32_t count) { return top > 0 ? height - std::log1p(double(count)) / top * height : height; };

    if (channels_ == Channels::Luminance) {
        for (int level = 0; level < 256; ++level)
            painter.fillRect(QRectF(QPointF(xOf(level), yOf(h.luminance[level])), QPointF(xOf(level + 1), height)),
                             palette().text());
    } else {
        const std::pair<const std::array<uint32_t, 256> *, QColor> curves[] = {
            {&h.red, Qt::red}, {&h.green, Qt::darkGreen}, {&h.blue, Qt::blue}};
        painter.setRenderHint(QPainter::Antialiasing);
        for (const auto &[counts, colour] : curves) {
            QPainterPath path(QPointF(0, height));
            for (int level = 0; level < 256; ++level)
                path.lineTo(xOf(level + 0.5), yOf((*counts)[level]));
            painter.setPen(QPen(colour, 1.5));
            painter.drawPath(path);
        }
        painter.setRenderHint(QPainter::Antialiasing, false);
    }

    const StretchPoints points = display_.points();
    const auto mark = [&](int level, const QColor &colour, const QString &name) {
        const double x = xOf(level + 0.5);
        painter.setPen(QPen(colour, 2));
        painter.drawLine(QPointF(x, 0), QPointF(x, height));
        painter.drawText(QPointF(std::min(x + 3, w - 40), 12), QStringLiteral("%1 %2").arg(name).arg(level));
    };
    mark(points.black, QColor(0, 90, 200), QStringLiteral("B"));
    mark(points.white, QColor(220, 120, 0), QStringLiteral("W"));
}

ZoomView::ZoomView(const PictureDisplay &display, QWidget *parent) : QWidget(parent), display_(display)
{
    setMinimumSize(160, 120);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&display_, &PictureDisplay::changed, this, qOverload<>(&QWidget::update));
}

QPoint ZoomView::centrePixel() const
{
    if (mark)
        if (const std::optional<QPoint> marked = mark())
            return *marked;
    return {PictureArea::kWidth / 2, PictureArea::kHeight / 2};
}

void ZoomView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().dark());
    const QImage &image = display_.image();
    const int zoom = display_.settings().zoom;
    if (zoom == kZoomFit) {
        const QSize fitted = image.size().scaled(size(), Qt::KeepAspectRatio);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2), fitted), image);
        return;
    }
    // Whole screen pixels per picture pixel, the centre pixel's block on the middle of the view.
    const QPoint centre = centrePixel();
    const QPoint origin(width() / 2 - zoom * centre.x() - zoom / 2, height() / 2 - zoom * centre.y() - zoom / 2);
    painter.drawImage(QRect(origin, image.size() * zoom), image);
}

} // namespace orvane
