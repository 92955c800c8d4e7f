#include "calibration_window.h"

#include "calibration_apply.h"
#include "calibration_checks.h"

#include <cmath>
#include <map>
#include <numbers>

#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
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
    accept_ = button(this, QStringLiteral("A&ccept"), "calibrationAccept",
                     QStringLiteral("Applies this calibration all the same"));
    discard_ = button(this, QStringLiteral("&Discard"), "calibrationDiscard",
                      QStringLiteral("Forgets this calibration; nothing changes"));
    keepOld_ = button(this, QStringLiteral("&Keep the old one"), "calibrationKeepOld",
                      QStringLiteral("Forgets this calibration and guides with the one before"));
    for (QPushButton *b : {accept_, discard_, keepOld_})
        b->hide();
    declination_ = new QLineEdit(this);
    declination_->setObjectName(QStringLiteral("calibrationDeclination"));
    declination_->setPlaceholderText(QStringLiteral("unknown"));
    declination_->setToolTip(QStringLiteral("Where the telescope points, degrees: RA's rate is then checked against "
                                            "Dec's times cos(Dec)"));
    if (const std::optional<double> dec = readCalibrationDeclination(iniPath_))
        declination_->setText(QString::number(*dec, 'g', 6));
    auto *declinationRow = new QHBoxLayout;
    auto *declinationLabel = new QLabel(QStringLiteral("D&eclination (degrees):"), this);
    declinationLabel->setBuddy(declination_);
    declinationRow->addWidget(declinationLabel);
    declinationRow->addWidget(declination_);
    declinationRow->addStretch(1);

    toCentroid_ = new QCheckBox(QStringLiteral("With Apply, guide the centroid way (both axes at once, to a "
                                               "fraction of a pixel, on up to 5 stars)"),
                                this);
    toCentroid_->setObjectName(QStringLiteral("calibrationToCentroid"));
    toCentroid_->setToolTip(QStringLiteral("The box way moves only once the star is 2 px off; the centroid way uses "
                                           "the axes just measured and holds the star to a fraction of a pixel, following up to 5 stars "
                                           "(guideStars) unless another number was chosen"));
    toCentroid_->setChecked(true);
    toCentroid_->hide();

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {start_, stop_, apply_, accept_, discard_, keepOld_, close_})
        buttons->addWidget(b);
    auto *all = new QVBoxLayout(this);
    all->addWidget(plot_, 1);
    all->addLayout(declinationRow);
    all->addWidget(progress_);
    all->addWidget(result_);
    all->addWidget(toCentroid_);
    all->addLayout(buttons);

    connect(start_, &QPushButton::clicked, this, &CalibrationWindow::start);
    connect(stop_, &QPushButton::clicked, this, &CalibrationWindow::stop);
    connect(apply_, &QPushButton::clicked, this, &CalibrationWindow::apply);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    connect(accept_, &QPushButton::clicked, this, &CalibrationWindow::apply);
    connect(discard_, &QPushButton::clicked, this, &CalibrationWindow::discard);
    connect(keepOld_, &QPushButton::clicked, this, &CalibrationWindow::keepOld);
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
    CalibrationOptions options = hooks_.options ? hooks_.options() : CalibrationOptions{};
    if (const std::optional<double> dec = declination()) // RA is slower by nature near the pole
        options.limits.raRateScale = std::cos(*dec * std::numbers::pi / 180);
    run_ = {};
    concerns_.clear();
    applied_ = false;
    previous_ = readCalibration(iniPath_);
    previousDeclination_ = readCalibrationDeclination(iniPath_);
    for (QPushButton *b : {accept_, discard_, keepOld_})
        b->hide();
    apply_->show();
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
    if (run_.ok() && !run_.steps.empty()) {
        CalibrationCheckInput check;
        check.solution = run_.solution;
        std::map<QString, int> steps; // per direction, in the order they ran
        for (const CalibrationStep &step : run_.steps)
            ++steps[step.direction];
        for (const CalibrationStep &step : run_.steps)
            if (check.fewestSteps == 0 || steps[step.direction] < check.fewestSteps) {
                check.fewestSteps = steps[step.direction];
                check.fewestStepsLetter = step.direction;
            }
        check.declinationDeg = declination();
        check.previous = previous_;
        check.previousDeclinationDeg = previousDeclination_;
        concerns_ = checkCalibration(check);
    }
    showRun();
    updateButtons();
    emit finished();
}

