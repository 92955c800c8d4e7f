#include "guide_chart.h"

#include <QChart>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>

#include <cmath>

namespace orvane {

namespace {

constexpr double kLeastDriftRangePx = 1;
constexpr double kLeastMoveRangeMs = 100;

const QColor kDxColour(0x1f, 0x77, 0xb4), kDyColour(0xd6, 0x27, 0x28);
// Correction bars, one colour per direction text in the order they first appear; lighter than the drift lines.
const QColor kBarColours[] = {QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x9f, 0x40), QColor(0x94, 0x67, 0xbd),
                              QColor(0x8c, 0x56, 0x4b), QColor(0x17, 0xbe, 0xcf), QColor(0xbc, 0xbd, 0x22)};

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

    dx_ = std::make_unique<ChartTrace>(*chart_, *time_, *drift_, QStringLiteral("dx"), kDxColour);
    dy_ = std::make_unique<ChartTrace>(*chart_, *time_, *drift_, QStringLiteral("dy"), kDyColour);
    lost_ = new QScatterSeries;
    lost_->setName(QStringLiteral("star lost"));
    lost_->setMarkerSize(9);
    lost_->setColor(Qt::black);
    chart_->addSeries(lost_);
    lost_->attachAxis(time_);
    lost_->attachAxis(drift_);
    settling_ = new QScatterSeries;
    settling_->setName(QStringLiteral("settling"));
    settling_->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    settling_->setMarkerSize(7);
    settling_->setColor(QColor(0xE6, 0x8A, 0x00));
    settling_->setBorderColor(Qt::transparent);
    chart_->addSeries(settling_);
    settling_->attachAxis(time_);
    settling_->attachAxis(drift_);
    for (QLineSeries **band : {&bandTop_, &bandBottom_}) {
        *band = new QLineSeries;
        QPen pen(Qt::gray);
        pen.setStyle(Qt::DashLine);
        (*band)->setPen(pen);
        chart_->addSeries(*band);
        (*band)->attachAxis(time_);
        (*band)->attachAxis(drift_);
        (*band)->setVisible(false);
    }
    bandTop_->setName(QStringLiteral("box way leaves the star alone within this band"));
    setChart(chart_);
    const QList<QLegendMarker *> bottomMarker = chart_->legend()->markers(bandBottom_);
    for (QLegendMarker *marker : bottomMarker)
        marker->setVisible(false); // one legend entry for the pair
    setMinimumSize(640, 360);
    resetRanges();
}

GuideChart::~GuideChart() = default;

const ChartTrace *GuideChart::correctionTrace(const QString &direction) const
{
    const auto found = bars_.find(direction);
    return found == bars_.end() ? nullptr : found->second.get();
}

double GuideChart::timeMax() const
{
    return time_->max();
}

ChartTrace *GuideChart::barsFor(const QString &direction)
{
    std::unique_ptr<ChartTrace> &bars = bars_[direction];
    if (!bars) {
        const QColor colour = kBarColours[(bars_.size() - 1) % std::size(kBarColours)];
        bars = std::make_unique<ChartTrace>(*chart_, *time_, *move_, QStringLiteral("move %1").arg(direction.toUpper()),
                                            colour);
    }
    return bars.get();
}

void GuideChart::addPoints(Points &points, double t, const GuideStep &step)
{
    if (step.starFound) {
        points.traces[dx_.get()].append({t, step.dxPx});
        points.traces[dy_.get()].append({t, step.dyPx});
        const double reach = std::max(std::fabs(step.dxPx), std::fabs(step.dyPx));
        if (reach > driftRangePx_) {
            driftRangePx_ = roundRangeUp(reach);
            drift_->setRange(-driftRangePx_, driftRangePx_);
        }
    } else {
        points.lost.append({t, 0});
    }
    if (step.settling)
        points.settling.append({t, 0});
    // One bar per axis moved: both axes in a two-axis step.
    const GuideStep both = step.withAxesFilled();
    const struct {
        const QString &direction;
        double ms;
        int16_t dir;
    } moves[] = {{both.directionX, both.moveXMs, both.dirX}, {both.directionY, both.moveYMs, both.dirY}};
    for (const auto &move : moves) {
        if (move.direction.isEmpty() || move.ms <= 0)
            continue;
        points.traces[barsFor(move.direction)].append({{t, 0}, {t, move.dir < 0 ? -move.ms : move.ms}, {t, 0}});
        if (move.ms > moveRangeMs_) {
            moveRangeMs_ = roundRangeUp(move.ms);
            move_->setRange(-moveRangeMs_, moveRangeMs_);
        }
    }
}

void GuideChart::append(const Points &points)
{
    for (const auto &[trace, list] : points.traces)
        trace->append(list);
    if (!points.lost.isEmpty())
        lost_->append(points.lost);
    if (!points.settling.isEmpty())
        settling_->append(points.settling);
}

void GuideChart::replace(Points points)
{
    for (ChartTrace *trace : allTraces())
        points.traces[trace]; // an empty list empties the trace
    for (auto &[trace, list] : points.traces)
        trace->replace(list);
    lost_->replace(points.lost);
    settling_->replace(points.settling);
}

void GuideChart::resetRanges()
{
    driftRangePx_ = kLeastDriftRangePx;
    moveRangeMs_ = kLeastMoveRangeMs;
    drift_->setRange(-driftRangePx_, driftRangePx_);
    move_->setRange(-moveRangeMs_, moveRangeMs_);
    placeDeadBand();
}

void GuideChart::setTimeRange(double left, double right, double tick)
{
    time_->setRange(left, right);
    time_->setTickInterval(tick);
    placeDeadBand();
}

void GuideChart::showDeadBand(double px)
{
    deadBandPx_ = px;
    placeDeadBand();
}

void GuideChart::placeDeadBand()
{
    const bool shown = deadBandPx_ > 0;
    bandTop_->setVisible(shown);
    bandBottom_->setVisible(shown);
    for (QLegendMarker *marker : chart_->legend()->markers(bandTop_))
        marker->setVisible(shown);
    for (QLegendMarker *marker : chart_->legend()->markers(bandBottom_))
        marker->setVisible(false);
    if (!shown)
        return;
    bandTop_->replace({{time_->min(), deadBandPx_}, {time_->max(), deadBandPx_}});
    bandBottom_->replace({{time_->min(), -deadBandPx_}, {time_->max(), -deadBandPx_}});
    if (driftRangePx_ <= deadBandPx_) { // the band stands inside the axis, not on its edge
        driftRangePx_ = roundRangeUp(deadBandPx_ * 1.25);
        drift_->setRange(-driftRangePx_, driftRangePx_);
    }
}

void GuideChart::dropBefore(double minutes)
{
    for (ChartTrace *trace : allTraces())
        trace->dropBefore(minutes);
    for (QScatterSeries *marks : {lost_, settling_}) {
        int first = 0;
        while (first < marks->count() && marks->at(first).x() < minutes)
            ++first;
        if (first > 0)
            marks->removePoints(0, first);
    }
}

std::vector<ChartTrace *> GuideChart::allTraces() const
{
    std::vector<ChartTrace *> all{dx_.get(), dy_.get()};
    for (const auto &[direction, bars] : bars_)
        all.push_back(bars.get());
    return all;
}

} // namespace orvane
