#include "guide_chart.h"

#include <QChart>
#include <QLineSeries>
#include <QScatterSeries>
#include <QValueAxis>

#include <cmath>

namespace orvane {

namespace {

constexpr double kLeastDriftRangePx = 1;
constexpr double kLeastMoveRangeMs = 100;

// The smallest of 1, 2, 5, 10, 20, ... that holds `value`.
double roundRangeUp(double value)
{
    double range = 1;
    while (range < value)
        range *= (QString::number(range).startsWith('2') ? 2.5 : 2);
    return range;
}

} // namespace

GuideChart::GuideChart(QWidget *parent) : QChartView(parent)
{
    setObjectName(QStringLiteral("guideChart"));
    chart_ = new QChart;
    chart_->setAnimationOptions(QChart::NoAnimation);
    chart_->setDropShadowEnabled(false); // a blurred shadow costs more to paint than the points
    chart_->legend()->setAlignment(Qt::AlignBottom);
    chart_->legend()->setVisible(true);
    time_ = new QValueAxis;
    time_->setTitleText(QStringLiteral("minutes"));
    time_->setLabelFormat(QStringLiteral("%.0f"));
    time_->setTickType(QValueAxis::TicksDynamic); // ticks on whole minutes
    time_->setTickAnchor(0);
    drift_ = new QValueAxis;
    drift_->setTitleText(QStringLiteral("drift, pixels"));
    move_ = new QValueAxis;
    move_->setTitleText(QStringLiteral("correction, ms"));
    move_->setLabelFormat(QStringLiteral("%d"));
    chart_->addAxis(time_, Qt::AlignBottom);
    chart_->addAxis(drift_, Qt::AlignLeft);
    chart_->addAxis(move_, Qt::AlignRight);

    const auto addDrift = [this](QXYSeries *series, const char *name) {
        series->setName(QLatin1String(name));
        chart_->addSeries(series);
        series->attachAxis(time_);
        series->attachAxis(drift_);
    };
    dx_ = new QLineSeries;
    dy_ = new QLineSeries;
    lost_ = new QScatterSeries;
    lost_->setMarkerSize(9);
    lost_->setColor(Qt::red);
    addDrift(dx_, "dx");
    addDrift(dy_, "dy");
    addDrift(lost_, "star lost");
    setChart(chart_);
    setMinimumSize(640, 360);
    resetRanges();
}

const QLineSeries *GuideChart::correctionSeries(const QString &direction) const
{
    const auto found = bars_.find(direction);
    return found == bars_.end() ? nullptr : found->second;
}

double GuideChart::timeMax() const
{
    return time_->max();
}

QLineSeries *GuideChart::barsFor(const QString &direction)
{
    QLineSeries *&bars = bars_[direction];
    if (!bars) {
        bars = new QLineSeries;
        bars->setName(QStringLiteral("move %1").arg(direction.toUpper()));
        // Thin lines: a wide pen's stroke of hundreds of bars costs far more to paint.
        QPen pen = bars->pen();
        pen.setWidth(0); // cosmetic: one pixel, the quickest to draw
        bars->setPen(pen);
        chart_->addSeries(bars);
        bars->attachAxis(time_);
        bars->attachAxis(move_);
    }
    return bars;
}

void GuideChart::addPoints(Points &points, double t, const GuideStep &step)
{
    if (step.starFound) {
        points[dx_].append({t, step.dxPx});
        points[dy_].append({t, step.dyPx});
        const double reach = std::max(std::fabs(step.dxPx), std::fabs(step.dyPx));
        if (reach > driftRangePx_) {
            driftRangePx_ = roundRangeUp(reach);
            drift_->setRange(-driftRangePx_, driftRangePx_);
        }
    } else {
        points[lost_].append({t, 0});
    }
    if (!step.direction.isEmpty() && step.moveMs > 0) {
        const double ms = (step.dirX + step.dirY) < 0 ? -step.moveMs : step.moveMs;
        points[barsFor(step.direction)].append({{t, 0}, {t, ms}, {t, 0}});
        if (step.moveMs > moveRangeMs_) {
            moveRangeMs_ = roundRangeUp(step.moveMs);
            move_->setRange(-moveRangeMs_, moveRangeMs_);
        }
    }
}

void GuideChart::append(const Points &points)
{
    for (const auto &[series, list] : points)
        series->append(list);
}

void GuideChart::replace(Points points)
{
    for (QXYSeries *series : allSeries())
        points[series]; // an empty list empties the series
    for (auto &[series, list] : points)
        series->replace(list);
}

void GuideChart::resetRanges()
{
    driftRangePx_ = kLeastDriftRangePx;
    moveRangeMs_ = kLeastMoveRangeMs;
    drift_->setRange(-driftRangePx_, driftRangePx_);
    move_->setRange(-moveRangeMs_, moveRangeMs_);
}

void GuideChart::setTimeRange(double left, double right, double tick)
{
    time_->setRange(left, right);
    time_->setTickInterval(tick);
}

void GuideChart::dropBefore(double minutes)
{
    for (QXYSeries *series : allSeries()) {
        int first = 0;
        while (first < series->count() && series->at(first).x() < minutes)
            ++first;
        if (first > 0)
            series->removePoints(0, first);
    }
}

std::vector<QXYSeries *> GuideChart::allSeries() const
{
    std::vector<QXYSeries *> all{dx_, dy_, lost_};
    for (const auto &[direction, bars] : bars_)
        all.push_back(bars);
    return all;
}

} // namespace orvane
