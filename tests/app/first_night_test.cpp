// A newcomer's first night through the main window on the simulated rig: the
// program chooses the star, a calibration is applied with the centroid way it
// offers, and the guided frame that follows holds the star to a fraction of a
// pixel; the box way's dead band shows on the guide graph.
#include "assistant_window.h"
#include "backlash_probe.h"
#include "calibration_window.h"
#include "guide_graph_window.h"
#include "guiding_settings.h"
#include "ini_lines.h"
#include "nested_loop_watch.h"
#include "sequence_fixture.h"
#include "star_watch.h"
#include "test_support.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace orvane;

namespace {

struct FirstNight : test::TestRig {
    FirstNight()
        : test::TestRig({.startMs = 20000, .camera = test::RigCamera::SimulatedSky,
                         .link = test::RigLink::SimulatedMount})
    {
    }
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
    template <class W>
    W *child(const char *name) const { return window->findChild<W *>(QLatin1String(name)); }
    QPointF guideStar() { return simCamera->starField().guideStar() + sky.offsetAt(clock.now()); }
    QPointF lock() const { return {state.StarX + guiding.LockDX, state.StarY + guiding.LockDY}; }

    QTemporaryDir dir;
    test::NoFiles files;
    std::unique_ptr<MainWindow> window;
};

// Two worm turns of the simulated mount (480 s).
constexpr double kAssistantWatchS = 16 * 60;

// The amplitude of the sine of `periodS` in the places' x, fitted with a line beside it (least squares).
double sineAmplitudePx(const std::vector<WatchedPlace> &places, double periodS)
{
    double m[4][5] = {};
    for (const WatchedPlace &p : places) {
        const double w = 2 * M_PI * p.seconds / periodS;
        const double f[4] = {1, p.seconds, std::sin(w), std::cos(w)};
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j)
                m[i][j] += f[i] * f[j];
            m[i][4] += f[i] * p.xPx;
        }
    }
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            if (r != c)
                for (int k = 4; k >= c; --k)
                    m[r][k] -= m[r][c] / m[c][c] * m[c][k];
    return std::hypot(m[2][4] / m[2][2], m[3][4] / m[3][3]);
}

} // namespace

TEST(FirstNight, ChooseStarCalibrateApplyAndTheGuidedFrameHoldsTheStar)
{
    FirstNight n;
    ASSERT_TRUE(n.open());
    MainWindow *window = n.window.get();
    GuideGraphWindow *graph = window->guideGraphWindow();
    EXPECT_DOUBLE_EQ(graph->deadBandShownPx(), 2); // the box way guides a new user's first run

    // Choose star for me, on a first frame.
    ASSERT_TRUE(window->rig().TakeFrame());
    n.child<QAction>("chooseStar")->trigger();
    ASSERT_EQ(n.state.StarMarked, 1) << window->statusBar()->currentMessage().toStdString();
    EXPECT_NEAR(n.state.StarX, n.guideStar().x(), 1.0);
    EXPECT_NEAR(n.state.StarY, n.guideStar().y(), 1.0);
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith("Guide star chosen at"));

    // Calibrate; Apply offers the centroid way, ticked.
    n.child<QAction>("calibrate")->trigger();
    auto *calibration = window->findChild<CalibrationWindow *>("calibrationWindow");
    ASSERT_TRUE(calibration);
    calibration->findChild<QPushButton *>("calibrationStart")->click();
    ASSERT_TRUE(calibration->lastRun().ok()) << calibration->lastRun().failure.toStdString();
    EXPECT_TRUE(calibration->concerns().isEmpty()) << calibration->concerns().join(' ').toStdString();
    auto *toCentroid = calibration->findChild<QCheckBox *>("calibrationToCentroid");
    ASSERT_FALSE(toCentroid->isHidden());
    EXPECT_TRUE(toCentroid->isChecked());
    calibration->findChild<QPushButton *>("calibrationApply")->click();
    EXPECT_TRUE(toCentroid->isHidden());
    EXPECT_EQ(n.guiding.Algorithm->name, std::string("centroid"));
    EXPECT_EQ(iniValue(test::readAll(n.dir.filePath("orvane.ini")), "guiding", "algorithm"), "centroid");
    EXPECT_EQ(n.guiding.Options.guideStars, 5);
    EXPECT_EQ(iniValue(test::readAll(n.dir.filePath("orvane.ini")), "guiding", "guideStars"), "5");
    EXPECT_DOUBLE_EQ(graph->deadBandShownPx(), 0);
    calibration->close();

    // A guided frame of three minutes; "Mark Star" offers the choice again.
    n.child<QLineEdit>("Text1")->setText("180");
    n.child<QLineEdit>("Text4")->setText("1");
    n.child<QLineEdit>("Text5")->setText("1");
    n.child<QCheckBox>("Check2")->setChecked(true);
    double sum = 0, sumX = 0, sumY = 0;
    int samples = 0;
    bool offered = false;
    uint32_t markedAt = 0;
    std::function<void()> watch = [&] {
        auto *offer = n.child<QPushButton>("chooseStarOffer");
        if (window->status() == "Mark Star" && !offer->isHidden() && markedAt == 0) {
            offered = true;
            offer->click();
            markedAt = n.clock.now();
        } else if (markedAt != 0 && elapsedMs(markedAt, n.clock.now()) > 20000 && window->status() == "Image 1") {
            const QPointF d = n.guideStar() - n.lock();
            sum += d.x() * d.x() + d.y() * d.y();
            sumX += d.x();
            sumY += d.y();
            ++samples;
        }
        if (markedAt == 0 || n.state.SequenceRunning == 1)
            n.pump.at(n.clock.now() + 500, watch);
    };
    n.pump.at(n.clock.now() + 500, watch);
    n.child<QPushButton>("Command1")->click();
    EXPECT_TRUE(offered);
    ASSERT_GT(samples, 200);
    const double mx = sumX / samples, my = sumY / samples;
    const double rms = std::sqrt(std::max(sum / samples - mx * mx - my * my, 0.0));
    EXPECT_LT(rms, 0.6) << "guided RMS, px";
    EXPECT_LT(std::hypot(mx, my), 0.6) << "mean offset from the lock, px";
    std::cout << "first night: guided RMS " << rms << " px, mean offset " << std::hypot(mx, my) << " px\n";
}

