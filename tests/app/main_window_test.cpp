#include "main_window.h"

#include "deinterlace_window.h"
#include "device_dialog.h"
#include "directory_dialog.h"
#include "options_dialog.h"
#include "file_chooser.h"
#include "help_window.h"
#include "messages_window.h"
#include "nested_loop_watch.h"
#include "save_format_dialog.h"
#include "sequence_fixture.h"
#include "test_support.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QCheckBox>
#include <QClipboard>
#include <QListWidget>
#include <QMouseEvent>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QRadioButton>
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
    // Start-up from an orvane.cfg of printer port 1 on a dark camera, frames saved in `dir`.
    bool loadOnDarkCamera()
    {
        if (!test::writeAll(dir.filePath("orvane.cfg"), settingsFile(1, 2)))
            return false;
        useCamera(std::make_unique<test::DarkCamera>());
        if (!window->load())
            return false;
        state.SaveDir = dir.path();
        return true;
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
    QComboBox *list = rig.window->deviceDialog()->cbDriver;
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
    QComboBox *list = rig.window->deviceDialog()->cbDriver;
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->itemText(2), "C");
    EXPECT_EQ(list->currentIndex(), 1);
    EXPECT_TRUE(rig.messages.isEmpty());
    EXPECT_FALSE(rig.window->deviceDialog()->isVisible()); // created hidden
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
        menus << a->text().remove(u'&'); // a mnemonic's "&" is not shown
    EXPECT_EQ(menus, (QStringList{"File", "Camera", "Options", "Deinterlace", "About", "Imaging", "Guide", "Help"}));

    w.resize(1200, 900); // resizing moves nothing
    EXPECT_EQ(geometryOf("Picture1"), QRect(128, 8, 641, 481));
}

TEST(MainWindow, SaveFormatIsChosenModelessAndStoredInTheIniKeepingTheUsersLines)
{
    WindowRig rig;
    const QString ini = rig.dir.filePath("orvane.ini");
    ASSERT_TRUE(test::writeAll(ini, "; my notes\n[sky]\ndriftXPxPerMin=2\n"));
    const auto choose = [&](const char *format, const char *planes) {
        rig.window->findChild<QAction *>("saveFormat")->trigger();
        auto *dialog = rig.window->findChild<SaveFormatDialog *>("SaveFormat");
        EXPECT_TRUE(dialog && dialog->isVisible() && !dialog->isModal());
        QStringList told;
        dialog->showMessage = [&](const QString &text) { told << text; };
        dialog->findChild<QRadioButton *>(format)->setChecked(true);
        dialog->findChild<QRadioButton *>(planes)->setChecked(true);
        dialog->accept();
        return told;
    };
    EXPECT_TRUE(choose("format_both", "planes_mono").isEmpty());
    EXPECT_EQ(rig.state.SaveFormat.format, SaveFormat::Both);
    EXPECT_EQ(rig.state.SaveFormat.planes, SavePlanes::Mono);
    EXPECT_EQ(test::readAll(ini), "; my notes\n[sky]\ndriftXPxPerMin=2\n\n[save]\nformat=both\nplanes=mono\n");

    // An ini that cannot be written: the choice holds for this session and the user hears why.
    ASSERT_TRUE(QFile::remove(ini));
    ASSERT_TRUE(QDir().mkpath(ini));
    const QStringList told = choose("format_fits", "planes_colour");
    EXPECT_EQ(rig.state.SaveFormat.format, SaveFormat::Fits);
    ASSERT_EQ(told.size(), 1);
    EXPECT_TRUE(told[0].startsWith("The save format was not stored in " + ini)) << told[0].toStdString();
}

