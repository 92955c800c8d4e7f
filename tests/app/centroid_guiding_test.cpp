// Whole guided runs with the centroid way on the simulated rig: sub-pixel
// guiding on the default rig, a turned camera guided through its calibrated
// axes, and dithering between saved frames; the guide log and the settings window.
#include "chart_trace.h"
#include "guide_graph_window.h"
#include "guide_log_lines.h"
#include "guiding_settings_dialog.h"
#include "ini_keys.h"
#include "sequence_fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace orvane;

namespace {

// The simulated camera and sky, guided by the centroid way; the mount may be
// one of the test's own (a camera turned on the telescope).
struct CentroidRig : test::SequenceTestRig {
    explicit CentroidRig(SimMountOptions mountOptions = {})
        : SequenceTestRig({.startMs = 10000, .camera = test::RigCamera::SimulatedSky, .link = test::RigLink::SimulatedMount}),
          ownMount(sky, clock, mountOptions), ownLink(ownMount, {})
    {
        useLink(ownLink);
        guiding.chooseAlgorithm("centroid");
        guiding.Options.algorithm = "centroid";
        panel.controls.guiding = true;
        panel.guide = "1";
        panel.exposure = "30";
        panel.frameCount = "4";
        panel.save = true;
        state.SaveDir = dir.path();
        sequence.addGuideObserver(&record);
        pump.at(clock.now() + 100, [this] { watchForPrompt(); });
    }
    void watchForPrompt()
    {
        if (panel.status() != "Mark Star") {
            pump.at(clock.now() + 100, [this] { watchForPrompt(); });
            return;
        }
        const QPointF star = truth();
        sequence.onPictureMouseDown(std::round(star.x()), std::round(star.y()));
        marked = true;
    }
    QPointF truth() { return simCamera->starField().guideStar() + sky.offsetAt(clock.now()); }
    // The star's true place against the lock position, sampled every 500 ms from
    // `settleMs` after marking; returns the RMS of its wander about its mean place,
    // pixels. (The lock itself holds the seeing of the frame it was marked on, a
    // fixed offset that does not widen the stars.)
    double runAndMeasure(uint32_t settleMs = 20000)
    {
        double sum = 0, sumX = 0, sumY = 0;
        int n = 0;
        uint32_t markedAt = 0;
        std::function<void()> sample = [&] {
            if (marked && markedAt == 0)
                markedAt = clock.now();
            if (marked && int64_t(elapsedMs(markedAt, clock.now())) > int64_t(settleMs)) {
                const QPointF d = truth() - lock();
                sum += d.x() * d.x() + d.y() * d.y();
                sumX += d.x();
                sumY += d.y();
                ++n;
            }
            if (state.SequenceRunning || !marked)
                pump.at(clock.now() + 500, sample);
        };
        pump.at(clock.now() + 500, sample);
        sequence.onCommand1Click();
        if (n == 0)
            return 1e9;
        const double mx = sumX / n, my = sumY / n;
        meanOffsetPx = std::hypot(mx, my);
        return std::sqrt(std::max(sum / n - mx * mx - my * my, 0.0));
    }
    QPointF lock() const { return {state.StarX + guiding.LockDX, state.StarY + guiding.LockDY}; }

    struct Record : GuideObserver {
        std::vector<GuideStep> steps;
        QStringList info;
        void guideStep(const GuideStep &step) override { steps.push_back(step); }
        void guideEvent(GuideEvent event, uint32_t, const QString &text) override
        {
            if (const QString line = guideLogInfo(event, text); !line.isEmpty())
                info.append(line);
        }
    } record;
    SimMount ownMount;
    RigSerialOpener ownLink;
    QTemporaryDir dir;
    bool marked = false;
    double meanOffsetPx = 0; // of the last run: the star's mean place from the lock
};

} // namespace

TEST(CentroidGuiding, HoldsTheStarToAFractionOfAPixelWithBothAxesPerStep)
{
    struct Case {
        const char *what;
        double cameraAngleDeg;
        bool pulse;
        bool calibrated;
    };
    const Case cases[] = {
        {"default rig", 0, false, false},
        {"default rig, pulses", 0, true, false},
        {"camera turned 33 degrees, calibrated", 33, false, true},
    };
    for (const Case &c : cases) {
        CentroidRig rig({.cameraAngleDeg = c.cameraAngleDeg});
        rig.guiding.Options.pulse = c.pulse;
        if (c.calibrated) {
            CalibrationRecord axes; // the letters' directions on the turned picture
            axes.xAngleDeg = c.cameraAngleDeg;      // DirRight (w) moves the star toward +x at angle 0
            axes.yAngleDeg = c.cameraAngleDeg + 90; // DirUp (n) toward +y
            axes.xRatePxPerSec = axes.yRatePxPerSec = 5;
            rig.guiding.Axes = axes;
        }
        const double rms = rig.runAndMeasure();
        EXPECT_LT(rms, 0.4) << c.what << " offset " << rig.meanOffsetPx;
        EXPECT_TRUE(rig.panel.messages.isEmpty()) << c.what;
        const bool bothAxes = std::any_of(rig.record.steps.begin(), rig.record.steps.end(),
                                          [](const GuideStep &s) { return s.dirX != 0 && s.dirY != 0; });
        EXPECT_TRUE(bothAxes) << c.what;
        EXPECT_GT(rig.record.steps.back().starMass, 0) << c.what;
    }
}

