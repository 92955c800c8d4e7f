#include "guide_graph_window.h"

#include "imaging_sequence.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

constexpr int kScalesMin[] = {1, 5, 15, 60}; // minutes the time axis spans
constexpr int kDefaultScale = 1;             // index: 5 minutes
constexpr double kKeptMinutes = 60;          // the longest scale: steps kept for a change of scale

QString statsText(const char *what, const DriftStats &s, std::optional<double> arcsecPerPx)
{
    return QStringLiteral("%1: RMS %2").arg(QLatin1String(what), driftFigures(s, arcsecPerPx));
}

} // namespace

GuideGraphWindow::GuideGraphWindow(ImagingSequence &sequence, QWidget *parent)
    : QWidget(parent, Qt::Window), sequence_(sequence)
{
    setObjectName(QStringLiteral("guideGraph"));
    setWindowTitle(QStringLiteral("Guide graph"));

    chart_ = new GuideChart(this);

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
    layout->addWidget(chart_, 1);
    layout->addWidget(runText_);
    layout->addWidget(openText_);
    layout->addLayout(controls);

    clear();
    replayRun();
    sequence_.addGuideObserver(this);
}

void GuideGraphWindow::replayRun()
{
    const std::deque<GuideStep> &steps = sequence_.runSteps();
    if (steps.empty())
        return;
    haveStart_ = true;
    startMs_ = steps.front().timeMs;
    for (const GuideStep &step : steps) {
        const double t = (step.timeMs - startMs_) / 60000.0; // minutes
        run_.add(step); // the run counts from its start; "since opened" from now
        history_.push_back({t, step});
        latestMinutes_ = t;
    }
    while (history_.front().minutes < latestMinutes_ - kKeptMinutes)
        history_.pop_front();
    showStar(steps.back());
    replot();
    showStats();
}

void GuideGraphWindow::showStar(const GuideStep &step)
{
    QString text = step.starFound ? QStringLiteral("Star peak %1, SNR %2").arg(step.starPeak, 0, 'f', 0).arg(step.snr, 0, 'f', 1)
                                  : QStringLiteral("Star lost");
    if (step.starFound && step.stars > 1)
        text += QStringLiteral(", %1 stars").arg(step.stars);
    starText_->setText(text);
}

GuideGraphWindow::~GuideGraphWindow()
{
    sequence_.removeGuideObserver(this);
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
    GuideChart::Points points;
    chart_->addPoints(points, t, step);
    chart_->append(points);
    showStar(step);
    latestMinutes_ = t;
    if (t > chart_->timeMax())
        followTime();
    showStats();
}

void GuideGraphWindow::guideEvent(GuideEvent event, uint32_t, const QString &)
{
    if (event == GuideEvent::GuidingBegins) {
        showDeadBand();
        run_.clear();
        showStats();
    }
}

void GuideGraphWindow::showDeadBand()
{
    chart_->showDeadBand(deadBandPx ? deadBandPx() : 0);
}

void GuideGraphWindow::clear()
{
    history_.clear();
    run_.clear();
    sinceOpened_.clear();
    haveStart_ = false;
    latestMinutes_ = 0;
    chart_->resetRanges();
    starText_->setText(QStringLiteral("Star peak -, SNR -"));
    replot();
    showStats();
}

double GuideGraphWindow::setTimeRange()
{
    const double span = scale_->currentData().toInt(); // minutes
    // The newest point stands a quarter span from the right edge after a jump.
    const double right = std::max(span, latestMinutes_ + span / 4);
    chart_->setTimeRange(right - span, right, span / 5);
    return right - span;
}

void GuideGraphWindow::followTime()
{
    // The series hold only what is in view, so a step costs the points shown, not the hour kept.
    chart_->dropBefore(setTimeRange());
}

void GuideGraphWindow::replot()
{
    const double left = setTimeRange();
    GuideChart::Points points;
    for (const Plotted &p : history_)
        if (p.minutes >= left)
            chart_->addPoints(points, p.minutes, p.step);
    chart_->replace(std::move(points));
}

void GuideGraphWindow::showStats()
{
    const std::optional<double> scale = arcsecPerPx ? arcsecPerPx() : std::nullopt;
    runText_->setText(statsText("This run", run_, scale));
    openText_->setText(statsText("Since opened", sinceOpened_, scale));
}

} // namespace orvane
