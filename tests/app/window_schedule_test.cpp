// Windows opened during a guided run on the simulated rig, through the main
// window: none runs an event loop of its own, so the run keeps its schedule
// to the millisecond while they stand open.
#include "main_window.h"

#include "file_chooser.h"
#include "guide_graph_window.h"
#include "nested_loop_watch.h"
#include "sequence_fixture.h"
#include "test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineSeries>
#include <QScatterSeries>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cmath>

using namespace orvane;

namespace {

struct TimedBytes {
    uint32_t atMs;
    QByteArray bytes;
    bool operator==(const TimedBytes &) const = default;
};

// The links of `inner`, with every write recorded at its clock time.
class TimedOpener : public SerialOpener {
public:
    TimedOpener(SerialOpener &inner, Clock &clock) : inner_(inner), clock_(clock) {}
    std::vector<TimedBytes> sends;

    SerialOpening open(int16_t commPort) override
    {
        SerialOpening link = inner_.open(commPort);
        if (link)
            link.value() = std::make_unique<Link>(*this, std::move(link.value()));
        return link;
    }
    QString describe(int16_t commPort) const override { return inner_.describe(commPort); }

private:
    class Link : public SerialConnection {
    public:
        Link(TimedOpener &owner, std::unique_ptr<SerialConnection> inner) : owner_(owner), inner_(std::move(inner)) {}
        Result write(const QByteArray &bytes) override
        {
            owner_.sends.push_back({owner_.clock_.now(), bytes});
            return inner_->write(bytes);
        }
        QByteArray readAll() override { return inner_->readAll(); }
        void close() override { inner_->close(); }

    private:
        TimedOpener &owner_;
        std::unique_ptr<SerialConnection> inner_;
    };
    SerialOpener &inner_;
    Clock &clock_;
};

// The main window on the simulated rig from the shipped orvane.cfg: guided,
// one 4 s exposure with a guide step every second.
struct GuidedWindow : test::TestRig {
    GuidedWindow() : test::TestRig({.startMs = 20000, .camera = test::RigCamera::SimulatedSky, .link = test::RigLink::SimulatedMount})
    {
        useLink(timed);
        EXPECT_TRUE(test::writeAll(dir.filePath("orvane.cfg"), test::readAll(ORVANE_DEFAULT_CFG)));
        port.addListener([this](const PortWrite &w) { portWrites.push_back({w.atMs, QByteArray(1, char(w.value))}); });
        window = test::windowOn(*this, files, dir.path());
        EXPECT_TRUE(window->load());
        state.SaveDir = dir.path(); // the guide log goes there, not into the working folder
        for (QDialog *d : test::openDialogs<QDialog>(window.get()))
            d->reject(); // what start-up had to say
        window->findChild<QCheckBox *>("Check2")->setChecked(true);
        window->findChild<QLineEdit *>("Text1")->setText("4");
    }

    QAction *action(const char *name) const { return window->findChild<QAction *>(name); }

    // Runs the sequence; the user marks the star and the lock is put 3 pixels
    // beside it, so the first guide step starts a correction. `duringExposure`
    // runs 500 ms into it.
    void run(std::function<void()> duringExposure)
    {
        pollStatus("Mark Star", [this] {
            const QPointF star = simCamera->starField().guideStar() +
                                 sky.offsetAt(clock.now());
            window->sequence().onPictureMouseDown(std::round(star.x()), std::round(star.y()));
            state.StarX = int16_t(state.StarX + 3);
        });
        pollStatus("Image 1", [this, duringExposure] { pump.at(clock.now() + 500, duringExposure); });
        window->findChild<QPushButton *>("Command1")->click();
    }
    void pollStatus(const QString &status, std::function<void()> then)
    {
        pump.at(clock.now() + 50, [this, status, then] {
            if (window->status() == status)
                return then();
            pollStatus(status, then);
        });
    }

    QTemporaryDir dir;
    TimedOpener timed{mountLink, clock};
    QtFileChooser files;
    std::unique_ptr<MainWindow> window;
    std::vector<TimedBytes> portWrites;
};

} // namespace

