// The "Guide" menu of the main window and the windows it opens.

#include "main_window.h"

#include "guider_server.h"

#include "assistant_window.h"
#include "calibration_record.h"
#include "calibration_window.h"
#include "guide_darks.h"
#include "guide_graph_window.h"
#include "guiding_settings.h"
#include "ini_lines.h"
#include "file_rewrite.h"
#include "move_decision.h"
#include "guide_log_window.h"
#include "guiding_settings_dialog.h"
#include "numbers.h"
#include "options_dialog.h"
#include "program.h"
#include "rehearsal_window.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>

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
    QAction *choose = guideMenu()->addAction(QStringLiteral("Choose star for me"), this, &MainWindow::chooseStar);
    choose->setObjectName(QStringLiteral("chooseStar"));
    choose->setToolTip(QStringLiteral("Marks the star of the picture that guides best, as a click on it would"));
    chooseStarOffer_ = new QPushButton(QStringLiteral("Choose star for me"), statusBar());
    chooseStarOffer_->setObjectName(QStringLiteral("chooseStarOffer"));
    chooseStarOffer_->setToolTip(choose->toolTip());
    chooseStarOffer_->hide();
    statusBar()->addPermanentWidget(chooseStarOffer_);
    connect(chooseStarOffer_, &QPushButton::clicked, this, &MainWindow::chooseStar);
    connect(text6_, &QLineEdit::textChanged, this,
            [this](const QString &status) { chooseStarOffer_->setVisible(status == QStringLiteral("Mark Star")); });
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
            guidingSettings_->applied = [this, &guiding] {
                guiding.chooseAlgorithm(guiding.Options.algorithm);
                if (guideGraph_)
                    guideGraph_->showDeadBand();
            };
        }
        guidingSettings_->showSettings();
        bringUp(guidingSettings_);
    })->setObjectName(QStringLiteral("guidingSettings"));
    QAction *darks = guideMenu()->addAction(QStringLiteral("Take guide darks…"), this, &MainWindow::takeGuideDarks);
    darks->setObjectName(QStringLiteral("takeGuideDarks"));
    darks->setToolTip(QStringLiteral("With the camera covered: dark frames at the guide exposure, taken off every "
                                     "guide frame before the star is measured; imaging frames stay as they are"));
    QAction *assistant = guideMenu()->addAction(QStringLiteral("Guiding assistant…"), this, [this] {
        bringUp(assistantWindow());
    });
    assistant->setObjectName(QStringLiteral("guidingAssistant"));
    assistant->setToolTip(QStringLiteral("Watches the marked star with corrections off and recommends the guide settings"));
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

void MainWindow::chooseStar()
{
    if (parts_.picture.picture().isNull()) {
        notify(QStringLiteral("There is no picture to look for a star in: take one first (Imaging > Loop)."));
        return;
    }
    const StarChoice choice = rig_->chooseStar();
    if (!choice.found) {
        notify(choice.reason);
        return;
    }
    sequence_->onPictureMouseDown(choice.x, choice.y, frameLoop_->running());
    notify(QStringLiteral("Guide star chosen at %1, %2: it stands %3 times above the noise.")
               .arg(parts_.sequence.StarX)
               .arg(parts_.sequence.StarY)
               .arg(choice.snr, 0, 'f', 0));
}

