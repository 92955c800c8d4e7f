#include "rehearsal_window.h"

#include "calibration_record.h"
#include "file_rewrite.h"
#include "guide_chart.h"
#include "picture_area.h"
#include "rehearsal_findings.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace orvane {

namespace {

constexpr int kProgressSteps = 1000;    // the bar's resolution
constexpr int kProgressEveryMs = 100;   // wall ms between progress updates
constexpr double kFwhmPerSigma = 2.3548200450309493;

QString clockText(uint32_t ms)
{
    const uint32_t s = ms / 1000;
    return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QChar('0')).arg(s % 60, 2, 10, QChar('0'));
}

// Degrees folded into -180..180.
double foldedDeg(double deg)
{
    return std::remainder(deg, 360.0);
}

// A tick every 1, 2, 5, 10, 15, 30 or 60 minutes, five to ten of them across.
double tickMinutes(double spanMinutes)
{
    for (double tick : {1.0, 2.0, 5.0, 10.0, 15.0, 30.0})
        if (spanMinutes / tick <= 10)
            return tick;
    return 60;
}

} // namespace

RehearsalWindow::RehearsalWindow(RehearsalSource source, QWidget *parent)
    : QWidget(parent, Qt::Window), source_(std::move(source))
{
    setObjectName(QStringLiteral("rehearsal"));
    setWindowTitle(QStringLiteral("Rehearse tonight's run"));

    auto *fields = new QFormLayout;
    const auto field = [&](QDoubleSpinBox *&box, const char *name, const QString &label, const QString &unit,
                           double min, double max, int decimals = 1) {
        box = addField(name, label, unit, min, max, 0, decimals);
        fields->addRow(label, box);
    };
    field(driftX_, "driftX", QStringLiteral("Drift x"), QStringLiteral(" px/min"), -600, 600);
    field(driftY_, "driftY", QStringLiteral("Drift y"), QStringLiteral(" px/min"), -600, 600);
    field(periodicError_, "periodicError", QStringLiteral("Periodic error"), QStringLiteral(" px"), 0, 100);
    field(period_, "period", QStringLiteral("Periodic error period"), QStringLiteral(" s"), 0, 100000, 0);
    field(seeing_, "seeing", QStringLiteral("Seeing FWHM"), QStringLiteral(" px"), 0.7, 20);
    field(guideRate_, "guideRate", QStringLiteral("Mount guide rate"), QStringLiteral(" px/s"), 0.1, 1000);
    field(cameraAngle_, "cameraAngle", QStringLiteral("Camera angle"), QStringLiteral(" deg"), -180, 180);
    field(cloudLength_, "cloudLength", QStringLiteral("Clouds: star lost for"), QStringLiteral(" s (0: none)"), 0,
          100000, 0);
    field(cloudStart_, "cloudStart", QStringLiteral("first after"), QStringLiteral(" s"), 0, 1000000, 0);
    field(cloudEvery_, "cloudEvery", QStringLiteral("again every"), QStringLiteral(" s (0: once)"), 0, 1000000, 0);
    // The simulated mount has one guide rate and no mirror or letter table of its own yet.
    mirrored_ = new QCheckBox(QStringLiteral("Mirrored axis"), this);
    mirrored_->setObjectName(QStringLiteral("mirrored"));
    mirrored_->setToolTip(QStringLiteral("A star diagonal: the picture's declination axis is flipped"));
    fields->addRow(QString(), mirrored_);
    letters_ = new QComboBox(this);
    letters_->setObjectName(QStringLiteral("mountLetters"));
    letters_->setAccessibleName(QStringLiteral("Mount's letters"));
    letters_->setToolTip(QStringLiteral("How the mount takes the letters it is sent"));
    for (const char *mapping : {"as sent", "n and s swapped", "e and w swapped", "both pairs swapped"})
        letters_->addItem(QLatin1String(mapping));
    fields->addRow(QStringLiteral("Mount's letters"), letters_);
    preset_ = new QLabel(this);
    preset_->setObjectName(QStringLiteral("preset"));
    preset_->setWordWrap(true);

    start_ = new QPushButton(QStringLiteral("Start"), this);
    start_->setObjectName(QStringLiteral("start"));
    stop_ = new QPushButton(QStringLiteral("Stop"), this);
    stop_->setObjectName(QStringLiteral("stop"));
    stop_->setEnabled(false);
    connect(start_, &QPushButton::clicked, this, &RehearsalWindow::start);
    connect(stop_, &QPushButton::clicked, this, &RehearsalWindow::stop);
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("progress"));
    progressBar_->setRange(0, kProgressSteps);
    progressBar_->setValue(0);
    progressText_ = new QLabel(this);
    progressText_->setObjectName(QStringLiteral("progressText"));
    saved_ = new QLabel(this);
    saved_->setObjectName(QStringLiteral("saved"));
    saved_->setWordWrap(true);
    saved_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    report_ = new QPlainTextEdit(this);
    report_->setObjectName(QStringLiteral("report"));
    report_->setReadOnly(true);
    report_->setLineWrapMode(QPlainTextEdit::NoWrap);
    report_->setFont(QFont(QStringLiteral("monospace")));
    chart_ = new GuideChart(this);
    chart_->setObjectName(QStringLiteral("rehearsalChart"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    buttons->addWidget(progressBar_, 1);
    auto *left = new QVBoxLayout;
    left->addLayout(fields);
    left->addWidget(preset_);
    left->addStretch(1);
    auto *right = new QVBoxLayout;
    right->addWidget(chart_, 3);
    right->addWidget(report_, 2);
    auto *columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addLayout(buttons);
    layout->addWidget(progressText_);
    layout->addWidget(saved_);

    ticker_.setInterval(kProgressEveryMs);
    connect(&ticker_, &QTimer::timeout, this, &RehearsalWindow::showProgress);
    presetFromSettings();
}

RehearsalWindow::~RehearsalWindow()
{
    if (worker_.joinable()) {
        progress_->stop = true;
        worker_.join();
        source_.picture->release();
    }
}

QDoubleSpinBox *RehearsalWindow::addField(const char *name, const QString &label, const QString &unit, double min,
                                          double max, double value, int decimals)
{
    auto *box = new QDoubleSpinBox(this);
    box->setObjectName(QLatin1String(name));
    box->setAccessibleName(label);
    box->setDecimals(decimals);
    box->setRange(min, max);
    box->setSuffix(unit);
    box->setValue(value);
    return box;
}

void RehearsalWindow::presetFromSettings()
{
    const QString ini = source_.iniPath;
    const SkyMotion sky = source_.skyFromIni();
    const SimMountOptions mount = SimMountOptions::fromIni(ini);
    const SimCameraOptions camera = SimCameraOptions::fromIni(ini);
    driftX_->setValue(sky.driftXPxPerMin);
    driftY_->setValue(sky.driftYPxPerMin);
    periodicError_->setValue(sky.periodicErrorPx);
    period_->setValue(sky.periodicErrorPeriodS);
    seeing_->setValue(camera.sensor.psfSigmaPx * kFwhmPerSigma);
    cloudLength_->setValue(sky.cloudLengthS);
    cloudStart_->setValue(sky.cloudStartS);
    cloudEvery_->setValue(sky.cloudEveryS);
    guideRate_->setValue(mount.guideRatePxPerSec);
    cameraAngle_->setValue(foldedDeg(mount.cameraAngleDeg));
    mirrored_->setChecked(mount.mirrored);
    letters_->setCurrentIndex(int(mount.swapNS) + 2 * int(mount.swapEW));
    if (const auto calibration = readCalibration(ini)) {
        // The right-ascension letters move the star along the camera's turned x axis.
        guideRate_->setValue(calibration->xRatePxPerSec);
        cameraAngle_->setValue(foldedDeg(calibration->xAngleDeg));
        preset_->setText(QStringLiteral("Mount preset from the calibration of %1.").arg(calibration->when));
    } else {
        preset_->setText(QStringLiteral("No calibration yet: the mount is preset from %1.").arg(ini));
    }
}

RehearsalPlan RehearsalWindow::plan() const
{
    RehearsalPlan p = source_.tonight();
    // orvane.ini's sky and mount (a hard night, backlash), with the window's entries over them.
    p.sky = source_.skyFromIni();
    p.mount = SimMountOptions::fromIni(source_.iniPath);
    p.sky.driftXPxPerMin = driftX_->value();
    p.sky.driftYPxPerMin = driftY_->value();
    p.sky.periodicErrorPx = periodicError_->value();
    p.sky.periodicErrorPeriodS = period_->value();
    p.sky.cloudLengthS = cloudLength_->value();
    p.sky.cloudStartS = cloudStart_->value();
    p.sky.cloudEveryS = cloudEvery_->value();
    p.mount.guideRatePxPerSec = guideRate_->value();
    p.mount.cameraAngleDeg = cameraAngle_->value();
    p.mount.mirrored = mirrored_->isChecked();
    p.mount.swapNS = (letters_->currentIndex() & 1) != 0;
    p.mount.swapEW = (letters_->currentIndex() & 2) != 0;
    p.camera = SimCameraOptions::fromIni(source_.iniPath);
    p.camera.sensor.psfSigmaPx = seeing_->value() / kFwhmPerSigma;
    return p;
}

void RehearsalWindow::start()
{
    if (running())
        return;
    PictureArea &picture = *source_.picture;
    if (source_.rigBusy() || picture.reserved()) {
        saved_->setText(QStringLiteral("A sequence, the loop or a batch is running; rehearse when it has finished."));
        return;
    }
    picture.reserve(QStringLiteral("the rehearsal")); // the real Start and Loop wait meanwhile
    running_ = plan();
    progress_ = std::make_shared<RehearsalProgress>();
    start_->setEnabled(false);
    stop_->setEnabled(true);
    saved_->clear();
    report_->clear();
    progressBar_->setValue(0);
    wall_.start();
    ticker_.start();
    worker_ = std::thread([this, plan = *running_, progress = progress_] {
        RehearsalRun run = rehearse(plan, *progress);
        QMetaObject::invokeMethod(this, [this, run = std::move(run)]() mutable { finish(std::move(run)); },
                                  Qt::QueuedConnection);
    });
}

void RehearsalWindow::stop()
{
    if (progress_)
        progress_->stop = true;
}

void RehearsalWindow::showProgress()
{
    const uint32_t done = progress_->simulatedMs, expected = progress_->expectedMs;
    progressBar_->setValue(int(std::min<double>(kProgressSteps, double(done) * kProgressSteps / expected)));
    progressText_->setText(QStringLiteral("simulated %1 of %2, wall %3 s")
                               .arg(clockText(done), clockText(expected))
                               .arg(double(wall_.elapsed()) / 1000, 0, 'f', 1));
}

void RehearsalWindow::finish(RehearsalRun run)
{
    worker_.join();
    ticker_.stop();
    showProgress();
    source_.picture->release();
    start_->setEnabled(true);
    stop_->setEnabled(false);
    const RehearsalFindings findings = findingsOf(*running_, run);
    warnings_ = findings.warnings;
    const QString text = orvane::reportText(*running_, run, findings, double(wall_.elapsed()) / 1000);
    report_->setPlainText(text);
    plotRun(run);
    // Saved once the chart has laid out its new axes, so the picture shows them.
    QTimer::singleShot(0, this, [this, text] {
        saveReport(text);
        emit finished();
    });
}

QString RehearsalWindow::reportText() const
{
    return report_->toPlainText();
}

void RehearsalWindow::plotRun(const RehearsalRun &run)
{
    chart_->resetRanges();
    GuideChart::Points points;
    for (const GuideStep &step : run.steps)
        chart_->addPoints(points, double(step.timeMs - kRehearsalStartMs) / 60000, step);
    chart_->replace(std::move(points));
    const double span = std::max(1.0, std::ceil(double(run.simulatedMs) / 60000));
    chart_->setTimeRange(0, span, tickMinutes(span));
}

void RehearsalWindow::saveReport(const QString &text)
{
    savedText_.clear();
    savedPicture_.clear();
    const QString folder = source_.guideLogFolder();
    const QString stem = QDir(folder).filePath(
        QStringLiteral("rehearsal-%1").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddThh-mm-ss"))));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    chart_->grab().save(&buffer, "PNG");
    Result written = QDir().mkpath(folder) ? writeWholeFile(stem + QStringLiteral(".txt"), text.toUtf8())
                                            : Result::failure(QStringLiteral("the folder cannot be made"));
    if (written)
        written = writeWholeFile(stem + QStringLiteral(".png"), png);
    if (!written) {
        saved_->setText(QStringLiteral("The rehearsal report cannot be saved in %1: %2").arg(folder, written.error()));
        return;
    }
    savedText_ = stem + QStringLiteral(".txt");
    savedPicture_ = stem + QStringLiteral(".png");
    saved_->setText(QStringLiteral("The report is saved as %1 and %2.").arg(savedText_, savedPicture_));
}

} // namespace orvane