TEST(FirstNight, GuideDarksAskFirstRefuseAnUncoveredCameraAndAreKeptWithTheSettings)
{
    FirstNight n;
    ASSERT_TRUE(n.open());
    MainWindow *window = n.window.get();
    const auto answer = [&](QMessageBox::StandardButton button) {
        const QList<QMessageBox *> boxes = test::openDialogs<QMessageBox>(window);
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_TRUE(boxes[0]->text().startsWith("Cover the telescope (or the camera): Orvane takes 5 guide frames of 1 s"))
            << boxes[0]->text().toStdString();
        boxes[0]->button(button)->click();
    };
    n.child<QLineEdit>("Text4")->setText("1");
    const size_t writes = n.port.writes().size();
    n.child<QAction>("takeGuideDarks")->trigger();
    answer(QMessageBox::Cancel);
    EXPECT_FALSE(n.guiding.Dark);
    EXPECT_EQ(n.port.writes().size(), writes) << "nothing was exposed";

    n.child<QAction>("takeGuideDarks")->trigger(); // the stars are in view
    answer(QMessageBox::Ok);
    EXPECT_FALSE(n.guiding.Dark);
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith("The guide darks show stars or light"));

    n.simCamera->setCovered(true);
    n.child<QAction>("takeGuideDarks")->trigger();
    answer(QMessageBox::Ok);
    ASSERT_TRUE(n.guiding.Dark) << window->statusBar()->currentMessage().toStdString();
    EXPECT_EQ(n.guiding.Dark->frames, 5);
    EXPECT_EQ(n.guiding.Dark->exposureMs, 1000);
    EXPECT_TRUE(window->statusBar()->currentMessage().startsWith("Guide darks of 1 s taken"));
    const ResultOf<GuideDark> kept = loadGuideDark(window->guideDarkPath());
    ASSERT_TRUE(kept) << kept.error().toStdString();
    EXPECT_EQ(kept.value().level, n.guiding.Dark->level);
}