AssistantWindow *MainWindow::assistantWindow()
{
    if (!assistant_) {
        AssistantWindow::Hooks hooks;
        hooks.refusal = [this] {
            if (calibration_->running())
                return QStringLiteral("A calibration is running; watch when it has ended.");
            return calibrationRefusal().replace(QStringLiteral("calibrate"), QStringLiteral("watch"));
        };
        hooks.guideExposureMs = [this] {
            try {
                const int32_t ms = toInt32(numericValue(guideText()) * 1000);
                return ms > 0 ? ms : 1000;
            } catch (const ConversionError &) {
                return 1000; // a second when "Guide sec" holds no usable number
            }
        };
        hooks.current = [this] { return parts_.guiding.Options; };
        hooks.declinationDeg = [this]() -> std::optional<double> { // the mount's word first, then the user's
            if (const std::optional<MountPointing> pointing = parts_.comm.pointing())
                return pointing->decDeg;
            return readCalibrationDeclination(parts_.iniPath);
        };
        hooks.pixelScaleArcsecPerPx = [this] { return guideScale(parts_.sequence.optics); };
        hooks.apply = [this](const GuideAdvice &advice) -> QString {
            GuidingSettings chosen = parts_.guiding.Options;
            chosen.minMovePx = advice.minMovePx;
            chosen.aggressiveness = advice.aggressiveness;
            if (!advice.decMode.isEmpty()) { // the backlash test ran
                chosen.decMode = advice.decMode;
                chosen.decBacklash = advice.decBacklash;
            }
            const IniFileText ini = readIniFile(parts_.iniPath);
            const Result kept = !ini.problem.isEmpty()
                                    ? Result::failure(QStringLiteral("%1 cannot be read: %2.").arg(parts_.iniPath, ini.cause))
                                    : writeWholeFile(parts_.iniPath, withGuidingSettings(ini.text, chosen));
            if (!kept)
                return QStringLiteral("The recommended values were not applied: %1").arg(kept.error());
            parts_.guiding.Options = chosen;
            text4_->setText(QString::number(advice.guideExposureS, 'g', 3));
            if (guidingSettings_)
                guidingSettings_->showSettings();
            return {};
        };
        assistant_ = new AssistantWindow(*rig_, std::move(hooks), this);
        connect(assistant_, &AssistantWindow::started, this,
                [this] { showActivity(QStringLiteral("Guiding assistant: watching the star, corrections off")); });
        connect(assistant_, &AssistantWindow::finished, this, [this] {
            showActivity({});
            if (closeWhenStopped_)
                close();
        });
    }
    return assistant_;
}

QString MainWindow::guideDarkPath() const
{
    return QFileInfo(parts_.iniPath).dir().filePath(QStringLiteral("guide-dark.bin"));
}

void MainWindow::loadGuideDarks()
{
    if (!QFileInfo::exists(guideDarkPath()))
        return;
    ResultOf<GuideDark> dark = loadGuideDark(guideDarkPath());
    if (!dark) {
        notify(dark.error());
        return;
    }
    parts_.guiding.Dark = std::make_shared<const GuideDark>(std::move(dark.value()));
}

void MainWindow::takeGuideDarks()
{
    const auto cameraBusy = [this] {
        return sequence_->running() || parts_.sequence.SequenceRunning == 1 || frameLoop_->running() ||
               calibration_->running() || (assistant_ && assistant_->running()) || parts_.picture.reserved();
    };
    const QString busy = QStringLiteral("The camera is in use (a run, the loop, a calibration or a batch); take guide "
                                        "darks when it is free.");
    if (cameraBusy()) {
        notify(busy);
        return;
    }
    int32_t ms = 1000;
    try {
        ms = std::max(toInt32(numericValue(guideText()) * 1000), 1);
    } catch (const ConversionError &) {
        ms = 1000; // a second when "Guide sec" holds no usable number
    }
    constexpr int kDarkFrames = 5;
    askOkCancel(QStringLiteral("Cover the telescope (or the camera): Orvane takes %1 guide frames of %2 s for the "
                               "guide darks, about %3 s in all. Take them now?")
                    .arg(kDarkFrames)
                    .arg(ms / 1000.0, 0, 'g', 4)
                    .arg(std::lround(kDarkFrames * (ms + parts_.settings.ImageDelay) / 1000.0)),
                [this, ms, cameraBusy, busy](bool ok) {
                    if (!ok)
                        return;
                    if (cameraBusy()) { // it became busy while the question stood
                        notify(busy);
                        return;
                    }
                    showActivity(QStringLiteral("taking guide darks"));
                    ResultOf<GuideDark> dark = orvane::takeGuideDarks(*rig_, kDarkFrames, ms);
                    showActivity({});
                    if (!dark) {
                        notify(dark.error());
                        return;
                    }
                    const Result kept = saveGuideDark(guideDarkPath(), dark.value());
                    const int hot = dark.value().hotCount;
                    parts_.guiding.Dark = std::make_shared<const GuideDark>(std::move(dark.value()));
                    notify(QStringLiteral("Guide darks of %1 s taken: the guide frames have them taken off and %2 hot "
                                          "pixels masked from now on. %3")
                               .arg(ms / 1000.0, 0, 'g', 4)
                               .arg(hot)
                               .arg(kept ? QStringLiteral("Kept in %1.").arg(guideDarkPath()) : kept.error()));
                });
}

