// Guide > Calibrate… through the main window on the simulated rig, whose mount
// has its n and s letters the other way round.
#include "calibration_window.h"
#include "config_file.h"
#include "nested_loop_watch.h"
#include "sequence_fixture.h"
#include "test_support.h"

#include <QDialog>
#include <QDirIterator>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;

TEST(CalibrationWindow, CalibratesFromTheGuideMenuAndApplies)
{
    SimMountOptions swapped;
    swapped.swapNS = true;
    test::TestRig rig({.startMs = 20000, .camera = test::RigCamera::SimulatedSky,
                       .link = test::RigLink::SimulatedMount, .mount = swapped});
    QTemporaryDir dir;
    test::NoFiles files;
    ASSERT_TRUE(test::writeAll(dir.filePath("orvane.cfg"), test::readAll(ORVANE_DEFAULT_CFG)));
    auto window = test::windowOn(rig, files, dir.path());
    ASSERT_TRUE(window->load());
    rig.state.SaveDir = dir.path();
    for (QDialog *d : test::openDialogs<QDialog>(window.get()))
        d->reject();
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

    calibrate->trigger();
    auto *calibration = window->findChild<CalibrationWindow *>("calibrationWindow");
    ASSERT_TRUE(calibration && calibration->isVisible());
    auto *apply = calibration->findChild<QPushButton *>("calibrationApply");
    EXPECT_FALSE(apply->isEnabled());
    calibration->findChild<QPushButton *>("calibrationStart")->click(); // returns when it has ended
    ASSERT_TRUE(calibration->lastRun().ok()) << calibration->lastRun().failure.toStdString();
    const QString shown = calibration->findChild<QLabel *>("calibrationResult")->text();
    EXPECT_TRUE(shown.startsWith("Up (+y) s, Down n, Left e, Right (+x) w")) << shown.toStdString();
    EXPECT_EQ(rig.settings.DirUp, "n"); // nothing applied yet

    ASSERT_TRUE(apply->isEnabled());
    apply->click();
    EXPECT_EQ(rig.settings.DirUp, "s");
    EXPECT_EQ(rig.settings.DirDown, "n");
    EXPECT_EQ(LoadConfig(dir.filePath("orvane.cfg")).DirUp, "s");
    EXPECT_TRUE(readCalibration(dir.filePath("orvane.ini")));

    // The guide log holds the calibration.
    QDirIterator logs(dir.filePath("guide-logs"), {"guide_log-*.txt"}, QDir::Files);
    ASSERT_TRUE(logs.hasNext());
    const QString log = QString::fromUtf8(test::readAll(logs.next()));
    EXPECT_TRUE(log.contains("\nCalibration Begins at ")) << log.toStdString();
    EXPECT_TRUE(log.contains("\nWest calibration complete. Angle = "));
    EXPECT_TRUE(log.contains("\nNorth calibration complete. Angle = "));
    EXPECT_TRUE(log.contains("\nCalibration complete\n\n"));
}
