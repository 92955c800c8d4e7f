// Guide > Calibrate… through the main window on the simulated rig, whose mount
// has its n and s letters the other way round.
#include "calibration_window.h"
#include "config_file.h"
#include "nested_loop_watch.h"
#include "options_dialog.h"
#include "sequence_fixture.h"
#include "test_support.h"

#include <QCheckBox>
#include <QDialog>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

// The main window on the simulated sky and mount, its settings in a folder of its own.
struct WindowOnTheSky : test::TestRig {
    explicit WindowOnTheSky(SimMountOptions mount = {})
        : test::TestRig({.startMs = 20000, .camera = test::RigCamera::SimulatedSky,
                         .link = test::RigLink::SimulatedMount, .mount = mount})
    {
    }
    // Loads the default settings and closes what start-up opened; false when loading failed.
    bool open()
    {
        if (!test::writeAll(dir.filePath("orvane.cfg"), test::readAll(ORVANE_DEFAULT_CFG)))
            return false;
        window = test::windowOn(*this, files, dir.path());
        if (!window->load())
            return false;
        state.SaveDir = dir.path();
        for (QDialog *d : test::openDialogs<QDialog>(window.get()))
            d->reject();
        return true;
    }
    QTemporaryDir dir;
    test::NoFiles files;
    std::unique_ptr<MainWindow> window;
};

} // namespace

TEST(CalibrationWindow, CalibratesFromTheGuideMenuAndApplies)
{
    SimMountOptions swapped;
    swapped.swapNS = true;
    WindowOnTheSky rig(swapped);
    ASSERT_TRUE(rig.open());
    QTemporaryDir &dir = rig.dir;
    MainWindow *window = rig.window.get();
    QAction *calibrate = window->findChild<QAction *>("calibrate");
    ASSERT_TRUE(calibrate);
    QMenu *guide = qobject_cast<QMenu *>(calibrate->parent());
    ASSERT_TRUE(guide);

    // Offered only once a star is marked.
    emit guide->aboutToShow();
    EXPECT_FALSE(calibrate->isEnabled());
    ASSERT_TRUE(window->rig().TakeFrame());
    const QPointF star = rig.simCamera->starField().guideStar() + rig.sky.offsetAt(rig.clock.now());
    window->sequence().onPictureMouseDown(std::round(star.x()), std::round(star.y()));
    emit guide->aboutToShow();
    ASSERT_TRUE(calibrate->isEnabled());

    rig.guiding.Options.calibrationPx = 10; // as Guiding settings would set it
    calibrate->trigger();
    auto *calibration = window->findChild<CalibrationWindow *>("calibrationWindow");
    ASSERT_TRUE(calibration && calibration->isVisible());
    auto *apply = calibration->findChild<QPushButton *>("calibrationApply");
    auto *stop = calibration->findChild<QPushButton *>("calibrationStop");
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_FALSE(stop->isEnabled());
    // While it drives the mount, Stop is offered and the main window says a calibration runs.
    bool stopOffered = false;
    QString activity;
    rig.pump.at(rig.clock.now() + 1500, [&] {
        stopOffered = stop->isEnabled();
        activity = window->findChild<QLabel *>("runProgress")->text();
    });
    calibration->findChild<QPushButton *>("calibrationStart")->click(); // returns when it has ended
    EXPECT_TRUE(stopOffered);
    EXPECT_TRUE(activity.startsWith("Calibrating")) << activity.toStdString();
    EXPECT_FALSE(stop->isEnabled());
    EXPECT_TRUE(window->findChild<QLabel *>("runProgress")->text().isEmpty());
    ASSERT_TRUE(calibration->lastRun().ok()) << calibration->lastRun().failure.toStdString();
    double westPx = 0; // how far the w letter drove the star
    for (const CalibrationStep &step : calibration->lastRun().steps)
        if (step.letter == "w")
            westPx = std::max(westPx, std::hypot(step.offsetPx.x(), step.offsetPx.y()));
    EXPECT_GE(westPx, 10.0);
    EXPECT_LT(westPx, 13.0);
    const QString shown = calibration->findChild<QLabel *>("calibrationResult")->text();
    EXPECT_TRUE(shown.startsWith("Up (+y) s, Down n, Left e, Right (+x) w")) << shown.toStdString();
    EXPECT_EQ(rig.settings.DirUp, "n"); // nothing applied yet

    ASSERT_TRUE(apply->isEnabled());
    // An open Options window would put its old letters back at DONE: Apply waits for it to close.
    window->findChild<QAction *>("Options")->trigger();
    apply->click();
    EXPECT_EQ(rig.settings.DirUp, "n");
    EXPECT_TRUE(calibration->findChild<QLabel *>("calibrationResult")->text().contains("Options is open"));
    window->optionsDialog()->close();
    apply->click();
    EXPECT_EQ(rig.settings.DirUp, "s");
    EXPECT_EQ(rig.settings.DirDown, "n");
    EXPECT_EQ(LoadConfig(dir.filePath("orvane.cfg")).DirUp, "s");
    EXPECT_TRUE(readCalibration(dir.filePath("orvane.ini")));
    EXPECT_EQ(rig.guiding.Axes, readCalibration(dir.filePath("orvane.ini"))); // two-axis guiding uses it at once

    // The guide log holds the calibration.
    QDirIterator logs(dir.filePath("guide-logs"), {"guide_log-*.txt"}, QDir::Files);
    ASSERT_TRUE(logs.hasNext());
    const QString log = QString::fromUtf8(test::readAll(logs.next()));
    EXPECT_TRUE(log.contains("\nCalibration Begins at ")) << log.toStdString();
    EXPECT_TRUE(log.contains("\nWest calibration complete. Angle = "));
    EXPECT_TRUE(log.contains("\nNorth calibration complete. Angle = "));
    EXPECT_TRUE(log.contains("\nCalibration complete\n\n"));
}