TEST(MainWindow, AClickMarksTheStarBesideItAndASecondClickMarksEmptySkyAnyWay)
{
    struct Case {
        const char *what;
        bool star; // a star centred by the guide search on (100, 50)
        double clickX, clickY;
        int markX, markY, marked;
        const char *toldStart;
    };
    const Case cases[] = {
        {"beside a star", true, 102.5, 51.5, 100, 50, 1, ""}, // told only during a run
        {"on empty sky", false, 10.5, 11.5, 7, 8, 0, "No star here: the brightest spot in the guide box stands "},
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
        const QString told = rig.window->statusBar()->currentMessage();
        if (c.star) {
            EXPECT_TRUE(told.isEmpty()) << told.toStdString();
            continue;
        }
        EXPECT_TRUE(told.startsWith(c.toldStart)) << told.toStdString();
        // The sentence says what helps, and the status line's tooltip holds it whole.
        EXPECT_TRUE(told.contains("[guide] minStarSnr asks for 6")) << told.toStdString();
        EXPECT_TRUE(told.contains("\"Guide sec\"")) << told.toStdString();
        EXPECT_EQ(rig.window->statusBar()->toolTip(), told);
        // A click far from the refused one is refused again; one near it marks that point.
        rig.window->sequence().onPictureMouseDown(40, 40);
        EXPECT_EQ(rig.state.StarMarked, 0);
        rig.window->sequence().onPictureMouseDown(42, 38);
        EXPECT_EQ(rig.state.StarMarked, 1);
        EXPECT_EQ(rig.state.StarX, 42);
        EXPECT_EQ(rig.state.StarY, 38);
    }
}

