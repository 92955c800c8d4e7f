#include "main_window.h"

#include "device_dialog.h"
#include "directory_dialog.h"
#include "options_dialog.h"
#include "file_chooser.h"
#include "help_window.h"
#include "sequence_fixture.h"
#include "test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextBrowser>

#include <gtest/gtest.h>

using namespace orvane;
using test::NamedSource;
using test::NoFiles;

namespace {

// A real printer port that opens while `works` is true.
class SwitchedPort : public PortDriver {
public:
    explicit SwitchedPort(bool &works) : works_(works) {}
    Result open(uint16_t) override
    {
        return works_ ? Result::success() : Result::failure(QStringLiteral("No printer port on this computer."));
    }
    Result writeData(uint8_t) override
    {
        return works_ ? Result::success() : Result::failure(QStringLiteral("The printer port went away."));
    }
    void close() override {}

private:
    bool &works_;
};

QByteArray settingsFile(int printerPort, int getGuide, int commPort = 0)
{
    QByteArray out;
    const QList<QByteArray> values = {"3", "0", QByteArray::number(getGuide), "250", QByteArray::number(printerPort),
                                      QByteArray::number(commPort), "n", "s", "e", "w", "5", "40", "0", "1", "100"};
    out += "Orvane Config file\r\n \r\nDate\r\n01-01-2026\r\n \r\n";
    for (int i = 0; i < values.size(); ++i) {
        out += "label\r\n" + values[i] + "\r\n";
        if (i + 1 < values.size())
            out += " \r\n";
    }
    return out;
}

struct WindowRig : test::TestRig {
    explicit WindowRig(PortDriverFactory realPort = {}) : test::TestRig({.startMs = 5000, .realPort = std::move(realPort)})
    {
        window = test::windowOn(*this, files, dir.path());
        window->showMessageBox = [this](const QString &text, QMessageBox::Icon icon) {
            messages.append(text);
            messageWhileVisible.append(window->isVisible());
            icons.append(icon);
        };
    }
    QTemporaryDir dir;
    NoFiles files;
    std::unique_ptr<MainWindow> window;
    QStringList messages;
    QList<bool> messageWhileVisible;
    QList<QMessageBox::Icon> icons;

    QLabel *simulatedParts() const { return window->findChild<QLabel *>("simulatedParts"); }
    // The label's text, or "hidden".
    QString simulatedShown() const
    {
        return simulatedParts()->isHidden() ? QStringLiteral("hidden") : simulatedParts()->text();
    }
};

} // namespace

TEST(MainWindow, FirstPortWriteIsTheGuideByteAtTheConfiguredAddress)
{
    for (auto [printerPort, address] : {std::pair{1, 888}, {2, 632}}) {
        WindowRig rig;
        ASSERT_TRUE(test::writeAll(rig.dir.filePath("orvane.cfg"), settingsFile(printerPort, 7)));
        rig.camera.addSource(std::make_unique<NamedSource>("Cam"));
        ASSERT_TRUE(rig.window->load());
        ASSERT_EQ(rig.port.writes().size(), 1u);
        EXPECT_EQ(rig.port.writes().front().value, 7);
        EXPECT_EQ(rig.port.writes().front().address, address);
        EXPECT_TRUE(rig.port.initialized());
        EXPECT_TRUE(rig.window->isVisible());
        EXPECT_FALSE(rig.comm.PortOpen()); // the serial port stays closed at start-up
    }
}

TEST(MainWindow, NoCaptureDeviceListsNoneAndSaysSoOnceTheWindowShows)
{
    WindowRig rig;
    ASSERT_TRUE(test::writeAll(rig.dir.filePath("orvane.cfg"), settingsFile(1, 2)));
    ASSERT_TRUE(rig.window->load());
    QComboBox *list = rig.window->form1()->cbDriver;
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->itemText(0), "<none>");
    EXPECT_EQ(list->currentIndex(), 0);
    EXPECT_EQ(rig.messages, QStringList{"No Video Capture Device!"});
    EXPECT_EQ(rig.messageWhileVisible, QList<bool>{true});
    EXPECT_EQ(rig.icons, QList<QMessageBox::Icon>{QMessageBox::Information});
}

