#include "guide_graph_window.h"

#include "imaging_sequence.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QScatterSeries>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

constexpr int kScalesMin[] = {1, 5, 15, 60}; // minutes the time axis spans
constexpr int kDefaultScale = 1;             // index: 5 minutes
constexpr double kKeptMinutes = 60;          // the longest scale: steps kept for a change of scale

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

QString statsText(const char *what, const DriftStats &s)
{
    return QStringLiteral("%1: RMS x %2 px, y %3 px, total %4 px; peak %5 px; %6 steps, %7 without the star")
        .arg(QLatin1String(what))
        .arg(s.rmsXPx(), 0, 'f', 2)
        .arg(s.rmsYPx(), 0, 'f', 2)
        .arg(s.rmsTotalPx(), 0, 'f', 2)
        .arg(s.peakPx(), 0, 'f', 2)
        .arg(s.steps())
        .arg(s.lostSteps());
}

void dropBefore(QXYSeries *series, double minutes)
{
    int first = 0;
    while (first < series->count() && series->at(first).x() < minutes)
        ++first;
    if (first > 0)
        series->removePoints(0, first);
}

} // namespace

GuideGraphWindow::GuideGraphWindow(ImagingSequence &sequence, QWidget *parent)
    : QWidget(parent, Qt::Window), sequence_(sequence)
{
    setObjectName(QStringLiteral("guideGraph"));
    setWindowTitle(QStringLiteral("Guide graph"));

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

    auto *view = new QChartView(chart_, this);
    view->setObjectName(QStringLiteral("guideChart"));
    view->setMinimumSize(640, 360);

    scale_ = new QComboBox(this);
    scale_->setObjectName(QStringLiteral("scale"));
    scale_->setAccessibleName(QStringLiteral("Time scale"));
    for (int minutes : kScalesMin)
        scale_->addItem(QStringLiteral("last %1 min").arg(minutes), minutes);
    scale_->setCurrentIndex(kDefaultScale);
    connect(scale_, &QComboBox::currentIndexChanged, this, &GuideGraphWindow::replot);
    clear_ = new QPushButton(QStringLiteral("Clear"), this);
    clear_->setObjectName(QStringLiteral("clear"));
    connect(clear_, &QPushButton::clicked, this, &GuideGraphWindow::clear);

    runText_ = new QLabel(this);
    runText_->setObjectName(QStringLiteral("runStats"));
    openText_ = new QLabel(this);
    openText_->setObjectName(QStringLiteral("openStats"));
    starText_ = new QLabel(this);
    starText_->setObjectName(QStringLiteral("starSnr"));

    auto *controls = new QHBoxLayout;
    controls->addWidget(scale_);
    controls->addWidget(starText_, 1);
    controls->addWidget(clear_);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view, 1);
    layout->addWidget(runText_);
    layout->addWidget(openText_);
    layout->addLayout(controls);

    clear();
    sequence_.addGuideObserver(this);
}

GuideGraphWindow::~GuideGraphWindow()
{
    sequence_.removeGuideObserver(this);
}

const ChartTrace *GuideGraphWindow::correctionTrace(const QString &direction) const
{
    const auto found = bars_.find(direction);
    return found == bars_.end() ? nullptr : found->second.get();
}

ChartTrace *GuideGraphWindow::barsFor(const QString &direction)
{
    std::unique_ptr<ChartTrace> &bars = bars_[direction];
    if (!bars) {
        const QColor colour = kBarColours[(bars_.size() - 1) % std::size(kBarColours)];
        bars = std::make_unique<ChartTrace>(*chart_, *time_, *move_, QStringLiteral("move %1").arg(direction.toUpper()),
                                            colour);
    }
    return bars.get();
}

void GuideGraphWindow::guideStep(const GuideStep &step)
{
    if (!haveStart_) {
        haveStart_ = true;
        startMs_ = step.timeMs;
    }
    const double t = (step.timeMs - startMs_) / 60000.0; // minutes
    run_.add(step);
    sinceOpened_.add(step);
    history_.push_back({t, step});
    while (history_.front().minutes < t - kKeptMinutes)
        history_.pop_front();
    Points points;
    addPoints(points, t, step);
    for (auto &[trace, list] : points.traces)
        trace->append(list);
    if (!points.lost.isEmpty())
        lost_->append(points.lost);
    starText_->setText(step.starFound ? QStringLiteral("Star SNR %1").arg(step.snr, 0, 'f', 1)
                                      : QStringLiteral("Star lost"));
    latestMinutes_ = t;
    if (t > time_->max())
        followTime();
    showStats();
}

void GuideGraphWindow::addPoints(Points &points, double t, const GuideStep &step)
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

void GuideGraphWindow::guideEvent(GuideEvent event, uint32_t, const QString &)
{
    if (event == GuideEvent::GuidingBegins) {
        run_.clear();
        showStats();
    }
}

void GuideGraphWindow::clear()
{
    history_.clear();
    run_.clear();
    sinceOpened_.clear();
    haveStart_ = false;
    latestMinutes_ = 0;
    driftRangePx_ = 1;
    moveRangeMs_ = 100;
    drift_->setRange(-driftRangePx_, driftRangePx_);
    move_->setRange(-moveRangeMs_, moveRangeMs_);
    starText_->setText(QStringLiteral("Star SNR -"));
    replot();
    showStats();
}

double GuideGraphWindow::setTimeRange()
{
    const double span = scale_->currentData().toInt(); // minutes
    // The newest point stands a quarter span from the right edge after a jump.
    const double right = std::max(span, latestMinutes_ + span / 4);
    time_->setRange(right - span, right);
    time_->setTickInterval(span / 5);
    return right - span;
}

void GuideGraphWindow::followTime()
{
    // The series hold only what is in view, so a step costs the points shown, not the hour kept.
    const double left = setTimeRange();
    for (ChartTrace *trace : allTraces())
        trace->dropBefore(left);
    dropBefore(lost_, left);
}

void GuideGraphWindow::replot()
{
    const double left = setTimeRange();
    Points points;
    for (ChartTrace *trace : allTraces())
        points.traces[trace]; // an empty list empties the trace
    for (const Plotted &p : history_)
        if (p.minutes >= left)
            addPoints(points, p.minutes, p.step);
    for (auto &[trace, list] : points.traces)
        trace->replace(list);
    lost_->replace(points.lost);
}

std::vector<ChartTrace *> GuideGraphWindow::allTraces() const
{
    std::vector<ChartTrace *> all{dx_.get(), dy_.get()};
    for (const auto &[direction, bars] : bars_)
        all.push_back(bars.get());
    return all;
}

void GuideGraphWindow::showStats()
{
    runText_->setText(statsText("This run", run_));
    openText_->setText(statsText("Since opened", sinceOpened_));
}

} // namespace orvane
