#include "assistant_window.h"

#include "backlash_probe.h"
#include "star_watch.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>
#include <numbers>

namespace orvane {

namespace {

constexpr int kDefaultMinutes = 10; // more than one worm turn of most mounts (8 minutes)

} // namespace

AssistantWindow::AssistantWindow(Rig &rig, Hooks hooks, QWidget *parent)
    : QWidget(parent, Qt::Window), rig_(rig), hooks_(std::move(hooks))
{
    setObjectName(QStringLiteral("guidingAssistant"));
    setWindowTitle(QStringLiteral("Guiding assistant"));
    auto *intro = new QLabel(QStringLiteral("With no correction sent, the marked star is watched: the seeing jitter "
                                            "and the drift need 2 minutes, the periodic error a whole worm turn (8 "
                                            "minutes or more on most mounts); the Dec backlash test at the end about half a "
                                            "minute. Stop ends the watch at any time."),
                             this);
    intro->setWordWrap(true);
    minutes_ = new QSpinBox(this);
    minutes_->setObjectName(QStringLiteral("assistantMinutes"));
    minutes_->setRange(2, 60);
    minutes_->setValue(kDefaultMinutes);
    minutes_->setSuffix(QStringLiteral(" min"));
    auto *minutesLabel = new QLabel(QStringLiteral("&Watch for:"), this);
    minutesLabel->setBuddy(minutes_);
    testBacklash_ = new QCheckBox(QStringLiteral("Test the Dec &backlash at the end (the mount moves north, then "
                                                 "south)"),
                                  this);
    testBacklash_->setObjectName(QStringLiteral("assistantTestBacklash"));
    testBacklash_->setChecked(true);
    progress_ = new QLabel(this);
    progress_->setObjectName(QStringLiteral("assistantProgress"));
    result_ = new QLabel(this);
    result_->setObjectName(QStringLiteral("assistantResult"));
    result_->setWordWrap(true);
    result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    start_ = new QPushButton(QStringLiteral("&Start"), this);
    start_->setObjectName(QStringLiteral("assistantStart"));
    stop_ = new QPushButton(QStringLiteral("S&top"), this);
    stop_->setObjectName(QStringLiteral("assistantStop"));
    apply_ = new QPushButton(QStringLiteral("&Apply"), this);
    apply_->setObjectName(QStringLiteral("assistantApply"));
    apply_->setToolTip(QStringLiteral("Puts the recommended values into Guide sec and Guiding settings"));
    auto *close = new QPushButton(QStringLiteral("&Close"), this);

    auto *row = new QHBoxLayout;
    row->addWidget(minutesLabel);
    row->addWidget(minutes_);
    row->addStretch(1);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {start_, stop_, apply_, close})
        buttons->addWidget(b);
    auto *all = new QVBoxLayout(this);
    all->addWidget(intro);
    all->addLayout(row);
    all->addWidget(testBacklash_);
    all->addWidget(progress_);
    all->addWidget(result_, 1);
    all->addLayout(buttons);
    connect(start_, &QPushButton::clicked, this, &AssistantWindow::start);
    connect(stop_, &QPushButton::clicked, this, &AssistantWindow::stop);
    connect(apply_, &QPushButton::clicked, this, &AssistantWindow::apply);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    updateButtons();
}

void AssistantWindow::start()
{
    if (running_)
        return;
    if (const QString refusal = hooks_.refusal ? hooks_.refusal() : QString(); !refusal.isEmpty()) {
        result_->setText(refusal);
        return;
    }
    figures_.reset();
    advice_.reset();
    backlashFailure_.clear();
    result_->clear();
    running_ = true;
    stopAsked_ = false;
    updateButtons();
    emit started();
    const SequenceState &seq = rig_.context().sequence;
    const GuidingState &g = rig_.context().guiding;
    const double seconds = minutes_->value() * 60.0;
    const int32_t exposureMs = hooks_.guideExposureMs ? hooks_.guideExposureMs() : 1000;
    const StarWatch watch = watchStar(
        rig_, seq.StarX + g.MarkDX, seq.StarY + g.MarkDY, exposureMs, seconds, [this] { return stopAsked_; },
        [this, seconds](const WatchedPlace &p) {
            progress_->setText(QStringLiteral("Watching: %1 of %2 s").arg(std::lround(p.seconds)).arg(std::lround(seconds)));
        });
    scale_ = hooks_.pixelScaleArcsecPerPx ? hooks_.pixelScaleArcsecPerPx() : std::nullopt;
    declination_ = hooks_.declinationDeg ? hooks_.declinationDeg() : std::nullopt;
    figures_ = measureNight(watch.places, scale_, declination_);
    QPointF last = watch.places.empty() ? QPointF() : QPointF(watch.places.back().xPx, watch.places.back().yPx);
    bool stopped = watch.stopped;
    if (figures_ && !stopped && testBacklash_->isChecked()) {
        const BacklashProbeOptions options{
            .exposureMs = exposureMs,
            .driftPxPerS = QPointF(figures_->driftXPxPerMin, figures_->driftYPxPerMin) / 60,
            .expectedRatePxPerSec = g.Axes ? g.Axes->yRatePxPerSec : double(rig_.context().settings.PixPerSec)};
        const BacklashProbe probe = probeDecBacklash(rig_, last, options, [this] { return stopAsked_; },
                                                     [this](const QString &what) { progress_->setText(what); });
        figures_->decBacklash = probe.reading;
        backlashFailure_ = probe.failure;
        stopped = probe.stopped;
        last = probe.starPx;
    }
    if (figures_) { // the Dec axis as the backlash test or the calibration found it, else the picture's y
        const std::optional<double> decAxisDeg =
            figures_->decBacklash ? std::optional(std::atan2(figures_->decBacklash->northPx.y(),
                                                             figures_->decBacklash->northPx.x()) * 180 / std::numbers::pi)
            : g.Axes             ? std::optional(g.Axes->yAngleDeg)
                                 : std::nullopt;
        if (decAxisDeg)
            figures_->polarErrorArcmin = polarAlignmentErrorArcmin(decDriftPxPerMin(*figures_, *decAxisDeg), scale_,
                                                                   declination_);
    }
    running_ = false;
    if (!watch.places.empty()) { // the mark follows the star the watch followed, as a click on it would put it
        SequenceState &marked = rig_.context().sequence;
        marked.StarX = int16_t(std::lround(last.x()));
        marked.StarY = int16_t(std::lround(last.y()));
        rig_.lockOnMark();
    }
    if (!figures_) {
        result_->setText((watch.failure.isEmpty() ? QStringLiteral("The watch ended before enough frames were seen.")
                                                  : watch.failure) +
                         QStringLiteral(" Nothing was measured."));
    } else {
        advice_ = adviseGuiding(*figures_);
        showAdvice();
    }
    progress_->setText(stopped ? QStringLiteral("Stopped after %1 frames").arg(watch.places.size())
                               : QStringLiteral("%1 frames watched").arg(watch.places.size()));
    updateButtons();
    emit finished();
}

