#include "calibration_window.h"

#include "calibration_apply.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvane {

namespace {

QPushButton *button(QWidget *parent, const QString &text, const char *name, const QString &tip)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(tip);
    return b;
}

} // namespace

CalibrationWindow::CalibrationWindow(Calibration &calibration, Settings &settings, QString configPath, QString iniPath,
                                     Hooks hooks, QWidget *parent)
    : QWidget(parent, Qt::Window), calibration_(calibration), settings_(settings), configPath_(std::move(configPath)),
      iniPath_(std::move(iniPath)), hooks_(std::move(hooks))
{
    setObjectName(QStringLiteral("calibrationWindow"));
    setWindowTitle(QStringLiteral("Calibrate"));
    plot_ = new CalibrationPlot(this);
    plot_->setObjectName(QStringLiteral("calibrationPlot"));
    progress_ = new QLabel(QStringLiteral("Mark the guide star, then Start."), this);
    progress_->setObjectName(QStringLiteral("calibrationProgress"));
    result_ = new QLabel(this);
    result_->setObjectName(QStringLiteral("calibrationResult"));
    result_->setWordWrap(true);
    result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    start_ = button(this, QStringLiteral("&Start"), "calibrationStart",
                    QStringLiteral("Drives the mount with w, e, n and s in turn, one guide exposure a step, until the "
                                   "star has moved the distance Guiding settings give (Calibrate over) each way"));
    stop_ = button(this, QStringLiteral("S&top"), "calibrationStop", QStringLiteral("Stops the mount; nothing changes"));
    apply_ = button(this, QStringLiteral("&Apply"), "calibrationApply",
                    QStringLiteral("Puts the direction letters and Pixels/Sec into Options and orvane.cfg, and the "
                                   "axes into orvane.ini [calibration]"));
    close_ = button(this, QStringLiteral("&Close"), "calibrationClose", QString());

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {start_, stop_, apply_, close_})
        buttons->addWidget(b);
    auto *all = new QVBoxLayout(this);
    all->addWidget(plot_, 1);
    all->addWidget(progress_);
    all->addWidget(result_);
    all->addLayout(buttons);

    connect(start_, &QPushButton::clicked, this, &CalibrationWindow::start);
    connect(stop_, &QPushButton::clicked, this, &CalibrationWindow::stop);
    connect(apply_, &QPushButton::clicked, this, &CalibrationWindow::apply);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    updateButtons();
}

void CalibrationWindow::start()
{
    if (calibration_.running())
        return;
    if (const QString refusal = hooks_.refusal ? hooks_.refusal() : QString(); !refusal.isEmpty()) {
        result_->setText(refusal);
        return;
    }
    const CalibrationOptions options = hooks_.options ? hooks_.options() : CalibrationOptions{};
    run_ = {};
    plot_->clear();
    result_->clear();
    progress_->setText(QStringLiteral("Calibrating: the star is measured at the start"));
    calibration_.onStep = [this](const CalibrationStep &step) {
        plot_->addStep(step);
        progress_->setText(QStringLiteral("%1 step %2: %3 px from where it began")
                               .arg(step.direction)
                               .arg(step.step)
                               .arg(std::hypot(step.offsetPx.x(), step.offsetPx.y()), 0, 'f', 1));
    };
    // The calibration counts as running only inside run(): Stop must be offered from its first move.
    start_->setEnabled(false);
    apply_->setEnabled(false);
    stop_->setEnabled(true);
    emit started();
    run_ = calibration_.run(options); // events run meanwhile: Stop and closing are heard
    when_ = QDateTime::fromMSecsSinceEpoch(run_.beganUtcMs, Qt::UTC).toString(Qt::ISODate);
    calibration_.onStep = nullptr;
    showRun();
    updateButtons();
    emit finished();
}

void CalibrationWindow::apply()
{
    if (calibration_.running() || !run_.ok() || run_.steps.empty())
        return;
    if (const QString refusal = hooks_.applyRefusal ? hooks_.applyRefusal() : QString(); !refusal.isEmpty()) {
        result_->setText(resultText() + QLatin1Char('\n') + refusal);
        return;
    }
    if (Result done = applyCalibration(settings_, configPath_, iniPath_, run_.solution, when_); !done) {
        result_->setText(QStringLiteral("The calibration was not applied, and nothing was changed. %1").arg(done.error()));
        return;
    }
    result_->setText(resultText() + QStringLiteral("\nApplied: the direction letters and Pixels/Sec are in Options "
                                                   "and orvane.cfg, the axes in orvane.ini."));
    apply_->setEnabled(false);
    emit applied();
}

QString CalibrationWindow::resultText() const
{
    if (run_.stopped)
        return QStringLiteral("Calibration stopped; nothing was changed.");
    if (!run_.ok())
        return QStringLiteral("Calibration failed: %1 Nothing was changed.").arg(run_.failure);
    const CalibrationSolution &s = run_.solution;
    const CalibrationRecord &r = s.record;
    return QStringLiteral("Up (+y) %1, Down %2, Left %3, Right (+x) %4\n"
                          "RA %5 px/s, Dec %6 px/s: Pixels/Sec %7\n"
                          "Camera angle %8 degrees; the axes %9 degrees from square")
        .arg(s.letters.up, s.letters.down, s.letters.left, s.letters.right)
        .arg(s.raRatePxPerSec, 0, 'f', 2)
        .arg(s.decRatePxPerSec, 0, 'f', 2)
        .arg(s.pixPerSec())
        .arg(s.cameraAngleDeg, 0, 'f', 1)
        .arg(r.orthogonalityErrorDeg(), 0, 'f', 1);
}

void CalibrationWindow::showRun()
{
    progress_->setText(run_.steps.empty() ? QString()
                                          : QStringLiteral("%1 steps measured").arg(run_.steps.size()));
    if (run_.ok() || !run_.solution.failure.isEmpty())
        plot_->showMoves(run_.moves);
    result_->setText(resultText());
}

void CalibrationWindow::updateButtons()
{
    const bool running = calibration_.running();
    start_->setEnabled(!running);
    stop_->setEnabled(running);
    apply_->setEnabled(!running && run_.ok() && !run_.steps.empty());
}

void CalibrationWindow::closeEvent(QCloseEvent *event)
{
    calibration_.requestStop(); // the mount stops; the run returns with nothing changed
    event->accept();
}

} // namespace orvane
