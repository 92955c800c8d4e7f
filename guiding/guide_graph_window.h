#pragma once
// The "Guide graph" window, modeless beside the main window: the star's drift
// dx and dy at each guide step over the last 1, 5, 15 or 60 minutes, the
// corrections sent as bars (planned ms, one colour per direction letter), the
// steps that lost the star, and the RMS of this run and since the window
// opened. Opened mid-run it shows the run from its start; it follows the
// sequence from its creation on, shown or not, and keeps the last run after it
// ends until Clear.

#include "drift_stats.h"
#include "guide_chart.h"
#include "guide_events.h"

#include <QWidget>

#include <deque>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;

namespace orvane {

class ImagingSequence;

class GuideGraphWindow : public QWidget, public GuideObserver {
    Q_OBJECT
public:
    explicit GuideGraphWindow(ImagingSequence &sequence, QWidget *parent = nullptr);
    ~GuideGraphWindow() override;

    void guideStep(const GuideStep &step) override;
    void guideEvent(GuideEvent event, uint32_t timeMs, const QString &text) override;
    // Empties the graph and both statistics.
    void clear();
    // The band the guide way leaves the star alone in (pixels; 0: none), asked
    // when a run begins guiding and when the window opens; shown on the graph.
    std::function<double()> deadBandPx;
    void showDeadBand();
    double deadBandShownPx() const { return chart_->deadBandPx(); }
    // The guide pixel scale, arc-seconds per pixel, when the optics are known: the figures show it beside pixels.
    std::function<std::optional<double>()> arcsecPerPx;

    const DriftStats &runStats() const { return run_; }
    const DriftStats &openStats() const { return sinceOpened_; }
    const ChartTrace &dxTrace() const { return chart_->dxTrace(); }
    const ChartTrace &dyTrace() const { return chart_->dyTrace(); }
    const QScatterSeries *lostSeries() const { return chart_->lostSeries(); }
    const QScatterSeries *settlingSeries() const { return chart_->settlingSeries(); }
    // The bars of one direction text ("e", ...); null before its first correction.
    const ChartTrace *correctionTrace(const QString &direction) const { return chart_->correctionTrace(direction); }

private:
    struct Plotted {
        double minutes; // x of the step
        GuideStep step;
    };

    // Sets the time axis to the scale chosen with the newest step in view; returns its left end, minutes.
    double setTimeRange();
    // The time axis moves in quarter-scale jumps, so most steps only append their points.
    void followTime();
    // The series anew from the steps kept (a new scale, Clear).
    void replot();
    void showStats();
    // A window opened mid-run: the run's steps so far, counted in "This run".
    void replayRun();
    void showStar(const GuideStep &step);

    ImagingSequence &sequence_;
    DriftStats run_;
    DriftStats sinceOpened_;
    std::deque<Plotted> history_; // the last hour of steps, for a change of scale
    bool haveStart_ = false;
    uint32_t startMs_ = 0;      // clock ms of x = 0
    double latestMinutes_ = 0;  // x of the newest step

    GuideChart *chart_ = nullptr;
    QComboBox *scale_ = nullptr;
    QPushButton *clear_ = nullptr;
    QLabel *runText_ = nullptr, *openText_ = nullptr, *starText_ = nullptr;
};

} // namespace orvane