void AssistantWindow::showAdvice()
{
    const NightFigures &f = *figures_;
    const GuideAdvice &a = *advice_;
    const GuidingSettings now = hooks_.current ? hooks_.current() : GuidingSettings{};
    const double nowExposureS = (hooks_.guideExposureMs ? hooks_.guideExposureMs() : 1000) / 1000.0;
    QString text = QStringLiteral("Seeing jitter %1 px (x), %2 px (y) RMS\nDrift %3 px/min (x), %4 px/min (y)\n")
                       .arg(f.jitterXPx, 0, 'f', 2)
                       .arg(f.jitterYPx, 0, 'f', 2)
                       .arg(f.driftXPxPerMin, 0, 'f', 2)
                       .arg(f.driftYPxPerMin, 0, 'f', 2);
    text += f.periodicErrorPeriodS > 0 ? QStringLiteral("Periodic error %1 px over %2 s\n")
                                             .arg(f.periodicErrorPx, 0, 'f', 2)
                                             .arg(f.periodicErrorPeriodS, 0, 'f', 0)
                                       : QStringLiteral("Periodic error: none seen (watch longer than a worm turn)\n");
    if (f.polarErrorArcmin)
        text += QStringLiteral("Polar alignment error about %1 arcmin (at %2\u2033/px, Dec %3\u00b0)\n")
                    .arg(*f.polarErrorArcmin, 0, 'f', 1)
                    .arg(*scale_, 0, 'f', 2)
                    .arg(*declination_, 0, 'f', 0);
    else {
        QStringList missing;
        if (!scale_)
            missing << QStringLiteral("the guide pixel scale (Imaging > Optics...)");
        if (!declination_)
            missing << QStringLiteral("the declination (Guide > Calibrate..., or the mount's pointing)");
        text += missing.isEmpty() ? QStringLiteral("Polar alignment error: not known near the pole\n")
                                  : QStringLiteral("Polar alignment error: not known without %1\n")
                                        .arg(missing.join(QStringLiteral(" and ")));
    }
    if (f.decBacklash)
        text += QStringLiteral("Dec backlash %1 ms (%2 px at %3 px/s)\n")
                    .arg(f.decBacklash->backlashMs, 0, 'f', 0)
                    .arg(f.decBacklash->backlashPx, 0, 'f', 1)
                    .arg(f.decBacklash->ratePxPerSec, 0, 'f', 1);
    else
        text += backlashFailure_.isEmpty() ? QStringLiteral("Dec backlash: not tested\n")
                                           : QStringLiteral("Dec backlash: not measured. %1\n").arg(backlashFailure_);
    const QString nowDec = decModeWords(now.decMode, now.decBacklash);
    text += QStringLiteral("\nRecommended (in use now):\nGuide sec %1 (%2)\nMinimum move %3 px (%4)\n"
                           "Aggressiveness %5 (%6)\nDec guiding %7 (%8)\n")
                .arg(a.guideExposureS, 0, 'g', 3)
                .arg(nowExposureS, 0, 'g', 3)
                .arg(a.minMovePx, 0, 'f', 2)
                .arg(now.minMovePx, 0, 'f', 2)
                .arg(a.aggressiveness, 0, 'f', 2)
                .arg(now.aggressiveness, 0, 'f', 2)
                .arg(a.decMode.isEmpty() ? QStringLiteral("as it is") : decModeWords(a.decMode, a.decBacklash), nowDec);
    result_->setText(text + a.why.join(QLatin1Char('\n')));
}

void AssistantWindow::apply()
{
    if (!advice_ || running_)
        return;
    const QString refused = hooks_.apply ? hooks_.apply(*advice_) : QString();
    result_->setText(result_->text() + QLatin1Char('\n') +
                     (refused.isEmpty() ? QStringLiteral("Applied: Guide sec and Guiding settings hold the values "
                                                         "recommended.")
                                        : refused));
    if (refused.isEmpty())
        advice_.reset();
    updateButtons();
}

void AssistantWindow::updateButtons()
{
    start_->setEnabled(!running_);
    stop_->setEnabled(running_);
    apply_->setEnabled(!running_ && advice_.has_value());
}

void AssistantWindow::closeEvent(QCloseEvent *event)
{
    stopAsked_ = true;
    event->accept();
}

} // namespace orvane