TEST(CentroidGuiding, TheGuideGraphDrawsABarForEachAxisOfAStep)
{
    test::SequenceTestRig rig;
    GuideGraphWindow graph(rig.sequence);
    GuideStep step;
    step.timeMs = 1000;
    step.starFound = true;
    step.dirX = 1;
    step.dirY = -1;
    step.directionX = "e";
    step.moveXMs = 140;
    step.directionY = "n";
    step.moveYMs = 140;
    graph.guideStep(step);
    ASSERT_TRUE(graph.correctionTrace("e"));
    ASSERT_TRUE(graph.correctionTrace("n"));
    EXPECT_EQ(graph.correctionTrace("e")->points().at(1).y(), 140);
    EXPECT_EQ(graph.correctionTrace("n")->points().at(1).y(), -140) << "downwards: the star is moved toward +y";
}

TEST(CentroidGuiding, DitheringShiftsTheLockBetweenFramesAndSettlesBeforeTheNext)
{
    CentroidRig rig;
    rig.guiding.Options.dither = true;
    rig.sequence.seedDither(42);
    const double rms = rig.runAndMeasure();
    const QStringList &info = rig.record.info;
    EXPECT_EQ(info.filter("INFO: DITHER by ").size(), 3) << "between the four frames";
    EXPECT_EQ(info.filter("Settling started").size(), 3);
    EXPECT_EQ(info.filter("Settling complete").size(), 3) << info.join("\n").toStdString();
    const QString dither = info.filter("INFO: DITHER by ").front();
    EXPECT_TRUE(dither.contains(", new lock pos = ")) << dither.toStdString();
    EXPECT_LT(rms, 1.5) << "the star follows its lock position";
    EXPECT_NE(rig.guiding.LockDX, rig.guiding.MarkDX) << "the lock moved";
    EXPECT_EQ(QDir(rig.dir.path()).entryList({"*.bmp"}).size(), 4);

    // A limit too short to settle in: said once per dither on the status line, and the run goes on.
    CentroidRig hurried;
    hurried.guiding.Options.dither = true;
    hurried.guiding.Options.settlePx = 0.01;
    hurried.guiding.Options.settleTimeoutS = 4;
    hurried.runAndMeasure();
    EXPECT_EQ(hurried.record.info.filter("Settling failed").size(), 3);
    EXPECT_EQ(hurried.panel.controls.notices.filter("did not settle within 0.01 px").size(), 3);
    EXPECT_EQ(QDir(hurried.dir.path()).entryList({"*.bmp"}).size(), 4);
}

TEST(CentroidGuiding, TheSettingsWindowStoresGoodValuesAndRefusesABadOneNamingItsBox)
{
    test::SequenceTestRig parts;
    test::NoFiles files;
    QTemporaryDir folder;
    auto window = test::windowOn(parts, files, folder.path());
    QAction *open = window->findChild<QAction *>("guidingSettings");
    ASSERT_TRUE(open);
    open->trigger();
    auto *dialog = window->findChild<GuidingSettingsDialog *>("GuidingSettings");
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(dialog->isModal());
    QStringList shown;
    dialog->showMessage = [&](const QString &text) { shown.append(text); };

    dialog->findChild<QComboBox *>("algorithm")->setCurrentText("centroid");
    dialog->findChild<QCheckBox *>("pulse")->setChecked(true);
    dialog->findChild<QLineEdit *>("aggressiveness")->setText("1.5");
    dialog->accept();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown.front(), "\"Aggressiveness\" holds \"1.5\", which is not a number above 0 up to 1; the guiding "
                             "settings were not changed.");
    EXPECT_FALSE(parts.guiding.Options.pulse) << "nothing changed";
    EXPECT_FALSE(QFile::exists(folder.filePath("orvane.ini")));

    dialog->findChild<QLineEdit *>("aggressiveness")->setText("0.5");
    dialog->accept();
    EXPECT_EQ(parts.guiding.Algorithm, findGuideAlgorithm("centroid"));
    EXPECT_TRUE(parts.guiding.Options.pulse);
    QFile ini(folder.filePath("orvane.ini"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    QStringList notes;
    const GuidingSettings stored = guidingSettingsFromIni(ini.readAll(), ini.fileName(), notes);
    EXPECT_EQ(stored, parts.guiding.Options);
    EXPECT_EQ(stored.aggressiveness, 0.5);

    // Every [guiding] key has its box, and each box says what it does.
    for (const IniKey &key : iniKeys()) {
        if (QLatin1String(key.group) != QLatin1String("guiding"))
            continue;
        const QWidget *box = dialog->findChild<QWidget *>(QLatin1String(key.key));
        ASSERT_TRUE(box) << key.key;
        EXPECT_FALSE(box->toolTip().isEmpty()) << key.key;
    }
    dialog->findChild<QLineEdit *>("guideStars")->setText("5");
    dialog->findChild<QComboBox *>("decMode")->setCurrentText("south");
    dialog->findChild<QCheckBox *>("predict")->setChecked(true);
    dialog->accept();
    EXPECT_EQ(parts.guiding.Options.guideStars, 5);
    EXPECT_EQ(parts.guiding.Options.decMode, "south");
    EXPECT_TRUE(parts.guiding.Options.predict);
}