TEST(FirstNight, TheAssistantsFiguresMatchTheSkysTruthOnTheDefaultAndTheHardSky)
{
    struct Sky {
        const char *name;
        SkyMotion motion;
        SimMountOptions mount;
        SimCameraOptions camera;
    };
    const Sky skies[] = {
        {"default", SkyMotion{}, SimMountOptions{}, SimCameraOptions{}},
        {"hard", SkyMotion::hardNight(), SimMountOptions::hardNight(), SimCameraOptions::hardNight()},
    };
    for (const Sky &sky : skies) {
        SCOPED_TRACE(sky.name);
        test::TestRig r({.startMs = 20000, .camera = test::RigCamera::SimulatedSky,
                         .link = test::RigLink::SimulatedMount, .sky = sky.motion, .mount = sky.mount,
                         .simCamera = sky.camera});
        const SkyMotion &truth = sky.motion;
        const QPointF star = r.simCamera->starField().guideStar();
        // Where the star truly stood at each frame: the hard sky's wander hides part of the gears' error.
        std::vector<WatchedPlace> truePlaces;
        const StarWatch watch = watchStar(r.rig, star.x(), star.y(), 1000, kAssistantWatchS, {},
                                          [&](const WatchedPlace &p) {
                                              const QPointF at = star + r.sky.offsetAt(r.clock.now());
                                              truePlaces.push_back({p.seconds, at.x(), at.y()});
                                          });
        ASSERT_TRUE(watch.failure.isEmpty()) << watch.failure.toStdString();
        std::optional<NightFigures> night = measureNight(watch.places, 1.5, 30.0);
        ASSERT_TRUE(night);
        const QPointF last(watch.places.back().xPx, watch.places.back().yPx);
        const BacklashProbe probe = probeDecBacklash(
            r.rig, last, {.driftPxPerS = QPointF(night->driftXPxPerMin, night->driftYPxPerMin) / 60}, {});
        ASSERT_TRUE(probe.reading) << probe.failure.toStdString();
        night->decBacklash = probe.reading;
        const double jitterPx = r.simCamera->options().sensor.jitterPx;
        std::cout << sky.name << " sky, assistant: jitter " << night->jitterXPx << ", " << night->jitterYPx
                  << " px (truth " << jitterPx << "), drift " << night->driftXPxPerMin << ", "
                  << night->driftYPxPerMin << " px/min, PE " << night->periodicErrorPx << " px over "
                  << night->periodicErrorPeriodS << " s (the star showed " << sineAmplitudePx(truePlaces, truth.periodicErrorPeriodS)
                  << " px, the gears " << truth.periodicErrorPx << " px), polar " << night->polarErrorArcmin.value_or(-1)
                  << " arcmin, Dec backlash " << probe.reading->backlashMs << " ms (truth " << sky.mount.decBacklashMs
                  << ")\n";
        EXPECT_NEAR(night->jitterXPx, jitterPx, 0.2 * jitterPx);
        EXPECT_NEAR(night->jitterYPx, jitterPx, 0.2 * jitterPx);
        EXPECT_NEAR(night->driftXPxPerMin, truth.driftXPxPerMin, 0.1 * truth.driftXPxPerMin);
        EXPECT_NEAR(night->driftYPxPerMin, truth.driftYPxPerMin, 0.1 * truth.driftYPxPerMin);
        const double shownPeriodicPx = sineAmplitudePx(truePlaces, truth.periodicErrorPeriodS);
        EXPECT_NEAR(night->periodicErrorPx, shownPeriodicPx, 0.15 * shownPeriodicPx);
        if (truth.wanderPxPerRootS == 0) {
            EXPECT_NEAR(shownPeriodicPx, truth.periodicErrorPx, 0.02 * truth.periodicErrorPx);
        }
        EXPECT_NEAR(night->periodicErrorPeriodS, truth.periodicErrorPeriodS, 0.1 * truth.periodicErrorPeriodS);
        EXPECT_NEAR(probe.reading->backlashMs, sky.mount.decBacklashMs, std::max(0.2 * sky.mount.decBacklashMs, 100.0));
        // The drift method: 3.81 arcmin per arcsec/min of Dec drift, over cos(Dec).
        const double polarArcmin = 3.81 * truth.driftYPxPerMin * 1.5 / std::cos(30 * M_PI / 180);
        EXPECT_NEAR(*night->polarErrorArcmin, polarArcmin, 0.1 * polarArcmin);
        const GuideAdvice advice = adviseGuiding(*night);
        EXPECT_GE(advice.minMovePx, 0.1);
        EXPECT_LE(advice.minMovePx, jitterPx);
        EXPECT_GE(advice.guideExposureS, 1);
        // The star drifts down the picture, as 'n' moves it: only 's' counters it.
        EXPECT_EQ(advice.decMode, sky.mount.decBacklashMs > 0 ? "south" : "auto");
    }
}