TEST(WindowsDuringARun, AboutAndLoadStayOpenWhileTheRunKeepsItsTimes)
{
    GuidedWindow plain;
    plain.run([] {});

    GuidedWindow busy;
    test::NestedLoopWatch watch;
    busy.run([&] {
        busy.action("About")->trigger();
        busy.action("Load")->trigger();
    });

    EXPECT_EQ(watch.nestedLoops(), 0);
    // Both still open after the exposure's end and the run's.
    EXPECT_EQ(test::openDialogs<QMessageBox>(busy.window.get()).size(), 1);
    EXPECT_EQ(test::openDialogs<QFileDialog>(busy.window.get()).size(), 1);
    EXPECT_EQ(busy.portWrites, plain.portWrites);
    EXPECT_EQ(busy.timed.sends, plain.timed.sends);
    // The windows stood open across a correction's start and end.
    int moves = 0;
    for (const TimedBytes &s : busy.timed.sends)
        moves += s.bytes.startsWith(":RG#:M");
    EXPECT_GE(moves, 1);
    EXPECT_EQ(busy.timed.sends.back().bytes, ":Qn#:Qs#:Qe#:Qw#");
}

TEST(WindowsDuringARun, NoOtherWindowOrBoxRunsItsOwnLoop)
{
    GuidedWindow rig;
    const std::vector<std::pair<const char *, std::function<void()>>> openers = {
        {"Format", [&] { rig.action("Format")->trigger(); }},
        {"Source", [&] { rig.action("Source")->trigger(); }},
        {"Compression", [&] { rig.action("Compression")->trigger(); }},
        {"Save", [&] { rig.action("Save")->trigger(); }},
        {"warning", [&] { rig.window->showMessage("A warning."); }},
        {"plain report", [&] { rig.window->showPlainMessage("Can't find Telescope!"); }},
        {"pre-roll question", [&] { emit rig.camera.preRoll(); }},
    };
    for (const auto &[name, open] : openers) {
        test::NestedLoopWatch watch;
        open();
        EXPECT_EQ(watch.nestedLoops(), 0) << name;
        EXPECT_EQ(test::openDialogs<QDialog>(rig.window.get()).size(), 1u) << name;
        for (QDialog *d : test::openDialogs<QDialog>(rig.window.get()))
            d->reject();
    }
    EXPECT_EQ(rig.camera.preRollAnswer(), -1); // the question closed without OK
}

TEST(WindowsDuringARun, ClosingAsksFirstCancelKeepsTheRunOkEndsItThenCloses)
{
    GuidedWindow plain;
    plain.run([] {});

    struct Case {
        const char *how; // the close box, or File > Exit
        QMessageBox::StandardButton answer;
    };
    for (const Case &c : {Case{"close box", QMessageBox::Cancel}, Case{"Exit", QMessageBox::Ok}}) {
        GuidedWindow rig;
        test::NestedLoopWatch watch;
        QStringList asked;
        uint32_t answeredAt = 0;
        rig.run([&] {
            if (c.answer == QMessageBox::Ok)
                rig.action("Exit")->trigger();
            else
                rig.window->close();
            for (QMessageBox *box : test::openDialogs<QMessageBox>(rig.window.get())) {
                asked << box->text();
                answeredAt = rig.clock.now();
                box->button(c.answer)->click();
            }
        });
        EXPECT_EQ(watch.nestedLoops(), 0) << c.how;
        EXPECT_EQ(asked, QStringList{"A sequence is running. Stop it and close Orvane?"}) << c.how;
        EXPECT_EQ(rig.timed.sends.back().bytes, kStopAll) << c.how;
        EXPECT_EQ(rig.portWrites.back().bytes, QByteArray(1, char(rig.settings.GetImageState))) << c.how;
        if (c.answer == QMessageBox::Cancel) { // nothing changed: the same run, to the millisecond
            EXPECT_EQ(rig.portWrites, plain.portWrites);
            EXPECT_EQ(rig.timed.sends, plain.timed.sends);
            EXPECT_TRUE(rig.window->isVisible());
        } else { // the end steps at once, then the window closes
            EXPECT_LE(rig.timed.sends.back().atMs - answeredAt, 1u);
            EXPECT_LT(rig.portWrites.size(), plain.portWrites.size());
            EXPECT_FALSE(rig.window->isVisible());
            EXPECT_FALSE(rig.port.initialized());
        }
    }
}