TEST(MainWindow, AboutShowsTheVersionAndTheHelpHintAndItsHelpButtonOpensThePage)
{
    WindowRig rig;
    for (QAction *a : rig.window->menuBar()->actions())
        if (a->objectName() == "About")
            a->trigger();
    auto *box = rig.window->findChild<QMessageBox *>("aboutBox");
    ASSERT_NE(box, nullptr); // open already: the trigger returned without waiting for it
    EXPECT_EQ(box->text(), "Orvane V4.0 21-12-02\r\nCheck orvane.htm in the orvane directory for help");
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    ASSERT_NE(box->button(QMessageBox::Ok), nullptr);
    ASSERT_NE(box->button(QMessageBox::Help), nullptr);
    box->button(QMessageBox::Help)->click();
    EXPECT_TRUE(rig.window->helpWindow()->isVisible());
    EXPECT_FALSE(box->isVisible());
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
    rig.pump.at(rig.clock.now() + 1000, [&] {
        rig.window->close();
        for (QMessageBox *box : test::openDialogs<QMessageBox>(rig.window.get()))
            box->button(QMessageBox::Ok)->click(); // stop the run and close
    });
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
        if (rig.camera.deviceCount() > 0) {
            ASSERT_TRUE(rig.camera.setCurrentDevice(0).ok());
        }
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

    rig.window->deviceDialog()->cbDriver->setCurrentIndex(1);
    rig.window->deviceDialog()->Command1Click();
    EXPECT_EQ(rig.simulatedShown(), "Simulated: camera");

    rig.window->optionsDialog()->box(1)->setText("0");
    rig.window->optionsDialog()->Command1Click();
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
            rig.window->optionsDialog()->box(7)->setText("2");
            rig.window->optionsDialog()->Command1Click();
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

// Alt+letter opens each menu, no two on one letter; Ctrl+O, Ctrl+S and F1 reach Load, Save and help.
TEST(MainWindow, MenusHaveTheirMnemonicsAndFileHasItsShortcuts)
{
    WindowRig rig;
    const std::pair<const char *, QKeySequence> keys[] = {
        {"File", QKeySequence(Qt::ALT | Qt::Key_F)},     {"Camera", QKeySequence(Qt::ALT | Qt::Key_C)},
        {"Options", QKeySequence(Qt::ALT | Qt::Key_O)},  {"Deinterlace", QKeySequence(Qt::ALT | Qt::Key_D)},
        {"About", QKeySequence(Qt::ALT | Qt::Key_A)},  {"Guide", QKeySequence(Qt::ALT | Qt::Key_G)}};
    QList<QKeySequence> seen;
    for (QAction *a : rig.window->menuBar()->actions()) {
        const QKeySequence mnemonic = QKeySequence::mnemonic(a->text());
        EXPECT_FALSE(mnemonic.isEmpty()) << a->text().toStdString();
        EXPECT_FALSE(seen.contains(mnemonic)) << a->text().toStdString();
        seen << mnemonic;
        for (const auto &[title, key] : keys)
            if (a->text().remove(u'&') == QLatin1String(title)) {
                EXPECT_EQ(mnemonic, key) << title;
            }
    }
    EXPECT_EQ(rig.window->findChild<QAction *>("Save")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(rig.window->findChild<QAction *>("Load")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(rig.window->findChild<QAction *>("helpPage")->shortcut(), QKeySequence(Qt::Key_F1));
}

namespace {

// The controls of a window a user reaches or reads: what takes focus, every text
// box and progress bar; not the inner parts of combo boxes and lists, nor
// what belongs to another window.
QList<QWidget *> controlsOf(QWidget *window)
{
    QList<QWidget *> controls;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        bool inner = w->isWindow();
        for (QWidget *up = w->parentWidget(); up && up != window; up = up->parentWidget())
            inner = inner || up->isWindow() || qobject_cast<QComboBox *>(up) || qobject_cast<QAbstractScrollArea *>(up);
        if (inner)
            continue;
        if (w->focusPolicy() != Qt::NoFocus || qobject_cast<QLineEdit *>(w) || qobject_cast<QProgressBar *>(w))
            controls << w;
    }
    return controls;
}

} // namespace

TEST(MainWindow, EveryControlOfEveryWindowHasAnAccessibleName)
{
    WindowRig rig;
    MainWindow &w = *rig.window;
    const std::pair<const char *, QWidget *> windows[] = {
        {"main window", &w}, {"Options", w.optionsDialog()}, {"save folder", w.directoryDialog()}, {"deinterlace", w.deinterlaceWindow()}};
    for (const auto &[title, window] : windows) {
        const QList<QWidget *> controls = controlsOf(window);
        EXPECT_GE(controls.size(), 3) << title;
        for (QWidget *control : controls) {
            QAccessibleInterface *face = QAccessible::queryAccessibleInterface(control);
            ASSERT_NE(face, nullptr) << title;
            const QString name = face->text(QAccessible::Name).trimmed();
            // Not empty, and not the control's own name ("Check3" says nothing).
            EXPECT_TRUE(!name.isEmpty() && name != control->objectName())
                << title << ": " << control->objectName().toStdString() << " ("
                << control->metaObject()->className() << ")";
        }
    }
    EXPECT_EQ(w.findChild<QCheckBox *>("Check2")->accessibleName(), "Guide");
}

TEST(MainWindow, TabSkipsTheReadOnlyDisplaysWhichTakeNoTyping)
{
    WindowRig rig;
    MainWindow &w = *rig.window;
    w.show();
    // The Tab stops, in the order Tab visits them from the exposure box.
    QStringList stops;
    QWidget *first = w.findChild<QLineEdit *>("Text1");
    for (QWidget *at = first; stops.size() < 100; at = at->nextInFocusChain()) {
        if ((at->focusPolicy() & Qt::TabFocus) && at->isEnabled() && at->isVisible() && !at->isWindow())
            stops << at->objectName();
        if (at->nextInFocusChain() == first)
            break;
    }
    for (const char *name : {"Text1", "Text5", "Command1", "Text4", "Check2", "Check3", "Command2", "Text2",
                             "Text3", "Check1"})
        EXPECT_TRUE(stops.contains(QLatin1String(name))) << name;
    for (const char *display : {"Text6", "Text7", "Text8"}) {
        EXPECT_FALSE(stops.contains(QLatin1String(display))) << display;
        auto *box = w.findChild<QLineEdit *>(display);
        box->setText("shown");
        QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QCoreApplication::sendEvent(box, &key);
        EXPECT_EQ(box->text(), "shown") << display;
    }
}

TEST(MainWindow, ARestartShowsTheEntriesAndSaveFolderOfLastTime)
{
    WindowRig first;
    const QString folder = first.dir.filePath("night 1");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(test::writeAll(first.dir.filePath("orvane.cfg"), settingsFile(1, 2)));
    ASSERT_TRUE(test::writeAll(first.dir.filePath("orvane.ini"), "; mine\n[sky]\ndriftXPxPerMin=6\n"));
    ASSERT_TRUE(first.window->load());
    MainWindow &w = *first.window;
    const std::vector<std::pair<const char *, QString>> typed = {
        {"Text1", "30"}, {"Text5", "12"}, {"Text4", "2.5"}, {"Text2", "M31; \"core\""}, {"Text3", "41"}};
    for (const auto &[box, text] : typed)
        w.findChild<QLineEdit *>(box)->setText(text);
    for (const char *tick : {"Check1", "Check2", "Check3"})
        w.findChild<QCheckBox *>(tick)->setChecked(true);
    w.findChild<QPushButton *>("Command2")->click(); // the folder window
    ASSERT_TRUE(w.directoryDialog()->Dir1->setPath(folder).ok());
    w.directoryDialog()->Command1Click();
    auto *label = w.findChild<QLabel *>("saveFolder");
    EXPECT_EQ(label->text(), "Saving to " + folder); // follows the folder window
    EXPECT_EQ(label->toolTip(), folder);
    w.close();
    EXPECT_TRUE(test::readAll(first.dir.filePath("orvane.ini")).startsWith("; mine\n[sky]\ndriftXPxPerMin=6\n"));

    for (bool folderStays : {true, false}) {
        WindowRig next;
        for (const char *file : {"orvane.cfg", "orvane.ini"})
            ASSERT_TRUE(test::writeAll(next.dir.filePath(file), test::readAll(first.dir.filePath(file))));
        if (!folderStays) {
            ASSERT_TRUE(QDir(folder).removeRecursively());
        }
        ASSERT_TRUE(next.window->load());
        for (const auto &[box, text] : typed)
            EXPECT_EQ(next.window->findChild<QLineEdit *>(box)->text(), text) << box;
        for (const char *tick : {"Check1", "Check2", "Check3"})
            EXPECT_TRUE(next.window->findChild<QCheckBox *>(tick)->isChecked()) << tick;
        EXPECT_EQ(next.state.SaveDir, folderStays ? folder : QDir::currentPath());
        EXPECT_EQ(next.window->findChild<QLabel *>("saveFolder")->toolTip(), next.state.SaveDir);
        EXPECT_EQ(next.window->notices().filter(folder).size(), folderStays ? 0 : 1);
    }
}

TEST(MainWindow, AWindowThatCouldNotStartLeavesTheKeptEntriesAlone)
{
    WindowRig rig;
    const QByteArray kept = "[window]\nexposureS=30\n";
    ASSERT_TRUE(test::writeAll(rig.dir.filePath("orvane.ini"), kept));
    EXPECT_FALSE(rig.window->load()); // no orvane.cfg
    rig.window->close();
    EXPECT_EQ(test::readAll(rig.dir.filePath("orvane.ini")), kept);
}

TEST(MainWindow, TheStatusBarFollowsTheRunAndForgetsTheLastRunsNotices)
{
    WindowRig rig;
    ASSERT_TRUE(rig.loadOnDarkCamera());
    MainWindow &w = *rig.window;
    w.findChild<QLineEdit *>("Text1")->setText("3");
    w.findChild<QLineEdit *>("Text5")->setText("2");
    w.findChild<QCheckBox *>("Check1")->setChecked(true);
    w.notify("A notice of the last run.");

    // What the bar shows at ms after Start: the run's own line, the status box, the notice line.
    struct Seen {
        uint32_t atMs;
        QString progress, status, notice;
        bool operator==(const Seen &) const = default;
    };
    std::vector<Seen> seen;
    const uint32_t start = rig.clock.now();
    for (uint32_t atMs : {500u, 1500u, 2500u, 3050u, 3500u})
        rig.pump.at(start + atMs, [&, atMs] {
            seen.push_back({atMs, w.findChild<QLabel *>("runProgress")->text(), w.status(),
                            w.statusBar()->currentMessage()});
        });
    w.findChild<QPushButton *>("Command1")->click();
    EXPECT_EQ(seen, (std::vector<Seen>{{500, "frame 1 of 2, 3 s left", "Image 1", ""},
                                       {1500, "frame 1 of 2, 2 s left", "Image 1", ""},
                                       {2500, "frame 1 of 2, 1 s left", "Image 1", ""},
                                       {3050, "reading out frame 1 of 2", "Image 1", ""},
                                       {3500, "frame 2 of 2, 3 s left", "Image 2", ""}}));
    EXPECT_TRUE(w.findChild<QLabel *>("runProgress")->isHidden());
    EXPECT_EQ(w.findChild<QLabel *>("saveFolder")->text(), "Saved Image002.bmp in " + rig.dir.path());
}

TEST(MainWindow, AMountNotFoundIsToldWithTheDeviceTheSpeedAndTheLikelyCause)
{
    struct Case {
        QString openError, message, notice;
    };
    const QString denied = "Permission denied opening /dev/ttyS0 — is your user in the dialout group?";
    for (const Case &c : {Case{"", "Can't find Telescope!",
                               "No mount found on comm port 1 (test port 1, 9600 baud): no answer within 200 ms. "
                               "Is the mount switched on, its cable plugged in, and is it set to 9600 baud?"},
                          Case{denied, denied, "No mount found on comm port 1 (test port 1, 9600 baud): " + denied}}) {
        WindowRig rig;
        ASSERT_TRUE(test::writeAll(rig.dir.filePath("orvane.cfg"), settingsFile(1, 2, 1)));
        ASSERT_TRUE(rig.window->load());
        rig.messages.clear();
        rig.opener.openError = c.openError;
        rig.window->findChild<QCheckBox *>("Check2")->setChecked(true);
        ::testing::internal::CaptureStderr();
        rig.window->findChild<QPushButton *>("Command1")->click();
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(rig.messages, QStringList{c.message});
        EXPECT_EQ(rig.window->statusBar()->currentMessage(), c.notice);
        EXPECT_NE(err.find(c.notice.toStdString()), std::string::npos) << err;
    }
}

TEST(MainWindow, TheNightsMessagesAreKeptWholeWithTheirTimeToReadAndCopy)
{
    WindowRig rig;
    MainWindow &w = *rig.window;
    const QString longSentence = QStringLiteral("A sentence far wider than the window: ") + QString(300, u'x');
    w.notify("First notice.");
    rig.clock.advance(61000);
    w.notify(longSentence);
    EXPECT_EQ(w.statusBar()->toolTip(), longSentence); // whole, where the line clips it

    // A click on the status line opens the list; Help > Messages... brings it up again.
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(w.statusBar(), &release);
    auto *window = w.findChild<QWidget *>("messagesWindow");
    ASSERT_TRUE(window && window->isVisible());
    window->close();
    w.findChild<QAction *>("showMessages")->trigger();
    EXPECT_TRUE(window->isVisible());

    auto *list = window->findChild<QListWidget *>("messages");
    w.notify("Told while the list is open.");
    ASSERT_EQ(list->count(), 3);
    const QString first = NightMessages::lineOf(w.messages().entries().front());
    EXPECT_EQ(list->item(0)->text(), first);
    EXPECT_TRUE(first.endsWith("  First notice.")) << first.toStdString();
    EXPECT_EQ(list->item(1)->text().mid(8), "  " + longSentence);
    EXPECT_NE(list->item(1)->text().left(8), first.left(8)); // a minute later

    window->findChild<QPushButton *>("copyMessages")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), w.messages().allLines());
    list->item(2)->setSelected(true);
    list->item(0)->setSelected(true);
    window->findChild<QPushButton *>("copyMessages")->click();
    EXPECT_EQ(QApplication::clipboard()->text(), first + "\n" + list->item(2)->text() + "\n");
}