TEST(FirstNight, TheAssistantWindowWatchesRecommendsAppliesAndStops)
{
    FirstNight n;
    ASSERT_TRUE(n.open());
    MainWindow *window = n.window.get();
    ASSERT_TRUE(window->rig().TakeFrame());
    window->chooseStar();
    n.child<QAction>("guidingAssistant")->trigger();
    AssistantWindow *assistant = window->assistantWindow();
    assistant->findChild<QSpinBox *>("assistantMinutes")->setValue(3);
    auto *testBacklash = assistant->findChild<QCheckBox *>("assistantTestBacklash");
    ASSERT_TRUE(testBacklash->isChecked());
    auto *result = assistant->findChild<QLabel *>("assistantResult");

    // The backlash test skipped: the mount is not moved, the Dec mode not advised.
    testBacklash->setChecked(false);
    const int commands = n.mount.commandCount();
    assistant->start();
    ASSERT_TRUE(assistant->figures() && assistant->advice());
    EXPECT_EQ(n.mount.commandCount(), commands) << "no correction is sent while it watches";
    EXPECT_GT(assistant->figures()->samples, 100);
    EXPECT_FALSE(assistant->figures()->decBacklash);
    EXPECT_TRUE(assistant->advice()->decMode.isEmpty());
    EXPECT_TRUE(result->text().contains("Dec backlash: not tested")) << result->text().toStdString();
    EXPECT_TRUE(result->text().contains("Polar alignment error: not known without the guide pixel scale (Imaging > "
                                        "Optics...) and the declination"))
        << result->text().toStdString();
    EXPECT_FALSE(assistant->figures()->polarErrorArcmin);

    // With it, at the end: the default mount's gears have no slack.
    testBacklash->setChecked(true);
    n.guiding.Options.decMode = "off";
    n.state.optics.guideFocalLengthMm = 206.265; // 1.5 µm pixels: 1.5″/px
    n.state.optics.guidePixelUm = 1.5;
    ASSERT_TRUE(writeCalibrationDeclination(n.dir.filePath("orvane.ini"), 30.0));
    assistant->start();
    ASSERT_TRUE(assistant->figures() && assistant->figures()->decBacklash) << result->text().toStdString();
    EXPECT_GT(n.mount.commandCount(), commands);
    EXPECT_LT(assistant->figures()->decBacklash->backlashMs, 100);
    EXPECT_TRUE(result->text().contains("Dec guiding both ways (off)")) << result->text().toStdString();
    // The Dec drift of 8 px/min at 1.5″/px and Dec 30°, by the drift method.
    ASSERT_TRUE(assistant->figures()->polarErrorArcmin);
    EXPECT_NEAR(*assistant->figures()->polarErrorArcmin, 52.8, 5);
    EXPECT_TRUE(result->text().contains(QString("Polar alignment error about %1 arcmin (at 1.50\u2033/px, Dec 30\u00b0)")
                                            .arg(*assistant->figures()->polarErrorArcmin, 0, 'f', 1)))
        << result->text().toStdString();
    for (char letter : {'n', 's', 'e', 'w'})
        EXPECT_FALSE(n.mount.moving(letter));
    const GuideAdvice advice = *assistant->advice();
    assistant->findChild<QPushButton *>("assistantApply")->click();
    EXPECT_DOUBLE_EQ(n.guiding.Options.minMovePx, advice.minMovePx);
    EXPECT_DOUBLE_EQ(n.guiding.Options.aggressiveness, advice.aggressiveness);
    EXPECT_EQ(n.guiding.Options.decMode, "auto");
    EXPECT_EQ(iniValue(test::readAll(n.dir.filePath("orvane.ini")), "guiding", "decMode"), "auto");
    EXPECT_EQ(n.child<QLineEdit>("Text4")->text(), QString::number(advice.guideExposureS, 'g', 3));

    const uint32_t began = n.clock.now();
    n.pump.at(began + 30000, [&] { assistant->findChild<QPushButton *>("assistantStop")->click(); });
    assistant->start();
    EXPECT_LT(elapsedMs(began, n.clock.now()), 35000u);
    EXPECT_TRUE(assistant->findChild<QLabel *>("assistantProgress")->text().startsWith("Stopped after"))
        << assistant->findChild<QLabel *>("assistantProgress")->text().toStdString() << " / "
        << assistant->findChild<QLabel *>("assistantResult")->text().toStdString();
}
