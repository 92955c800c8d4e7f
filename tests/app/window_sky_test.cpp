// The main window on the simulated camera's sky, the way a user meets it: clicks
// on the picture and commands from the menus, on the simulated clock.
#include "main_window.h"

#include "directory_dialog.h"
#include "sequence_fixture.h"
#include "test_support.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace orvane;

namespace {

struct SkyWindow : test::TestRig {
    explicit SkyWindow(SkyMotion motion = {})
        : test::TestRig({.startMs = 20000, .camera = test::RigCamera::SimulatedSky, .sky = motion})
    {
        opener.reply = "P"; // the mount answers the probe
        window = test::windowOn(*this, files, dir.path());
        window->showMessageBox = [this](const QString &text, QMessageBox::Icon) { messages.append(text); };
        state.SaveDir = dir.path();
    }

    template <class W>
    W *child(const char *name) const { return window->findChild<W *>(QLatin1String(name)); }
    QString told() const { return window->statusBar()->currentMessage(); }
    // Where the guide star stands now, pixels.
    QPointF guideStar() { return simCamera->starField().guideStar() + sky.offsetAt(clock.now()); }
    // A left click on Picture1 at picture pixel (x, y).
    void click(double x, double y)
    {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(x, y), QPointF(x, y), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(window->pictureView(), &press);
    }
    // Runs `then` at the first 50 ms look at which the status box reads `status`.
    void whenStatus(const QString &status, std::function<void()> then)
    {
        pump.at(clock.now() + 50, [this, status, then] {
            if (window->status() == status)
                return then();
            whenStatus(status, then);
        });
    }
    // A point of the picture at least a guide box away from every star.
    QPointF emptySky()
    {
        const QPointF offset = sky.offsetAt(clock.now());
        for (int y = 60; y < 420; y += 10)
            for (int x = 60; x < 580; x += 10) {
                bool clear = true;
                for (const Star &s : simCamera->starField().stars())
                    clear = clear && std::hypot(s.x + offset.x() - x, s.y + offset.y() - y) > 45;
                if (clear)
                    return QPointF(x, y);
            }
        return {};
    }

    int frameLoopFrames() { return window->frameLoop().frames(); }

    QTemporaryDir dir;
    test::NoFiles files;
    std::unique_ptr<MainWindow> window;
    QStringList messages;
};

} // namespace

TEST(WindowOnTheSky, AClickBesideTheStarMarksItsCentreAndEmptySkyKeepsTheMark)
{
    SkyWindow w;
    w.child<QCheckBox>("Check2")->setChecked(true);
    w.child<QLineEdit>("Text1")->setText("3");
    QPointF star;
    QString toldAtMark, toldOnEmptySky;
    int16_t markX = 0, markY = 0;
    bool loopWhileRunning = true;
    w.whenStatus("Mark Star", [&] {
        loopWhileRunning = w.child<QAction>("Loop")->isEnabled();
        star = w.guideStar();
        w.click(star.x() + 2, star.y()); // two pixels right of the star
        markX = w.state.StarX;
        markY = w.state.StarY;
        toldAtMark = w.told();
    });
    w.whenStatus("Image 1", [&] {
        w.pump.at(w.clock.now() + 500, [&] {
            const QPointF empty = w.emptySky();
            ASSERT_FALSE(empty.isNull());
            w.click(empty.x(), empty.y());
            toldOnEmptySky = w.told();
        });
    });
    w.child<QPushButton>("Command1")->click();

    EXPECT_TRUE(w.messages.isEmpty()) << w.messages.join("; ").toStdString();
    EXPECT_FALSE(loopWhileRunning);
    EXPECT_TRUE(w.child<QAction>("Loop")->isEnabled());
    // The search's centre of a star lies within a pixel of its true centre.
    EXPECT_NEAR(markX, star.x(), 1.0);
    EXPECT_NEAR(markY, star.y(), 1.0);
    EXPECT_EQ(toldAtMark, QStringLiteral("Guide star marked at %1, %2").arg(markX).arg(markY));
    EXPECT_TRUE(toldOnEmptySky.startsWith("No star here: ")) << toldOnEmptySky.toStdString();
    EXPECT_EQ(w.state.StarX, markX);
    EXPECT_EQ(w.state.StarY, markY);
    // Two guide steps, each a stop-all and no move, then the run's stop-all.
    EXPECT_EQ(w.opener.writes, (QByteArrayList{QByteArray(1, '\x06'), kStopAll, kStopAll, kStopAll}));
    EXPECT_EQ(w.window->findChild<QLineEdit *>("Text7")->text(), " 0");
}