TEST(MainWindow, DevicesAreListedInOrderWithTheCurrentOneSelected)
{
    WindowRig rig;
    ASSERT_TRUE(test::writeAll(rig.dir.filePath("orvane.cfg"), settingsFile(1, 2)));
    for (const char *name : {"A", "B", "C"})
        rig.camera.addSource(std::make_unique<NamedSource>(name));
    ASSERT_TRUE(rig.camera.setCurrentDevice(1).ok());
    ASSERT_TRUE(rig.window->load());
    QComboBox *list = rig.window->form1()->cbDriver;
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(2), "C");
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_TRUE(rig.messages.isEmpty());
    EXPECT_FALSE(rig.window->form1()->isVisible()); // created hidden
    EXPECT_EQ(rig.state.SaveDir, QDir::currentPath());
}

TEST(MainWindow, BadSettingsFileStopsStartUpBeforeTheWindowShows)
{
    WindowRig rig;
    QByteArray bad = settingsFile(1, 2);
    bad.replace("\r\n3\r\n", "\r\n300\r\n"); // line 7: a byte cannot hold 300
    ASSERT_TRUE(test::writeAll(rig.dir.filePath("orvane.cfg"), bad));
    EXPECT_FALSE(rig.window->load());
    ASSERT_EQ(rig.messages.size(), 1);
    EXPECT_TRUE(rig.messages[0].contains("line 7: 300 does not fit a byte (0..255)")) << rig.messages[0].toStdString();
    EXPECT_FALSE(rig.messageWhileVisible[0]);
    EXPECT_TRUE(rig.port.writes().empty());

    WindowRig missing;
    EXPECT_FALSE(missing.window->load());
    ASSERT_EQ(missing.messages.size(), 1);
    EXPECT_TRUE(missing.messages[0].contains(missing.dir.filePath("orvane.cfg")));
}

TEST(MainWindow, ControlsStandWhereTheUserExpectsThem)
{
    WindowRig rig;
    MainWindow &w = *rig.window;
    auto geometryOf = [&](const char *name) { return w.findChild<QWidget *>(name)->geometry(); };
    EXPECT_EQ(w.windowTitle(), "Orvane 4.0");
    EXPECT_EQ(geometryOf("Picture1"), QRect(128, 8, 641, 481));
    EXPECT_EQ(geometryOf("Command1"), QRect(8, 232, 97, 33));
    EXPECT_EQ(geometryOf("Text3"), QRect(632, 496, 49, 33));
    EXPECT_EQ(geometryOf("Check1"), QRect(744, 504, 17, 17));
    EXPECT_EQ(w.findChild<QLabel *>("Label7")->text(), "Number of expsures");
    EXPECT_EQ(w.findChild<QLineEdit *>("Text6")->text(), "Ready");
    EXPECT_EQ(w.findChild<QLineEdit *>("Text2")->text(), "Image");
    EXPECT_FALSE(w.findChild<QCheckBox *>("Check2")->isChecked());
    QStringList menus;
    for (QAction *a : w.menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"File", "Camera", "Options", "Deinterlace", "About", "Imaging", "Help"}));

    w.resize(1200, 900); // resizing moves nothing
    EXPECT_EQ(geometryOf("Picture1"), QRect(128, 8, 641, 481));
}