TEST(WindowsDuringARun, GuideGraphOpenedMidRunPlotsTheRunFromItsStartAndKeepsTheTimes)
{
    GuidedWindow plain;
    plain.run([] {});

    struct Recorder : GuideObserver {
        std::vector<GuideStep> steps;
        void guideStep(const GuideStep &step) override { steps.push_back(step); }
        void guideEvent(GuideEvent, uint32_t, const QString &) override {}
    } recorder;
    GuidedWindow rig;
    test::NestedLoopWatch watch;
    GuideGraphWindow *graph = nullptr;
    std::size_t beforeOpening = 0; // steps of the run before the window opened
    rig.run([&] {
        rig.pump.at(rig.clock.now() + 1200, [&] { // after the first guide steps
            const std::deque<GuideStep> &sofar = rig.window->sequence().runSteps();
            recorder.steps.assign(sofar.begin(), sofar.end());
            beforeOpening = recorder.steps.size();
            rig.action("showGuideGraph")->trigger();
            graph = rig.window->findChild<GuideGraphWindow *>("guideGraph");
            rig.window->sequence().addGuideObserver(&recorder);
        });
    });
    rig.window->sequence().removeGuideObserver(&recorder);

    EXPECT_EQ(watch.nestedLoops(), 0);
    EXPECT_EQ(rig.portWrites, plain.portWrites);
    EXPECT_EQ(rig.timed.sends, plain.timed.sends);
    ASSERT_TRUE(graph && graph->isVisible());
    ASSERT_GE(beforeOpening, 1u);
    ASSERT_GE(recorder.steps.size(), beforeOpening + 2);
    // One point per step of the run, the corrections as three-point bars.
    double sumSquares = 0;
    int found = 0, moves = 0;
    for (const GuideStep &s : recorder.steps) {
        found += s.starFound;
        moves += !s.direction.isEmpty();
        if (s.starFound)
            sumSquares += s.dxPx * s.dxPx + s.dyPx * s.dyPx;
    }
    EXPECT_EQ(graph->dxTrace().count(), found);
    EXPECT_EQ(graph->dyTrace().count(), found);
    EXPECT_EQ(graph->lostSeries()->count(), int(recorder.steps.size()) - found);
    EXPECT_GE(moves, 1);
    const auto barPoints = [&] {
        int points = 0;
        for (const QString &d : {rig.settings.DirLeft, rig.settings.DirRight, rig.settings.DirUp, rig.settings.DirDown})
            points += graph->correctionTrace(d) ? graph->correctionTrace(d)->count() : 0;
        return points;
    };
    EXPECT_EQ(barPoints(), 3 * moves);
    // The RMS shown is the plain RMS of the measured steps, of the whole run and of
    // the steps since the window opened; the run stays shown after its end.
    const double rms = std::sqrt(sumSquares / found);
    EXPECT_DOUBLE_EQ(graph->runStats().rmsTotalPx(), rms);
    EXPECT_TRUE(graph->findChild<QLabel *>("runStats")->text().contains(QStringLiteral("total %1 px").arg(rms, 0, 'f', 2)));
    EXPECT_EQ(graph->openStats().steps() + int(beforeOpening), graph->runStats().steps());

    // The last step's star: its peak above background, as measured, and its SNR.
    const GuideStep &last = recorder.steps.back();
    ASSERT_TRUE(last.starFound);
    EXPECT_GT(last.starPeak, 10);
    EXPECT_EQ(graph->findChild<QLabel *>("starSnr")->text(),
              QStringLiteral("Star peak %1, SNR %2").arg(last.starPeak, 0, 'f', 0).arg(last.snr, 0, 'f', 1));

    // Another scale draws the kept steps anew.
    graph->findChild<QComboBox *>("scale")->setCurrentIndex(0);
    EXPECT_EQ(graph->dxTrace().count(), found);
    EXPECT_EQ(barPoints(), 3 * moves);

    graph->findChild<QPushButton *>("clear")->click();
    EXPECT_EQ(graph->dxTrace().count(), 0);
    EXPECT_EQ(graph->runStats().steps() + graph->openStats().steps(), 0);
    EXPECT_TRUE(graph->findChild<QLabel *>("openStats")->text().contains("total 0.00 px"));
}
