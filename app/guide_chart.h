#pragma once
// The chart of guide steps: the star's drift dx and dy (pixels, left axis),
// each correction as a bar of its planned length (ms, right axis, one colour
// per direction letter, upwards for the positive direction of its axis) and red
// marks at the steps that lost the star, over a time axis in minutes. The guide
// graph window scrolls it over the last minutes; a rehearsal report shows a whole run.

#include "guide_events.h"

#include <QChartView>
#include <QList>
#include <QPointF>

#include <map>
#include <vector>

class QChart;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
class QXYSeries;

namespace orvane {

class GuideChart : public QChartView {
    Q_OBJECT
public:
    explicit GuideChart(QWidget *parent = nullptr);

    // Points gathered per series, to be added in one go (one repaint).
    using Points = std::map<QXYSeries *, QList<QPointF>>;
    // The points of the step at `minutes`, the drift and correction axes grown to hold them.
    void addPoints(Points &points, double minutes, const GuideStep &step);
    void append(const Points &points);
    // Every series holds only `points` (those not named are emptied).
    void replace(Points points);
    // The drift and correction axes back to their least span.
    void resetRanges();
    void setTimeRange(double leftMinutes, double rightMinutes, double tickMinutes);
    // Drops the points left of `minutes` from every series.
    void dropBefore(double minutes);

    const QLineSeries *dxSeries() const { return dx_; }
    const QLineSeries *dySeries() const { return dy_; }
    const QScatterSeries *lostSeries() const { return lost_; }
    // The bars of one direction text ("e", ...); null before its first correction.
    const QLineSeries *correctionSeries(const QString &direction) const;
    double timeMax() const;

private:
    QLineSeries *barsFor(const QString &direction);
    std::vector<QXYSeries *> allSeries() const;

    QChart *chart_ = nullptr;
    QValueAxis *time_ = nullptr, *drift_ = nullptr, *move_ = nullptr;
    QLineSeries *dx_ = nullptr, *dy_ = nullptr;
    QScatterSeries *lost_ = nullptr;
    std::map<QString, QLineSeries *> bars_;
    double driftRangePx_ = 1;  // the pixel axis spans ± this
    double moveRangeMs_ = 100; // the correction axis spans ± this
};

} // namespace orvane
