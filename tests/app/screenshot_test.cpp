// Pictures of the main window for the documentation, made when
// ORVANE_SCREENSHOT_DIR names a directory:
//   ORVANE_SCREENSHOT_DIR=docs build/bin/test_app --gtest_filter='*Screenshot*'
#include "main_window.h"

#include "file_chooser.h"
#include "sequence_fixture.h"
#include "test_support.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace orvane;

namespace {

class NoFiles : public FileChooser {
public:
    void chooseOpenFile(QWidget *, const QString &, const QString &, ChosenFile chosen) override { chosen({}); }
    void chooseOpenFiles(QWidget *, const QString &, ChosenFiles chosen) override { chosen({}); }
};

QByteArray defaultSettings()
{
    QByteArray out = "Orvane Config file\r\n \r\nDate\r\n12-08-2026\r\n \r\n";
    const QList<QByteArray> values = {" 3 ", " 0 ", " 2 ", " 250 ", " 1 ", " 0 ", "n", "s", "e", "w",
                                      " 5 ", " 40 ", " 0 ", " 1 ", " 100 "};
    for (int i = 0; i < values.size(); ++i)
        out += "label\r\n" + values[i] + "\r\n" + (i + 1 < values.size() ? " \r\n" : "");
    return out;
}

// The main window on the simulated rig, on a simulated clock.
struct SimulatedWindow : test::TestRig {
    SimulatedWindow()
        : test::TestRig({.startMs = 100000, .camera = test::RigCamera::SimulatedSky, .link = test::RigLink::SimulatedMount})
    {
        test::writeAll(dir.filePath("orvane.cfg"), defaultSettings());
        window = test::windowOn(*this, files, dir.path());
        window->showMessageBox = [](const QString &, QMessageBox::Icon) {};
    }
    QTemporaryDir dir;
    NoFiles files;
    std::unique_ptr<MainWindow> window;
};

QString screenshotDir()
{
    return qEnvironmentVariable("ORVANE_SCREENSHOT_DIR");
}

} // namespace

TEST(MainWindowScreenshot, Idle)
{
    if (screenshotDir().isEmpty())
        GTEST_SKIP() << "set ORVANE_SCREENSHOT_DIR to make the pictures";
    SimulatedWindow w;
    ASSERT_TRUE(w.window->load());
    w.picture.setPicture(*w.camera.copyFrame());
    ASSERT_TRUE(w.window->grab().save(QDir(screenshotDir()).filePath("main-window.png")));
}

TEST(MainWindowScreenshot, GuidedExposure)
{
    if (screenshotDir().isEmpty())
        GTEST_SKIP() << "set ORVANE_SCREENSHOT_DIR to make the pictures";
    SimulatedWindow w;
    ASSERT_TRUE(w.window->load());
    w.window->findChild<QCheckBox *>("Check2")->setChecked(true);
    w.window->findChild<QLineEdit *>("Text1")->setText("30");
    std::function<void()> markWhenAsked = [&] {
        if (w.window->status() != "Mark Star") {
            w.pump.at(w.clock.now() + 100, markWhenAsked);
            return;
        }
        const QPointF star = w.simCamera->starField().guideStar() + w.sky.offsetAt(w.clock.now());
        w.window->sequence().onPictureMouseDown(std::round(star.x()), std::round(star.y()));
        // Halfway through the exposure, after a few guide steps: the picture, then Stop.
        const uint32_t shotAt = w.clock.now() + 12500;
        w.pump.at(shotAt, [&] {
            EXPECT_TRUE(w.window->grab().save(QDir(screenshotDir()).filePath("main-window-guiding.png")));
        });
        w.pump.at(shotAt + 1, [&] { w.window->findChild<QPushButton *>("Command1")->click(); });
    };
    w.pump.at(w.clock.now() + 100, markWhenAsked);
    w.window->findChild<QPushButton *>("Command1")->click();
    EXPECT_TRUE(QFileInfo::exists(QDir(screenshotDir()).filePath("main-window-guiding.png")));
}
