#pragma once
// One curve of a live chart, drawn by two line series that look as one: the
// settled part and the few newest points. Qt Charts lays out a series' whole
// path again whenever a point is added, so a point costs in proportion to the
// series it joins; adding to the short series keeps a step cheap however much is
// in view, and the newest points move to the settled part in batches.

#include <QColor>
#include <QList>
#include <QPointF>
#include <QString>

class QAbstractAxis;
class QChart;
class QLineSeries;

namespace orvane {

class ChartTrace {
public:
    // Adds both series to `chart` on the two axes; `name` shows in the legend once.
    ChartTrace(QChart &chart, QAbstractAxis &xAxis, QAbstractAxis &yAxis, const QString &name, const QColor &colour);

    void append(const QList<QPointF> &points);
    void replace(const QList<QPointF> &points);
    // Drops the points left of `x`.
    void dropBefore(double x);

    int count() const;              // points of the curve
    QList<QPointF> points() const;  // in the order drawn
    QString name() const;
    // Points the newest part holds before they move to the settled part.
    static constexpr int kNewestPoints = 48;

private:
    QLineSeries *settled_;
    QLineSeries *newest_; // starts at the settled part's last point, so the curve is unbroken
};

} // namespace orvane