QString MainWindow::chooseCentroidWay()
{
    GuidingState &guiding = parts_.guiding;
    GuidingSettings chosen = guiding.Options;
    chosen.algorithm = QStringLiteral("centroid");
    // Several stars average out the part of the seeing each has of its own; a
    // choice the user made in the guiding settings is kept.
    constexpr int32_t kOfferedGuideStars = 5;
    if (chosen.guideStars <= 1)
        chosen.guideStars = kOfferedGuideStars;
    const IniFileText ini = readIniFile(parts_.iniPath);
    const Result kept = !ini.problem.isEmpty()
                            ? Result::failure(QStringLiteral("%1 cannot be read: %2.").arg(parts_.iniPath, ini.cause))
                            : writeWholeFile(parts_.iniPath, withGuidingSettings(ini.text, chosen));
    if (!kept)
        return QStringLiteral("The centroid way was not chosen: %1 Guiding settings… can choose it.").arg(kept.error());
    guiding.Options = chosen;
    guiding.chooseAlgorithm(chosen.algorithm);
    if (guidingSettings_)
        guidingSettings_->showSettings();
    if (guideGraph_)
        guideGraph_->showDeadBand();
    return {};
}

QString MainWindow::calibrationRefusal() const
{
    if (assistant_ && assistant_->running())
        return QStringLiteral("The guiding assistant is watching the star; calibrate when it has finished.");
    if (sequence_->running() || parts_.sequence.SequenceRunning == 1)
        return QStringLiteral("A sequence is running; calibrate when it has ended.");
    if (frameLoop_->running())
        return QStringLiteral("The loop is running; stop it, then calibrate.");
    if (guider_ && guider_->mode().active())
        return QStringLiteral("Orvane is taking guide frames for %1; Stop ends that, then calibrate.")
            .arg(guider_->mode().client().isEmpty() ? QStringLiteral("an imaging program") : guider_->mode().client());
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
        // The box way moves only beyond its threshold: the graph shows that band, so an offset within it reads as designed.
        guideGraph_->deadBandPx = [this] {
            return parts_.guiding.Algorithm && !parts_.guiding.Algorithm->twoAxis ? kMoveThresholdPx : 0.0;
        };
        guideGraph_->showDeadBand();
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
        hooks.guidesOneAxis = [this] { return parts_.guiding.Algorithm && !parts_.guiding.Algorithm->twoAxis; };
        hooks.chooseCentroid = [this] { return chooseCentroidWay(); };
        calibrationWindow_ = new CalibrationWindow(*calibration_, parts_.settings, parts_.configPath,
                                                   parts_.iniPath, std::move(hooks), this);
        connect(calibrationWindow_, &CalibrationWindow::applied, this, &MainWindow::updateSimulatedParts);
        // Two-axis guiding projects its corrections onto the axes just measured, from the next run on.
        connect(calibrationWindow_, &CalibrationWindow::applied, this,
                [this] {
                    parts_.guiding.Axes = readCalibration(parts_.iniPath);
                    parts_.guiding.Predictor.reset(parts_.guiding.Options.predictPeriodS); // learned on the old axes
                    parts_.guiding.DecComp.reset();
                });
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
