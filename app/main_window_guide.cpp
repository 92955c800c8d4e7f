// The "Guide" menu of the main window and the windows it opens.

#include "main_window.h"

#include "calibration_record.h"
#include "calibration_window.h"
#include "guide_graph_window.h"
#include "guide_log_window.h"
#include "guiding_settings_dialog.h"
#include "numbers.h"
#include "options_dialog.h"
#include "program.h"
#include "rehearsal_window.h"

#include <QMenu>

namespace orvane {

namespace {

// A window asked for again comes to the front, open or not.
void bringUp(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

QMenu *MainWindow::guideMenu()
{
    return menuBeforeHelp(QStringLiteral("Guide"));
}

void MainWindow::addGuideCommands()
{
    guideMenu()->addAction(QStringLiteral("Guide graph"), this, [this] {
        bringUp(guideGraphWindow());
    })->setObjectName(QStringLiteral("showGuideGraph"));
    QAction *rehearse = guideMenu()->addAction(QStringLiteral("Rehearse\u2026"), this, [this] {
        bringUp(rehearsalWindow());
    });
    rehearse->setObjectName(QStringLiteral("showRehearsal"));
    rehearse->setToolTip(QStringLiteral("Run tonight's plan on the simulated rig, fast, and see how it would go"));
    guideMenu()->addAction(QStringLiteral("Guiding settings..."), this, [this] {
        if (!guidingSettings_) { // modeless: a running sequence and its Stop button stay within reach
            GuidingState &guiding = parts_.guiding;
            guidingSettings_ = new GuidingSettingsDialog(guiding.Options, parts_.iniPath, this);
            guidingSettings_->setAttribute(Qt::WA_DeleteOnClose);
            guidingSettings_->applied = [&guiding] { guiding.chooseAlgorithm(guiding.Options.algorithm); };
        }
        guidingSettings_->showSettings();
        bringUp(guidingSettings_);
    })->setObjectName(QStringLiteral("guidingSettings"));
    calibrate_ = guideMenu()->addAction(QStringLiteral("Calibrate…"), this, [this] {
        bringUp(calibrationWindow());
    });
    calibrate_->setObjectName(QStringLiteral("calibrate"));
    guideMenu()->addAction(QStringLiteral("Open guide log…"), this, [this] {
        if (!guideLogWindow_)
            guideLogWindow_ = new GuideLogWindow(this);
        bringUp(guideLogWindow_);
        guideLogWindow_->chooseFile();
    })->setObjectName(QStringLiteral("openGuideLog"));
    calibrate_->setToolTip(QStringLiteral("Measures which letter moves the marked star which way, and how fast"));
    // Offered while a star is marked and the camera is free, and while it runs (to reach its window).
    connect(guideMenu(), &QMenu::aboutToShow, this, [this] {
        calibrate_->setEnabled(calibrationRefusal().isEmpty() || (calibration_ && calibration_->running()));
    });
}

QString MainWindow::calibrationRefusal() const
{
    if (sequence_->running() || parts_.sequence.SequenceRunning == 1)
        return QStringLiteral("A sequence is running; calibrate when it has ended.");
    if (frameLoop_->running())
        return QStringLiteral("The loop is running; stop it, then calibrate.");
    if (parts_.picture.reserved())
        return QStringLiteral("The picture area is in use by %1; calibrate when it has finished.")
            .arg(parts_.picture.holder());
    if (parts_.sequence.StarMarked == 0)
        return QStringLiteral("Mark the guide star first: click it on a picture (Imaging > Loop shows one).");
    return {};
}

void MainWindow::adviseCalibration()
{
    if (!readCalibration(parts_.iniPath))
        notify(QStringLiteral("This mount was never calibrated: guiding uses the direction letters and Pixels/Sec "
                              "of Options. Guide > Calibrate… measures them with the star marked."));
}

RehearsalWindow *MainWindow::rehearsalWindow()
{
    if (!rehearsal_) {
        RehearsalSource source;
        source.tonight = [this] {
            RehearsalPlan p;
            p.settings = parts_.settings;
            p.guiding = parts_.guiding;
            p.saveFormat = parts_.sequence.SaveFormat;
            p.optics = parts_.sequence.optics;
            p.exposure = exposureText();
            p.guide = guideText();
            p.frameCount = frameCountText();
            p.fileStem = fileStem();
            p.guidingTicked = guidingTicked();
            p.lineDoubling = lineDoublingTicked();
            return p;
        };
        source.rigBusy = [this] { return sequence_->running() || frameLoop_->running(); };
        source.skyFromIni = [this] { return skyMotionFromIni(parts_.iniPath); };
        source.guideLogFolder = [this] { return guideLogFolder(); };
        source.picture = &parts_.picture;
        source.iniPath = parts_.iniPath;
        rehearsal_ = new RehearsalWindow(std::move(source), this);
    }
    return rehearsal_;
}

GuideGraphWindow *MainWindow::guideGraphWindow()
{
    if (!guideGraph_) {
        guideGraph_ = new GuideGraphWindow(*sequence_, this);
        guideGraph_->arcsecPerPx = [this] { return guideScale(parts_.sequence.optics); };
    }
    return guideGraph_;
}

CalibrationWindow *MainWindow::calibrationWindow()
{
    if (!calibrationWindow_) {
        CalibrationWindow::Hooks hooks;
        hooks.refusal = [this] { return calibrationRefusal(); };
        hooks.options = [this] {
            CalibrationOptions options;
            // The guide interval the user set; a second when the box holds no usable number.
            try {
                const int32_t ms = toInt32(numericValue(guideText()) * 1000);
                options.exposureMs = ms > 0 ? ms : 1000;
            } catch (const ConversionError &) {
                options.exposureMs = 1000;
            }
            options.distancePx = parts_.guiding.Options.calibrationPx;
            options.letterLimitMs = int32_t(std::lround(parts_.guiding.Options.calibrationLimitS * 1000));
            return options;
        };
        // Options' DONE stores every box it shows: open, it would put the old letters back.
        hooks.applyRefusal = [this] {
            return optionsDialog_ && optionsDialog_->isVisible()
                       ? QStringLiteral("Options is open: close it first, so that its DONE does not put the old "
                                        "letters back; then Apply.")
                       : QString();
        };
        calibrationWindow_ = new CalibrationWindow(*calibration_, parts_.settings, parts_.configPath,
                                                   parts_.iniPath, std::move(hooks), this);
        connect(calibrationWindow_, &CalibrationWindow::applied, this, &MainWindow::updateSimulatedParts);
        // Two-axis guiding projects its corrections onto the axes just measured, from the next run on.
        connect(calibrationWindow_, &CalibrationWindow::applied, this,
                [this] { parts_.guiding.Axes = readCalibration(parts_.iniPath); });
        connect(calibrationWindow_, &CalibrationWindow::started, this,
                [this] { showActivity(QStringLiteral("Calibrating: the mount moves the star (Guide > Calibrate…)")); });
        connect(calibrationWindow_, &CalibrationWindow::finished, this, [this] {
            showActivity({});
            if (closeWhenStopped_)
                close();
        });
    }
    return calibrationWindow_;
}

} // namespace orvane
