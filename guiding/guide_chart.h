#pragma once
// The chart of guide steps: the star's drift dx and dy (pixels, left axis),
// each correction as a bar of its planned length (ms, right axis, one colour
// per direction letter, upwards for the positive direction of its axis) and
// marks at the steps that lost the star and at the steps taken while the star
// settled after a dither (a row of orange squares on the zero line: the
// settling spans), over a time axis in minutes. The guide
// graph window scrolls it over the last minutes; a rehearsal report shows a whole run.

#include "chart_trace.h"
#include "guide_events.h"

#include <QChartView>
#include <QList>
#include <QPointF>

#include <map>
#include <memory>
#include <vector>

class QChart;
class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace orvane {

class GuideChart : public QChartView {
    Q_OBJECT
public:
    explicit GuideChart(QWidget *parent = nullptr);
    ~GuideChart() override;

    // Points gathered per curve, to be added in one go (one repaint).
    struct Points {
        std::map<ChartTrace *, QList<QPointF>> traces;
        QList<QPointF> lost;
        QList<QPointF> settling;
    };
    // The points of the step at `minutes`, the drift and correction axes grown to hold them.
    void addPoints(Points &points, double minutes, const GuideStep &step);
    void append(const Points &points);
    // Every curve holds only `points` (those not named are emptied).
    void replace(Points points);
    // The drift and correction axes back to their least span.
    void resetRanges();
    void setTimeRange(double leftMinutes, double rightMinutes, double tickMinutes);
    // Drops the points left of `minutes` from every curve.
    void dropBefore(double minutes);
    double timeMax() const;
    // Two dashed lines at +-px on the drift axis: the band within which the box
    // way leaves the star alone (0: none).
    void showDeadBand(double px);
    double deadBandPx() const { return deadBandPx_; }

    const ChartTrace &dxTrace() const { return *dx_; }
    const ChartTrace &dyTrace() const { return *dy_; }
    const QScatterSeries *lostSeries() const { return lost_; }
    const QScatterSeries *settlingSeries() const { return settling_; }
    // The bars of one direction text ("e", ...); null before its first correction.
    const ChartTrace *correctionTrace(const QString &direction) const;

private:
    ChartTrace *barsFor(const QString &direction);
    std::vector<ChartTrace *> allTraces() const;

    QChart *chart_ = nullptr;
    QValueAxis *time_ = nullptr, *drift_ = nullptr, *move_ = nullptr;
    std::unique_ptr<ChartTrace> dx_, dy_;
    QScatterSeries *lost_ = nullptr;
    QScatterSeries *settling_ = nullptr;
    std::map<QString, std::unique_ptr<ChartTrace>> bars_;
    double driftRangePx_ = 1;  // the pixel axis spans ± this
    double moveRangeMs_ = 100; // the correction axis spans ± this
    double deadBandPx_ = 0;
    QLineSeries *bandTop_ = nullptr, *bandBottom_ = nullptr;
    void placeDeadBand();
};

} // namespace orvane