TEST(WindowOnTheSky, LoopTakesUnsavedFramesShowingTheStarUntilStoppedAnyWay)
{
    enum class StopBy { Loop, Command1, Close };
    struct Case {
        StopBy by;
        bool doubled; // 2x1 Bin ticked
    };
    for (const Case c : {Case{StopBy::Loop, false}, Case{StopBy::Command1, true}, Case{StopBy::Close, false}}) {
        const StopBy by = c.by;
        SCOPED_TRACE(int(by));
        SkyWindow w(SkyMotion{.driftXPxPerMin = 0, .driftYPxPerMin = 0, .periodicErrorPx = 0}); // a still star
        w.window->show();
        w.child<QLineEdit>("Text1")->setText("30");
        w.child<QCheckBox>("Check1")->setChecked(true); // Save ticked: a loop saves nothing all the same
        w.child<QCheckBox>("Check3")->setChecked(c.doubled);
        const QPointF star = w.guideStar();
        w.state.StarX = int16_t(std::lround(star.x()));
        w.state.StarY = int16_t(std::lround(star.y()));
        w.state.StarMarked = 1;

        // Each frame: 30 s exposure, 100 ms amplifier, 250 ms read-out; stop in the fourth.
        const uint32_t t0 = w.clock.now();
        QString profile, caption, toldAtClick;
        bool boxDrawn = false;
        w.pump.at(t0 + 3 * 30350 + 1000, [&] {
            profile = w.child<QLabel>("starProfile")->text();
            caption = w.child<QPushButton>("Command1")->text();
            // The marked star's box is drawn on each frame, and a click answers as in a run.
            const double half = w.settings.GuideBoxSize / 2.0;
            boxDrawn = w.picture.pixel(PictureArea::pixelIndex(w.state.StarX - half), w.state.StarY) == 255;
            w.click(star.x() + 2, star.y());
            toldAtClick = w.told();
            if (by == StopBy::Loop)
                w.child<QAction>("Loop")->trigger();
            else if (by == StopBy::Command1)
                w.child<QPushButton>("Command1")->click();
            else
                w.window->close();
        });
        w.child<QAction>("Loop")->trigger();

        std::vector<int> bytes;
        std::vector<int64_t> ampOn;
        for (const PortWrite &p : w.port.writes()) {
            bytes.push_back(p.value);
            if (p.value == w.settings.AmpOnState)
                ampOn.push_back(int64_t(uint32_t(p.atMs - t0)));
        }
        EXPECT_EQ(bytes, (std::vector<int>{3, 1, 0, 3, 0, 3, 1, 0, 3, 0, 3, 1, 0, 3, 0, 3, 0}));
        EXPECT_EQ(ampOn, (std::vector<int64_t>{30000, 60350, 90700}));
        EXPECT_EQ(w.frameLoopFrames(), 3);
        EXPECT_TRUE(QDir(w.dir.path()).entryList(QDir::Files).isEmpty());
        EXPECT_TRUE(w.opener.writes.isEmpty()); // no guide moves, not even a stop
        EXPECT_EQ(caption, "Stop");
        EXPECT_TRUE(boxDrawn);
        EXPECT_TRUE(toldAtClick.startsWith("Guide star marked at ")) << toldAtClick.toStdString();
        const QRegularExpressionMatch m = QRegularExpression("^FWHM (\\d+\\.\\d) px, peak (\\d+)$").match(profile);
        ASSERT_TRUE(m.hasMatch()) << profile.toStdString();
        EXPECT_NEAR(m.captured(1).toDouble(), 2.7, 0.3); // seeing 2.6 px and a little jitter
        EXPECT_GT(m.captured(2).toInt(), 60);
        const QImage &frame = w.picture.picture();
        EXPECT_EQ(frame.copy(0, 240, 640, 1) == frame.copy(0, 241, 640, 1), c.doubled);
        EXPECT_FALSE(w.child<QAction>("Loop")->isChecked());
        EXPECT_EQ(w.child<QPushButton>("Command1")->text(), "Start");
        EXPECT_EQ(w.window->isVisible(), by != StopBy::Close);
        EXPECT_TRUE(w.messages.isEmpty()) << w.messages.join("; ").toStdString();
    }
}