void CalibrationWindow::apply()
{
    if (calibration_.running() || !run_.ok() || run_.steps.empty() || applied_)
        return;
    if (const QString refusal = hooks_.applyRefusal ? hooks_.applyRefusal() : QString(); !refusal.isEmpty()) {
        result_->setText(resultText() + QLatin1Char('\n') + refusal);
        return;
    }
    if (Result done = applyCalibration(settings_, configPath_, iniPath_, run_.solution, when_); !done) {
        result_->setText(QStringLiteral("The calibration was not applied, and nothing was changed. %1").arg(done.error()));
        return;
    }
    QString shown = resultText() + QStringLiteral("\nApplied: the direction letters and Pixels/Sec are in Options "
                                                    "and orvane.cfg, the axes in orvane.ini.");
    if (Result kept = writeCalibrationDeclination(iniPath_, declination()); !kept)
        shown += QStringLiteral("\nThe declination was not kept: %1").arg(kept.error());
    if (!toCentroid_->isHidden() && toCentroid_->isChecked() && hooks_.chooseCentroid) {
        const QString refused = hooks_.chooseCentroid();
        shown += refused.isEmpty() ? QStringLiteral("\nGuiding takes the centroid way from now on.") : QLatin1Char('\n') + refused;
    }
    result_->setText(shown);
    concerns_.clear();
    applied_ = true; // once
    updateButtons();
    emit applied();
}

void CalibrationWindow::discard()
{
    concerns_.clear();
    run_ = {};
    result_->setText(QStringLiteral("Discarded: nothing was changed."));
    updateButtons();
}

void CalibrationWindow::keepOld()
{
    const QString when = previous_ && !previous_->when.isEmpty() ? previous_->when : QStringLiteral("before");
    discard();
    result_->setText(QStringLiteral("Discarded: guiding keeps the calibration of %1.").arg(when));
}

std::optional<double> CalibrationWindow::declination() const
{
    bool ok = false;
    const double deg = declination_->text().trimmed().toDouble(&ok);
    return ok && std::fabs(deg) <= 90 ? std::optional(deg) : std::nullopt;
}

QString CalibrationWindow::resultText() const
{
    if (run_.stopped)
        return QStringLiteral("Calibration stopped; nothing was changed.");
    if (!run_.ok())
        return QStringLiteral("Calibration failed: %1 Nothing was changed.").arg(run_.failure);
    const CalibrationSolution &s = run_.solution;
    const CalibrationRecord &r = s.record;
    QString doubts;
    for (const QString &concern : concerns_)
        doubts += QStringLiteral("\nCheck: ") + concern;
    return QStringLiteral("Up (+y) %1, Down %2, Left %3, Right (+x) %4\n"
                          "RA %5 px/s, Dec %6 px/s: Pixels/Sec %7\n"
                          "Camera angle %8 degrees; the axes %9 degrees from square")
        .arg(s.letters.up, s.letters.down, s.letters.left, s.letters.right)
        .arg(s.raRatePxPerSec, 0, 'f', 2)
        .arg(s.decRatePxPerSec, 0, 'f', 2)
        .arg(s.pixPerSec())
        .arg(s.cameraAngleDeg, 0, 'f', 1)
        .arg(r.orthogonalityErrorDeg(), 0, 'f', 1) + doubts;
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
    const bool solved = !running && run_.ok() && !run_.steps.empty() && !applied_;
    const bool doubtful = solved && !concerns_.isEmpty();
    apply_->setVisible(!doubtful);
    apply_->setEnabled(solved && !doubtful);
    accept_->setVisible(doubtful);
    discard_->setVisible(doubtful);
    keepOld_->setVisible(doubtful);
    keepOld_->setEnabled(doubtful && previous_.has_value());
    toCentroid_->setVisible(solved && hooks_.guidesOneAxis && hooks_.guidesOneAxis());
}

void CalibrationWindow::closeEvent(QCloseEvent *event)
{
    calibration_.requestStop(); // the mount stops; the run returns with nothing changed
    event->accept();
}

} // namespace orvane