TEST(CalibrationWindow, AGuidedStartWithoutCalibrationPointsAtTheCommandOnce)
{
    WindowOnTheSky rig;
    ASSERT_TRUE(rig.open());
    QTemporaryDir &dir = rig.dir;
    MainWindow *window = rig.window.get();
    window->findChild<QCheckBox *>("Check2")->setChecked(true);
    auto *start = window->findChild<QPushButton *>("Command1");
    const QString advice = "This mount was never calibrated";
    const auto startAndStop = [&] {
        rig.pump.at(rig.clock.now() + 3000, [&] { start->click(); }); // Stop while it waits for the mark
        start->click();
        return window->notices().filter(advice).size();
    };
    EXPECT_EQ(startAndStop(), 1);
    EXPECT_EQ(startAndStop(), 2); // once per run
    CalibrationRecord record;
    record.xRatePxPerSec = record.yRatePxPerSec = 5;
    ASSERT_TRUE(writeCalibration(dir.filePath("orvane.ini"), record));
    EXPECT_EQ(startAndStop(), 2);
    EXPECT_FALSE(rig.mount.moving('n') || rig.mount.moving('s') || rig.mount.moving('e') || rig.mount.moving('w'));
}

TEST(CalibrationWindow, ADoubtfulCalibrationIsToldWithAcceptDiscardAndKeepTheOldOne)
{
    // RA as fast as Dec where the user says the telescope points at declination 60.
    WindowOnTheSky rig;
    ASSERT_TRUE(rig.open());
    MainWindow *window = rig.window.get();
    CalibrationRecord lastNight;
    lastNight.xRatePxPerSec = lastNight.yRatePxPerSec = 5;
    lastNight.when = "2024-03-09T21:00:00Z";
    ASSERT_TRUE(writeCalibration(rig.dir.filePath("orvane.ini"), lastNight));
    ASSERT_TRUE(window->rig().TakeFrame());
    window->chooseStar();
    ASSERT_EQ(rig.state.StarMarked, 1);
    CalibrationWindow *calibration = window->calibrationWindow();
    auto button = [&](const char *name) { return calibration->findChild<QPushButton *>(name); };
    for (const char *declination : {"0", "60"}) {
        calibration->findChild<QLineEdit *>("calibrationDeclination")->setText(declination);
        calibration->start();
        ASSERT_TRUE(calibration->lastRun().ok()) << calibration->lastRun().failure.toStdString();
        const bool doubtful = QString(declination) == "60";
        ASSERT_EQ(calibration->concerns().size(), doubtful ? 1 : 0) << calibration->concerns().join(' ').toStdString();
        EXPECT_EQ(button("calibrationApply")->isHidden(), doubtful);
        EXPECT_EQ(button("calibrationAccept")->isHidden(), !doubtful);
        EXPECT_EQ(button("calibrationDiscard")->isHidden(), !doubtful);
        EXPECT_EQ(button("calibrationKeepOld")->isHidden(), !doubtful);
    }
    const QString shown = calibration->findChild<QLabel *>("calibrationResult")->text();
    EXPECT_TRUE(shown.contains("\nCheck: At declination 60 degrees RA should move the star at about 2.5"))
        << shown.toStdString();
    const QByteArray before = test::readAll(rig.dir.filePath("orvane.ini"));
    button("calibrationKeepOld")->click();
    EXPECT_EQ(calibration->findChild<QLabel *>("calibrationResult")->text(),
              "Discarded: guiding keeps the calibration of 2024-03-09T21:00:00Z.");
    EXPECT_EQ(test::readAll(rig.dir.filePath("orvane.ini")), before);
    EXPECT_TRUE(button("calibrationAccept")->isHidden());
    EXPECT_FALSE(button("calibrationApply")->isEnabled());
}
