#include "calibration_plot.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

const QColor kLetterColours[] = {Qt::red, QColor(255, 140, 0), Qt::blue, QColor(0, 150, 0)}; // w, e, n, s

int letterIndex(const QString &letter)
{
    const QString order = QStringLiteral("wens");
    return std::max<int>(0, int(order.indexOf(letter)));
}

} // namespace

CalibrationPlot::CalibrationPlot(QWidget *parent) : QWidget(parent)
{
    setMinimumSize(180, 180);
    setToolTip(QStringLiteral("Where each direction letter moved the star (x to the right, y downwards, as on the "
                              "picture); dots: the star at each step"));
}

void CalibrationPlot::clear()
{
    steps_.clear();
    moves_.reset();
    update();
}

void CalibrationPlot::addStep(const CalibrationStep &step)
{
    steps_.push_back(step);
    update();
}

void CalibrationPlot::showMoves(const LetterVelocities &moves)
{
    moves_ = moves;
    update();
}

void CalibrationPlot::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), palette().base());
    const QPointF centre = QRectF(rect()).center();
    const double room = std::min(width(), height()) / 2.0 - 16; // pixels of the widget
    p.setPen(QPen(palette().mid().color(), 1, Qt::DashLine));
    p.drawLine(QPointF(centre.x() - room, centre.y()), QPointF(centre.x() + room, centre.y()));
    p.drawLine(QPointF(centre.x(), centre.y() - room), QPointF(centre.x(), centre.y() + room));
    p.setPen(palette().text().color());
    p.drawText(QPointF(centre.x() + room - 8, centre.y() - 4), QStringLiteral("+x"));
    p.drawText(QPointF(centre.x() + 4, centre.y() + room + 4), QStringLiteral("+y"));

    // One scale for the steps (pixels on the picture) and one for the arrows (px/s).
    double farthestPx = 1;
    for (const CalibrationStep &s : steps_)
        farthestPx = std::max(farthestPx, std::hypot(s.offsetPx.x(), s.offsetPx.y()));
    for (const CalibrationStep &s : steps_) {
        p.setPen(Qt::NoPen);
        p.setBrush(kLetterColours[letterIndex(s.letter)]);
        p.drawEllipse(centre + s.offsetPx * (room / farthestPx), 2.5, 2.5);
    }
    if (!moves_)
        return;
    const std::pair<QString, QPointF> arrows[] = {{QStringLiteral("w"), moves_->west},
                                                  {QStringLiteral("e"), moves_->east},
                                                  {QStringLiteral("n"), moves_->north},
                                                  {QStringLiteral("s"), moves_->south}};
    double fastest = 1e-9;
    for (const auto &[letter, v] : arrows)
        fastest = std::max(fastest, std::hypot(v.x(), v.y()));
    for (const auto &[letter, v] : arrows) {
        const QPointF tip = centre + v * (room / fastest);
        p.setPen(QPen(kLetterColours[letterIndex(letter)], 2));
        p.drawLine(centre, tip);
        p.drawText(tip + QPointF(4, -4), letter);
    }
}

} // namespace orvane
