// A calibrated, dithered centroid run on the simulated rig, its guide log read
// back by the reader and opened in the guide log window: the session's figures
// are the ones the guide graph showed during the run.
#include "calibration_log_lines.h"
#include "guide_graph_window.h"
#include "guide_log.h"
#include "guide_log_window.h"
#include "sequence_fixture.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace orvane;

namespace {

struct DitheredRig : test::SequenceTestRig {
    DitheredRig()
        : SequenceTestRig({.startMs = 10000, .camera = test::RigCamera::SimulatedSky, .link = test::RigLink::SimulatedMount})
    {
        guiding.chooseAlgorithm("centroid");
        guiding.Options.algorithm = "centroid";
        guiding.Options.dither = true;
        sequence.seedDither(7);
        CalibrationRecord axes;
        axes.xAngleDeg = 0;
        axes.yAngleDeg = 90;
        axes.xRatePxPerSec = axes.yRatePxPerSec = 5;
        guiding.Axes = axes;
        state.optics = Optics{.guideFocalLengthMm = 400, .guidePixelUm = 5.6};
        panel.controls.guiding = true;
        panel.guide = "1";
        panel.exposure = "30";
        panel.frameCount = "3";
        panel.save = true;
        state.SaveDir = dir.path();
        pump.at(clock.now() + 100, [this] { watchForPrompt(); });
    }
    void watchForPrompt()
    {
        if (panel.status() != "Mark Star") {
            pump.at(clock.now() + 100, [this] { watchForPrompt(); });
            return;
        }
        const QPointF star = simCamera->starField().guideStar() + sky.offsetAt(clock.now());
        sequence.onPictureMouseDown(std::round(star.x()), std::round(star.y()));
    }
    QTemporaryDir dir;
};

// The lines a calibration writes, for a calibration section before the run.
QStringList calibrationSection(const QDateTime &at)
{
    QStringList lines = calibrationLogBegins(at, "simulated", 1000, 15);
    for (int i = 0; i <= 3; ++i)
        lines << calibrationLogRow("West", i, {5.0 * i, 0.1 * i}, {320 + 5.0 * i, 240});
    lines << calibrationLogAxis("West", 1.1);
    for (int i = 0; i <= 3; ++i)
        lines << calibrationLogRow("North", i, {0, 5.0 * i}, {335, 240 + 5.0 * i});
    lines << calibrationLogAxis("North", 90.0) << calibrationLogSpeeds(5, 5) << calibrationLogEnds({});
    return lines;
}

} // namespace

TEST(GuideLogWindow, AGuidedRunsLogReadsBackWithTheFiguresTheRunShowed)
{
    DitheredRig rig;
    GuideGraphWindow graph(rig.sequence);
    graph.arcsecPerPx = [&rig] { return guideScale(rig.state.optics); };
    auto log = std::make_unique<GuideLog>(rig.rig.context(), GuideLogOptions{});
    log->writeCalibration(calibrationSection(QDateTime::fromMSecsSinceEpoch(rig.clock.utcMs(rig.clock.now()))));
    rig.sequence.addGuideObserver(log.get());
    rig.sequence.onCommand1Click();
    rig.sequence.removeGuideObserver(log.get());
    const QString path = log->filePath();
    log.reset();

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const GuideLogContents read = readGuideLog(text);
    EXPECT_EQ(read.stoppedLine, 0) << read.stoppedWhy.toStdString();
    EXPECT_TRUE(read.program.startsWith("Orvane version"));
    ASSERT_EQ(read.calibrations.size(), 1u);
    EXPECT_EQ(read.calibrations[0].steps.size(), 8u);
    EXPECT_TRUE(read.calibrations[0].complete);
    ASSERT_EQ(read.sessions.size(), 1u);
    const GuideSession &s = read.sessions[0];
    EXPECT_EQ(s.calibration, 0);
    EXPECT_TRUE(s.ends.isValid());
    EXPECT_FALSE(s.star.isEmpty());
    ASSERT_TRUE(s.arcsecPerPx);
    EXPECT_NEAR(*s.arcsecPerPx, 2.89, 0.005);
    EXPECT_EQ(int(s.steps.size()), graph.runStats().steps() + graph.runStats().settlingSteps());
    EXPECT_EQ(s.settling.size(), 2u) << "one settling after each of the two dithers";
    EXPECT_EQ(std::count_if(s.events.begin(), s.events.end(), [](const LoggedEvent &e) { return e.kind == LoggedEvent::Dither; }), 2);

    // The session's figures, settling left out, are the graph's "This run".
    const SpanFigures whole = spanFigures(s, 0, s.lengthS(), true);
    EXPECT_NEAR(whole.rmsTotalPx, graph.runStats().rmsTotalPx(), 0.001);
    EXPECT_EQ(spanFiguresLine(whole, std::nullopt).toStdString(), driftFigures(graph.runStats()).toStdString());
    // In arc-seconds by the scale the log gives. The log keeps pixels to three
    // decimals, so a figure on a rounding edge may show 0.01" apart from the run's.
    EXPECT_TRUE(spanFiguresLine(whole, s.arcsecPerPx).contains(QString::fromUtf8("\u2033")));
    EXPECT_NEAR(whole.rmsTotalPx * *s.arcsecPerPx, graph.runStats().rmsTotalPx() * *s.arcsecPerPx, 0.006);
    EXPECT_NEAR(whole.peakPx * *s.arcsecPerPx, graph.runStats().peakPx() * *s.arcsecPerPx, 0.006);
    EXPECT_GT(whole.settlingLeftOut, 0);

    // The window: both sections listed, the night's three frames as spans with their RMS, PNG export.
    GuideLogWindow window;
    ASSERT_TRUE(window.openFile(path));
    const QStringList rows = window.rowsListed();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_TRUE(rows[0].startsWith("Calibration ")) << rows[0].toStdString();
    EXPECT_TRUE(rows[1].startsWith("Guiding ")) << rows[1].toStdString();
    EXPECT_TRUE(window.sessionFiguresText().contains("Settling left out: ")) << window.sessionFiguresText().toStdString();
    EXPECT_EQ(window.framesListed().size(), 3) << window.statusText().toStdString();
    EXPECT_TRUE(window.framesListed().front().startsWith("Image001.bmp: RMS ")) << window.framesListed().front().toStdString();
    EXPECT_EQ(window.chart().dxTrace().count(), spanFigures(s, 0, s.lengthS(), false).measured) << "settling drawn too";
    window.setSpan(0, 1);
    EXPECT_TRUE(window.spanFiguresText().startsWith("Span 0.0 to 1.0 min: RMS x ")) << window.spanFiguresText().toStdString();
    const QString png = rig.dir.filePath("night.png");
    ASSERT_TRUE(window.exportPng(png));
    EXPECT_GT(QFileInfo(png).size(), 1000);

    // Cut in the middle of its last step row, it opens as far as it goes and says where it stopped.
    const qsizetype lastRow = text.lastIndexOf("\"Mount\"");
    QFile cut(rig.dir.filePath("cut.txt"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(text.left(lastRow + 12));
    cut.close();
    ASSERT_TRUE(window.openFile(cut.fileName()));
    EXPECT_EQ(window.contents().sessions.size(), 1u);
    EXPECT_EQ(window.contents().sessions[0].steps.size(), s.steps.size() - 1);
    EXPECT_TRUE(window.statusText().contains("cut: line ")) << window.statusText().toStdString();
}