TEST(WindowOnTheSky, LoopRefusesAFrameWithoutLength)
{
    SkyWindow w;
    w.child<QLineEdit>("Text1")->setText("0");
    w.child<QAction>("Loop")->trigger();
    ASSERT_EQ(w.messages.size(), 1);
    EXPECT_TRUE(w.messages[0].startsWith("\"Exposure sec\" holds 0;")) << w.messages[0].toStdString();
    EXPECT_TRUE(w.port.writes().empty());
    EXPECT_FALSE(w.child<QAction>("Loop")->isChecked());
}

// After a run, and when the File Name or the save folder changes, the Index box
// shows the number the next Start goes on from: the highest of that File Name
// in the folder, so a second run neither meets a taken name nor fills a gap.
TEST(WindowOnTheSky, TheIndexBoxFollowsTheSeriesInTheSaveFolder)
{
    SkyWindow w;
    QDir folder(w.dir.path());
    ASSERT_TRUE(folder.mkdir("night2"));
    for (const char *name : {"Flat040.fits", "Flat007.bmp", "night2/Flat012.bmp", "night2/Flat090.txt"})
        ASSERT_TRUE(test::writeAll(folder.filePath(name), "x"));
    auto *index = w.child<QLineEdit>("Text3");
    w.child<QLineEdit>("Text1")->setText("1");
    w.child<QLineEdit>("Text5")->setText("2");
    w.child<QCheckBox>("Check1")->setChecked(true);
    const auto runTwoFrames = [&] { w.child<QPushButton>("Command1")->click(); };

    runTwoFrames();
    EXPECT_EQ(index->text(), "2");
    runTwoFrames();
    EXPECT_EQ(index->text(), "4");
    EXPECT_EQ(folder.entryList({"Image*"}), (QStringList{"Image001.bmp", "Image002.bmp", "Image003.bmp", "Image004.bmp"}));
    EXPECT_TRUE(w.window->notices().isEmpty()) << w.window->notices().join("\n").toStdString();

    auto *stem = w.child<QLineEdit>("Text2");
    stem->setText("Flat");
    QTest::keyClick(stem, Qt::Key_Return);
    EXPECT_EQ(index->text(), "40"); // the FITS frames count as well
    stem->setText("Image");
    QTest::keyClick(stem, Qt::Key_Return);
    EXPECT_EQ(index->text(), "40"); // never lowered: a number past the series stays as typed

    stem->setText("Flat");
    index->setText("0");
    w.child<QPushButton>("Command2")->click();
    auto *folderWindow = w.window->findChild<DirectoryDialog *>();
    ASSERT_NE(folderWindow, nullptr);
    folderWindow->pathEdit->setText(folder.filePath("night2"));
    folderWindow->Command1Click();
    EXPECT_EQ(w.state.SaveDir, folder.filePath("night2"));
    EXPECT_EQ(index->text(), "12");
    EXPECT_TRUE(w.messages.isEmpty()) << w.messages.join("; ").toStdString();
}
