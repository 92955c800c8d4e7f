#include "chart_trace.h"

#include <QChart>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>

namespace orvane {

ChartTrace::ChartTrace(QChart &chart, QAbstractAxis &xAxis, QAbstractAxis &yAxis, const QString &name,
                       const QColor &colour)
    : settled_(new QLineSeries), newest_(new QLineSeries)
{
    settled_->setName(name);
    for (QLineSeries *series : {settled_, newest_}) {
        chart.addSeries(series);
        series->attachAxis(&xAxis);
        series->attachAxis(&yAxis);
    }
    // A cosmetic one-pixel pen: a wider one is stroked as a polygon, far dearer to paint.
    QPen pen(colour);
    pen.setWidth(0);
    settled_->setPen(pen);
    newest_->setPen(pen);
    for (QLegendMarker *marker : chart.legend()->markers(newest_))
        marker->setVisible(false);
}

void ChartTrace::append(const QList<QPointF> &points)
{
    if (points.isEmpty())
        return;
    if (newest_->count() + points.size() <= kNewestPoints) {
        if (newest_->count() == 0 && settled_->count() > 0)
            newest_->append(settled_->at(settled_->count() - 1));
        newest_->append(points);
        return;
    }
    replace(this->points() + points);
}

void ChartTrace::replace(const QList<QPointF> &points)
{
    settled_->replace(points);
    newest_->clear();
}

void ChartTrace::dropBefore(double x)
{
    QList<QPointF> all = points();
    qsizetype first = 0;
    while (first < all.size() && all[first].x() < x)
        ++first;
    if (first > 0)
        replace(all.mid(first));
}

int ChartTrace::count() const
{
    return settled_->count() + std::max(0, newest_->count() - (settled_->count() > 0 ? 1 : 0));
}

QList<QPointF> ChartTrace::points() const
{
    QList<QPointF> all = settled_->points();
    const QList<QPointF> newest = newest_->points();
    all.append(newest.mid(settled_->count() > 0 && !newest.isEmpty() ? 1 : 0));
    return all;
}

QString ChartTrace::name() const
{
    return settled_->name();
}

} // namespace orvane