TEST(MainWindow, AClickMarksTheStarBesideItAndNothingOnEmptySky)
{
    struct Case {
        const char *what;
        bool star; // a star centred by the guide search on (100, 50)
        double clickX, clickY;
        int markX, markY, marked;
        const char *told;
    };
    const Case cases[] = {
        {"beside a star", true, 102.5, 51.5, 100, 50, 1, ""}, // told only during a run
        {"on empty sky", false, 10.5, 11.5, 7, 8, 0, "No star here"},
    };
    for (const Case &c : cases) {
        WindowRig rig;
        rig.picture.setPicture(c.star ? test::DarkCamera::withStar(102, 51) : test::DarkCamera::blank());
        rig.state.StarX = 7;
        rig.state.StarY = 8;
        rig.window->sequence().onPictureMouseDown(c.clickX, c.clickY);
        EXPECT_EQ(rig.state.StarX, c.markX) << c.what;
        EXPECT_EQ(rig.state.StarY, c.markY) << c.what;
        EXPECT_EQ(rig.state.StarMarked, c.marked) << c.what;
        EXPECT_EQ(rig.window->statusBar()->currentMessage(), c.told) << c.what;
    }
}

TEST(MainWindow, AboutShowsTheVersionAndTheHelpHint)
{
    WindowRig rig;
    for (QAction *a : rig.window->menuBar()->actions())
        if (a->objectName() == "About")
            a->trigger();
    EXPECT_EQ(rig.messages, QStringList{"Orvane V4.0 21-12-02\r\nCheck orvane.htm in the orvane directory for help"});
}

TEST(MainWindow, F1OpensTheHelpPageModelessNamingTheSettingsInUse)
{
    WindowRig rig;
    QAction *help = rig.window->findChild<QAction *>("helpPage");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->shortcut(), QKeySequence(Qt::Key_F1));
    help->trigger();
    HelpWindow *window = rig.window->helpWindow();
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    const QString text = window->page()->toPlainText();
    for (const char *part : {"Connecting the camera lines", "Connecting the mount", "Connecting the webcam",
                             "Pixels/Sec", "direction letters", "sudo usermod -aG dialout $USER"})
        EXPECT_TRUE(text.contains(QLatin1String(part))) << part;
    EXPECT_TRUE(text.contains(rig.dir.filePath("orvane.cfg")));
    EXPECT_TRUE(rig.messages.isEmpty());
}

TEST(MainWindow, CantFindTelescopeIsAPlainReportWithoutAWarningIcon)
{
    WindowRig rig;
    ASSERT_TRUE(test::writeAll(rig.dir.filePath("orvane.cfg"), settingsFile(1, 2)));
    ASSERT_TRUE(rig.window->load());
    rig.messages.clear();
    rig.icons.clear();
    rig.window->findChild<QCheckBox *>("Check2")->setChecked(true); // the mount stays silent
    rig.window->findChild<QPushButton *>("Command1")->click();
    EXPECT_EQ(rig.messages, QStringList{"Can't find Telescope!"});
    EXPECT_EQ(rig.icons, QList<QMessageBox::Icon>{QMessageBox::NoIcon});
}

TEST(MainWindow, ClosingDuringASequenceRunsItsEndStepsFirst)
{
    WindowRig rig;
    ASSERT_TRUE(test::writeAll(rig.dir.filePath("orvane.cfg"), settingsFile(1, 2)));
    ASSERT_TRUE(rig.window->load());
    rig.port.clearRecord();
    rig.window->findChild<QLineEdit *>("Text1")->setText("60");
    rig.pump.at(rig.clock.now() + 1000, [&] { rig.window->close(); });
    rig.window->findChild<QPushButton *>("Command1")->click();
    ASSERT_FALSE(rig.port.writes().empty());
    EXPECT_EQ(rig.port.writes().back().value, 0); // GetImageState: the camera at rest
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_FALSE(rig.port.initialized()); // the port driver was stopped
}