TEST(MainWindow, AStoppedGuidedRunLeavesNoCorrectionForTheNextRunAndAnUnsavedNameMayHoldASlash)
{
    WindowRig rig;
    ASSERT_TRUE(rig.loadOnDarkCamera());
    MainWindow &w = *rig.window;
    // What a guided run stopped mid-correction left behind.
    rig.guiding.MoveDirX = 1;
    rig.guiding.Planned.x = {1, "w", 900, 2.5};
    w.findChild<QLineEdit *>("Text1")->setText("1");
    w.findChild<QLineEdit *>("Text5")->setText("1");
    w.findChild<QLineEdit *>("Text2")->setText("m31/test");
    w.findChild<QCheckBox *>("Check1")->setChecked(false);
    w.findChild<QPushButton *>("Command1")->click();
    EXPECT_TRUE(rig.messages.isEmpty()) << rig.messages.join("; ").toStdString();
    for (const QString &notice : w.notices())
        EXPECT_FALSE(notice.contains("was not sent")) << notice.toStdString();
    EXPECT_EQ(rig.guiding.MoveDirX, 0);
    EXPECT_EQ(rig.guiding.Planned.x.dir, 0);

    // Saving under that name is refused before anything starts.
    w.findChild<QCheckBox *>("Check1")->setChecked(true);
    w.findChild<QPushButton *>("Command1")->click();
    ASSERT_EQ(rig.messages.size(), 1);
    EXPECT_TRUE(rig.messages[0].contains("may not hold \"/\"")) << rig.messages[0].toStdString();
}
