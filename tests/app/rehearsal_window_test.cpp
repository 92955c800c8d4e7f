// Guide > Rehearse through the main window: preset from the calibration, run
// on a thread of its own while the real Start waits, and reported in the
// window and beside the guide logs without a byte to the real rig.
#include "calibration_record.h"
#include "guide_chart.h"
#include "rehearsal_window.h"
#include "sequence_fixture.h"
#include "test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QEventLoop>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

struct RehearsalRig : test::TestRig {
    RehearsalRig()
    {
        state.SaveDir = dir.path();
        EXPECT_TRUE(writeCalibration(dir.filePath("orvane.ini"), {3, 5.2, 93, 5.2, "2026-12-08T20:00:00Z"}));
        window = test::windowOn(*this, files, dir.path());
        window->findChild<QCheckBox *>("Check2")->setChecked(true);
        window->findChild<QLineEdit *>("Text1")->setText("20");
        window->findChild<QLineEdit *>("Text4")->setText("2");
    }
    RehearsalWindow *open()
    {
        window->findChild<QAction *>("showRehearsal")->trigger();
        return window->findChild<RehearsalWindow *>("rehearsal");
    }
    // Starts the rehearsal and waits (on events, with a deadline) for its report.
    bool rehearse(RehearsalWindow &w, bool stopAtOnce = false)
    {
        bool finished = false;
        QEventLoop waiting;
        QObject::connect(&w, &RehearsalWindow::finished, &waiting, [&] {
            finished = true;
            waiting.quit();
        });
        QTimer::singleShot(60000, &waiting, &QEventLoop::quit); // the deadline
        w.findChild<QPushButton *>("start")->click();
        startWaited = !window->findChild<QPushButton *>("Command1")->isEnabled();
        if (stopAtOnce)
            w.findChild<QPushButton *>("stop")->click();
        if (w.running())
            waiting.exec();
        return finished;
    }
    QTemporaryDir dir;
    test::NoFiles files;
    std::unique_ptr<MainWindow> window;
    bool startWaited = false;
};

double field(RehearsalWindow &w, const char *name)
{
    return w.findChild<QDoubleSpinBox *>(name)->value();
}

} // namespace

TEST(RehearsalWindow, RunsThePlanFastAndReportsBesideTheGuideLogsTouchingNothingReal)
{
    RehearsalRig rig;
    RehearsalWindow *w = rig.open();
    ASSERT_TRUE(w && w->isVisible());
    EXPECT_FALSE(w->isModal());
    EXPECT_DOUBLE_EQ(field(*w, "guideRate"), 5.2); // from the calibration
    EXPECT_DOUBLE_EQ(field(*w, "cameraAngle"), 3);
    EXPECT_FALSE(w->findChild<QCheckBox *>("mirrored")->isChecked());
    EXPECT_EQ(w->findChild<QComboBox *>("mountLetters")->currentText(), "as sent");

    // While a batch holds the picture area, nothing starts and the window says why.
    rig.picture.reserve("the deinterlace window");
    w->findChild<QPushButton *>("start")->click();
    EXPECT_FALSE(w->running());
    EXPECT_EQ(w->findChild<QLabel *>("saved")->text(),
              "A sequence, the loop or a batch is running; rehearse when it has finished.");
    rig.picture.release();

    const size_t portWrites = rig.port.writes().size();
    ASSERT_TRUE(rig.rehearse(*w));
    EXPECT_TRUE(rig.startWaited) << "the real Start waits while the rehearsal runs";
    EXPECT_TRUE(rig.window->findChild<QPushButton *>("Command1")->isEnabled());
    EXPECT_TRUE(w->warnings().isEmpty()) << w->warnings().join("; ").toStdString();
    EXPECT_TRUE(w->reportText().contains("Guided RMS: x ")) << w->reportText().toStdString();
    EXPECT_TRUE(w->reportText().contains("Warnings: none"));
    EXPECT_GT(w->chart()->dxTrace().count(), 5);

    // The report beside the guide logs; no frame, no guide log, no port byte, no serial byte of the real rig.
    const QString logs = rig.dir.filePath("guide-logs");
    EXPECT_EQ(QFileInfo(w->savedText()).absolutePath(), logs);
    EXPECT_EQ(test::readAll(w->savedText()), w->reportText().toUtf8());
    EXPECT_FALSE(QImage(w->savedPicture()).isNull());
    EXPECT_EQ(QDir(logs).entryList(QDir::Files).size(), 2);
    EXPECT_TRUE(QDir(rig.dir.path()).entryList({"*.bmp", "*.fits", "frames.csv"}).isEmpty());
    EXPECT_EQ(rig.port.writes().size(), portWrites);
    EXPECT_TRUE(rig.opener.writes.isEmpty());

    // A wrong letter pair is named; Stop ends a long run early and still reports.
    rig.settings.DirLeft = "w";
    rig.settings.DirRight = "e";
    rig.window->findChild<QLineEdit *>("Text1")->setText("60"); // long enough to see corrections go wrong
    ASSERT_TRUE(rig.rehearse(*w));
    EXPECT_EQ(w->warnings(), QStringList{"corrections push the star further on x: DirLeft/DirRight look swapped"}) << w->reportText().toStdString();
    rig.window->findChild<QLineEdit *>("Text5")->setText("30000");
    ASSERT_TRUE(rig.rehearse(*w, true));
    EXPECT_TRUE(w->reportText().contains("(stopped early)"));
}