TEST(MainWindow, WithoutAWebcamTheSimulatedCameraStandsInAndTheStatusBarSaysWhatIsSimulated)
{
    struct Case {
        bool webcam, simCamera;
        QStringList messages;
        QString label;
    };
    const QStringList noDevice{"No Video Capture Device!"};
    for (const Case &c : {Case{false, false, noDevice, "Simulated: mount, printer port"},
                          Case{false, true, noDevice, "Simulated: camera, mount, printer port"},
                          Case{true, true, {}, "Simulated: mount, printer port"}}) {
        WindowRig rig;
        ASSERT_TRUE(test::writeAll(rig.dir.filePath("orvane.cfg"), settingsFile(1, 2)));
        if (c.webcam)
            rig.camera.addSource(std::make_unique<NamedSource>("Webcam"));
        if (c.simCamera)
            rig.camera.addSource(std::make_unique<NamedSource>("Simulated camera", true));
        if (rig.camera.deviceCount() > 0)
            ASSERT_TRUE(rig.camera.setCurrentDevice(0).ok());
        ASSERT_TRUE(rig.window->load());
        EXPECT_EQ(rig.messages, c.messages);
        EXPECT_FALSE(rig.messageWhileVisible.contains(false));
        EXPECT_EQ(rig.simulatedShown(), c.label);
    }
}

TEST(MainWindow, TheSimulatedPartsLabelFollowsDeviceOptionsAndPort)
{
    bool portWorks = true;
    WindowRig rig([&] { return std::make_unique<SwitchedPort>(portWorks); });
    ASSERT_TRUE(test::writeAll(rig.dir.filePath("orvane.cfg"), settingsFile(1, 2, 1)));
    rig.camera.addSource(std::make_unique<NamedSource>("Webcam"));
    rig.camera.addSource(std::make_unique<NamedSource>("Simulated camera", true));
    ASSERT_TRUE(rig.camera.setCurrentDevice(0).ok());
    ASSERT_TRUE(rig.window->load());
    EXPECT_EQ(rig.simulatedShown(), "hidden");

    rig.window->form1()->cbDriver->setCurrentIndex(1);
    rig.window->form1()->Command1Click();
    EXPECT_EQ(rig.simulatedShown(), "Simulated: camera");

    rig.window->form2()->box(1)->setText("0");
    rig.window->form2()->Command1Click();
    EXPECT_EQ(rig.simulatedShown(), "Simulated: camera, mount");

    portWorks = false;
    ::testing::internal::CaptureStderr();
    rig.window->rig().writePort(3);
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(rig.simulatedShown(), "Simulated: camera, mount, printer port");
}

TEST(MainWindow, ThePrinterPortIsTriedAgainAtOptionsDoneAndAtStart)
{
    for (bool byOptions : {true, false}) {
        bool portWorks = false;
        WindowRig rig([&] { return std::make_unique<SwitchedPort>(portWorks); });
        ASSERT_TRUE(test::writeAll(rig.dir.filePath("orvane.cfg"), settingsFile(1, 2, 1)));
        ::testing::internal::CaptureStderr();
        ASSERT_TRUE(rig.window->load());
        EXPECT_EQ(rig.simulatedShown(), "Simulated: printer port");
        if (!byOptions) { // a start while the port is missing as before says nothing again
            rig.window->findChild<QPushButton *>("Command1")->click();
            EXPECT_EQ(rig.window->notices().size(), 0);
        }
        ::testing::internal::GetCapturedStderr();

        portWorks = true;
        if (byOptions) {
            rig.window->form2()->box(7)->setText("2");
            rig.window->form2()->Command1Click();
        } else {
            rig.window->findChild<QPushButton *>("Command1")->click();
        }
        const QString address = byOptions ? "0x278" : "0x378";
        EXPECT_EQ(rig.window->notices().value(rig.window->notices().size() - 1),
                  "The printer port at " + address + " works now: the camera lines are real.");
        EXPECT_EQ(rig.simulatedShown(), "hidden");

        portWorks = false; // the port goes away under a write: told at once, not only on stderr
        rig.port.SetPortVal(uint16_t(rig.settings.PortAddress), 1, 1);
        EXPECT_EQ(rig.window->notices().value(rig.window->notices().size() - 1),
                  "The printer port went away. The camera lines are simulated from now on.");
        EXPECT_EQ(rig.simulatedShown(), "Simulated: printer port");
    }
}
