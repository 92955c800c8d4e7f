#include "config_file.h"
#include "example_config.h"
#include "mount_probe.h"
#include "options_dialog.h"
#include "serial_devices.h"
#include "serial_link.h"
#include "test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

// Opens nothing unless told to; an opened link takes the writes and gives `answer` once.
class ScriptedOpener : public SerialOpener {
public:
    bool opens = false;
    QByteArray answer;
    QByteArray written;
    int openings = 0;
    QString device; // the device an opening by device named

    SerialOpening openDevice(int16_t commPort, const QString &named) override
    {
        device = named;
        return open(commPort);
    }
    SerialOpening open(int16_t) override
    {
        ++openings;
        if (!opens)
            return SerialOpening::failure(QStringLiteral("no serial devices in tests"));
        return std::unique_ptr<SerialConnection>(std::make_unique<Link>(*this));
    }
    QString describe(int16_t) const override { return QStringLiteral("test port"); }

private:
    struct Link : SerialConnection {
        explicit Link(ScriptedOpener &o) : o(o) {}
        Result write(const QByteArray &bytes) override
        {
            o.written += bytes;
            return Result::success();
        }
        QByteArray readAll() override { return std::exchange(o.answer, {}); }
        void close() override {}
        ScriptedOpener &o;
    };
};

// Deletes the windows that closed with WA_DeleteOnClose.
void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class OptionsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        configPath = dir.filePath(QStringLiteral("orvane.cfg"));
        iniPath = dir.filePath(QStringLiteral("orvane.ini"));
        settings = test::exampleSettings();
        settings.CommPort = 0; // the simulated mount
        comm.setCommPort(settings.CommPort);
        original = settings;
        open();
    }
    void TearDown() override { delete dialog.data(); }

    void open()
    {
        dialog = new OptionsDialog(settings, configPath, iniPath, comm, clock);
        dialog->showMessage = [this](const QString &text) { messages.append(text); };
        dialog->show();
    }
    QLineEdit *box(int n) { return dialog->box(n); }
    void setBox(int n, const QString &text) { box(n)->setText(text); }
    bool fileWritten() const { return QFile::exists(configPath); }

    QTemporaryDir dir;
    QString configPath;
    QString iniPath;
    Settings settings;
    Settings original;
    ScriptedOpener opener;
    MountLink comm{opener};
    SimClock clock{5000};
    QPointer<OptionsDialog> dialog;
    QStringList messages;
};

TEST_F(OptionsDialogTest, ShowsEveryControlByNameWithItsCaption)
{
    EXPECT_EQ(dialog->objectName(), "Form2");
    EXPECT_EQ(dialog->windowTitle(), "Options");
    const std::pair<const char *, const char *> labels[] = {
        {"Label1", "Camera"},         {"Label2", "Telescope"},      {"Label3", "Comm Port"},
        {"Label4", "Guide Box Size"}, {"Label5", "Ignore Drift <"}, {"Label6", "Amp on state"},
        {"Label7", "Amp delay"},      {"Label8", "Pixels/Sec"},     {"Label9", "Printer Port"},
        {"Label10", "Exposure State"}, {"Label11", "Get Image State"}, {"Label12", "Get Guide State"},
        {"Label13", "Image delay"}};
    for (const auto &[name, caption] : labels) {
        auto *l = dialog->findChild<QLabel *>(name);
        ASSERT_NE(l, nullptr) << name;
        EXPECT_EQ(l->text(), caption) << name;
    }
    for (int n = 1; n <= 15; ++n)
        EXPECT_EQ(dialog->findChild<QLineEdit *>(QStringLiteral("Text%1").arg(n)), box(n)) << n;
    const std::pair<const char *, const char *> buttons[] = {
        {"Command1", "DONE"}, {"Command2", "Rotate"}, {"Command3", "Mirror"}};
    for (const auto &[name, caption] : buttons) {
        auto *b = dialog->findChild<QPushButton *>(name);
        ASSERT_NE(b, nullptr) << name;
        EXPECT_EQ(b->text(), caption) << name;
    }
    // The settings file in use, named below every other control.
    auto *file = dialog->findChild<QLabel *>("configPathLabel");
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(file->text().endsWith(configPath)) << file->text().toStdString();
    EXPECT_GT(file->geometry().top(), dialog->findChild<QPushButton *>("Command1")->geometry().bottom());
}

TEST_F(OptionsDialogTest, DirectionBoxesFormACrossAndLabelsStandLeftOfTheirBoxes)
{
    const QRect top = box(2)->geometry(), bottom = box(3)->geometry();
    const QRect left = box(4)->geometry(), right = box(5)->geometry();
    EXPECT_LT(top.bottom(), left.top());
    EXPECT_LT(left.bottom(), bottom.top());
    EXPECT_LT(left.right(), top.left());
    EXPECT_GT(right.left(), top.right());
    EXPECT_EQ(top.center().x(), bottom.center().x());
    EXPECT_EQ(left.center().y(), right.center().y());
    // Camera column left of the telescope column; each label left of its box.
    EXPECT_LT(box(8)->geometry().right(), box(1)->geometry().left());
    auto *label10 = dialog->findChild<QLabel *>("Label10");
    EXPECT_LT(label10->geometry().right(), box(8)->geometry().left());
    EXPECT_NEAR(label10->geometry().center().y(), box(8)->geometry().center().y(), 4);
}

TEST_F(OptionsDialogTest, FillsNumbersWithALeadingBlankAndDirectionsAsHeld)
{
    EXPECT_EQ(box(8)->text(), " 3");
    EXPECT_EQ(box(9)->text(), " 0");
    EXPECT_EQ(box(11)->text(), " 250");
    EXPECT_EQ(box(13)->text(), "-1");
    EXPECT_EQ(box(1)->text(), " 0");
    EXPECT_EQ(box(2)->text(), "n");
    EXPECT_EQ(box(3)->text(), "s");
    EXPECT_EQ(box(4)->text(), "e");
    EXPECT_EQ(box(5)->text(), "w");
}

TEST_F(OptionsDialogTest, DoneWithUnchangedBoxesStoresTheSameRecordAndWritesTheFile)
{
    dialog->Command1Click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(settings, original);
    EXPECT_EQ(test::readAll(configPath), formatConfig(original, QDate::currentDate()));
}

struct Reading {
    const char *text;
    int stored;
};

class OptionsDialogReading : public OptionsDialogTest, public ::testing::WithParamInterface<Reading> {};

TEST_P(OptionsDialogReading, StoresTheLenientlyReadNumber)
{
    setBox(8, QString::fromLatin1(GetParam().text));
    dialog->Command1Click();
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(settings.ExposureState, GetParam().stored);
    EXPECT_EQ(LoadConfig(configPath).ExposureState, GetParam().stored);
}

INSTANTIATE_TEST_SUITE_P(Boxes, OptionsDialogReading,
                         ::testing::Values(Reading{"", 0}, Reading{"12abc", 12}, Reading{"1 2", 12},
                                           Reading{"2.5", 2}, Reading{"3.5", 4}, Reading{"-0.4", 0},
                                           Reading{"255", 255}, Reading{"&HFF", 255}));

TEST_F(OptionsDialogTest, RotateFourTimesAndMirrorTwiceGiveTheLettersBack)
{
    for (int i = 0; i < 4; ++i)
        dialog->Command2Click();
    EXPECT_EQ(QStringList({box(2)->text(), box(3)->text(), box(4)->text(), box(5)->text()}),
              QStringList({"n", "s", "e", "w"}));
    dialog->Command3Click();
    EXPECT_EQ(box(4)->text(), "w");
    EXPECT_EQ(box(5)->text(), "e");
    dialog->Command3Click();
    EXPECT_EQ(QStringList({box(2)->text(), box(3)->text(), box(4)->text(), box(5)->text()}),
              QStringList({"n", "s", "e", "w"}));
}

TEST_F(OptionsDialogTest, RotateTurnsClockwiseAndRotateThenMirrorSwapsTheAxes)
{
    dialog->Command2Click();
    // top <- left, left <- bottom, bottom <- right, right <- top
    EXPECT_EQ(box(2)->text(), "e");
    EXPECT_EQ(box(4)->text(), "s");
    EXPECT_EQ(box(3)->text(), "w");
    EXPECT_EQ(box(5)->text(), "n");
    dialog->Command3Click();
    EXPECT_EQ(box(2)->text(), "e"); // old left
    EXPECT_EQ(box(3)->text(), "w"); // old right
    EXPECT_EQ(box(4)->text(), "n"); // old top
    EXPECT_EQ(box(5)->text(), "s"); // old bottom
    EXPECT_EQ(settings, original) << "Rotate and Mirror change the boxes alone";
}

TEST_F(OptionsDialogTest, DoneAppliesSavesRecomputesThePortAddressSetsTheCommPortAndCloses)
{
    setBox(7, "2");
    setBox(1, "3");
    setBox(2, "");
    setBox(5, "  W ");
    dialog->Command1Click();
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(settings.PrinterPort, 2);
    EXPECT_EQ(settings.PortAddress, kSecondPrinterPortAddress);
    EXPECT_EQ(settings.CommPort, 3);
    EXPECT_EQ(comm.CommPort(), 3);
    EXPECT_EQ(settings.DirUp, "");
    EXPECT_EQ(settings.DirRight, "  W ");
    const Settings loaded = LoadConfig(configPath);
    EXPECT_EQ(loaded.PrinterPort, 2);
    EXPECT_EQ(loaded.CommPort, 3);
    EXPECT_FALSE(dialog->isVisible());
    runDeferredDeletes();
    EXPECT_TRUE(dialog.isNull());

    // The next opening fills from the record again, with printer port 1 -> 888.
    open();
    EXPECT_EQ(box(7)->text(), " 2");
    setBox(7, "1");
    dialog->Command1Click();
    EXPECT_EQ(settings.PortAddress, kFirstPrinterPortAddress);
}

TEST_F(OptionsDialogTest, ABoxThatCannotBeStoredRefusesTheWholeDone)
{
    setBox(1, "5");          // would be stored first ...
    setBox(13, "40000");     // ... but this one does not fit 16 bits
    setBox(14, "256");       // a later bad box is not the one reported
    dialog->Command1Click();
    EXPECT_FALSE(fileWritten());
    EXPECT_EQ(settings, original);
    EXPECT_EQ(comm.CommPort(), 0);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains("Ignore Drift <")) << messages[0].toStdString();
    EXPECT_TRUE(messages[0].contains("-32768 to 32767")) << messages[0].toStdString();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->focusWidget(), box(13));
    runDeferredDeletes();
    EXPECT_FALSE(dialog.isNull());

    // Mended, DONE goes through and the boxes typed before are kept.
    setBox(13, "-40");
    setBox(14, "255");
    dialog->Command1Click();
    EXPECT_EQ(settings.IgnoreDrift, -40);
    EXPECT_EQ(settings.AmpOnState, 255);
    EXPECT_EQ(settings.CommPort, 5);
}

// Each number box names itself and its range; 255.5 rounds past a byte.
TEST_F(OptionsDialogTest, ANumberPastItsRangeIsRefusedWithTheBoxLabel)
{
    const char *ranges[] = {"0 to 255", "-32768 to 32767", "-2147483648 to 2147483647"};
    for (const SettingsField &field : kSettingsFields) {
        if (isText(field))
            continue;
        const size_t type = field.member.index();
        const QString typed = box(field.box)->text();
        setBox(field.box, type == 0 ? "255.5" : "-3e9");
        dialog->Command1Click();
        ASSERT_EQ(messages.size(), 1) << field.name;
        const QString message = messages.takeFirst();
        EXPECT_TRUE(message.startsWith(QString(field.name) + " cannot be stored: ")) << message.toStdString();
        EXPECT_TRUE(message.endsWith(QString(ranges[type]) + ".")) << message.toStdString();
        EXPECT_EQ(dialog->focusWidget(), box(field.box)) << field.name;
        setBox(field.box, typed);
    }
    EXPECT_FALSE(fileWritten());
    EXPECT_EQ(settings, original);
}

TEST_F(OptionsDialogTest, DirectionTextsTheFileOrTheMountCannotTakeAreRefused)
{
    // Texts the file cannot give back, then texts that would send the mount another command.
    const std::pair<int, QString> cases[] = {{2, "n,s"}, {3, "\"s\""}, {4, "e\nx"}, {5, "w\r"},
                                             {5, QString::fromUtf8("\u2192")}, {2, "n#"}, {3, ":Qs"},
                                             {4, "e\t"}, {5, QString::fromLatin1("\xe9")}};
    for (const auto &[n, text] : cases) {
        messages.clear();
        setBox(n, text);
        dialog->Command1Click();
        EXPECT_FALSE(fileWritten()) << n;
        EXPECT_EQ(settings, original) << n;
        ASSERT_EQ(messages.size(), 1) << n;
        EXPECT_EQ(dialog->focusWidget(), box(n)) << n;
        if (n == 5 && text.startsWith(u'w')) {
            EXPECT_TRUE(messages[0].contains("Right")) << messages[0].toStdString();
        }
        setBox(n, original.DirUp);
    }
    EXPECT_EQ(messages[0], "Right (right of the direction cross): it holds the character 0xe9. A direction text "
                           "cannot hold \"#\", \":\" or a character outside printable ASCII, since the mount would "
                           "read it as another command.");
}

TEST_F(OptionsDialogTest, ClosingByTheFrameCancelOrEscapeAppliesNothing)
{
    for (const char *how : {"frame", "Cancel", "Escape"}) {
        delete dialog.data();
        open();
        dialog->Command2Click();
        dialog->Command3Click();
        setBox(8, "9");
        setBox(1, "4");
        if (how == std::string("frame"))
            dialog->close();
        else if (how == std::string("Cancel"))
            dialog->findChild<QPushButton *>("cancelButton")->click();
        else {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QCoreApplication::sendEvent(box(8), &escape); // from the box being edited
        }
        runDeferredDeletes();
        EXPECT_TRUE(dialog.isNull()) << how;
        EXPECT_EQ(settings, original) << how;
        EXPECT_EQ(comm.CommPort(), 0) << how;
        EXPECT_FALSE(fileWritten()) << how;
    }
}

TEST_F(OptionsDialogTest, EveryBoxExplainsItselfWithItsUnit)
{
    const std::pair<int, const char *> units[] = {
        {1, "0 = the simulated mount"}, {2, ":RG#:M"}, {3, "below"}, {4, "right of"}, {5, "left of"},
        {6, "px/s"}, {7, "0x378"}, {8, "0..255"}, {9, "0..255"}, {10, "0..255"}, {11, "(ms)"},
        {12, "(px)"}, {13, "(px)"}, {14, "0..255"}, {15, "(ms)"}};
    for (const auto &[n, unit] : units) {
        EXPECT_TRUE(box(n)->toolTip().contains(QLatin1String(unit))) << n << ": " << box(n)->toolTip().toStdString();
        const SettingsField &field = fieldInBox(n);
        if (field.labelObject) {
            EXPECT_EQ(dialog->findChild<QLabel *>(field.labelObject)->toolTip(), box(n)->toolTip()) << n;
        }
    }
}

TEST_F(OptionsDialogTest, PixelsPerSecondOfZeroOrLessIsRefusedNamingTheBox)
{
    for (const char *typed : {"0", "-5", " 0.4"}) {
        messages.clear();
        setBox(6, typed);
        dialog->Command1Click();
        ASSERT_EQ(messages.size(), 1) << typed;
        EXPECT_TRUE(messages[0].startsWith("Pixels/Sec cannot be stored: ")) << messages[0].toStdString();
        EXPECT_EQ(dialog->focusWidget(), box(6)) << typed;
        EXPECT_FALSE(fileWritten()) << typed;
        EXPECT_EQ(settings, original) << typed;
    }
    messages.clear();
    setBox(6, "0.6"); // rounds to 1
    dialog->Command1Click();
    EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(settings.PixPerSec, 1);
}

// Test mount probes the port in the box through the program's opener, without
// waiting: the answer shows once it came, or when 200 ms on the clock have passed.
TEST_F(OptionsDialogTest, TestMountShowsTheAnswerOrWhyThereIsNone)
{
    const struct {
        const char *port;
        bool opens;
        QByteArray answer;
        uint32_t afterMs;
        const char *shown;
    } cases[] = {
        {" 0", true, "P", 0, "Comm port 0 (test port): the mount answered \"P\"."},
        {"3", true, "", 199, "Testing comm port 3 ..."},
        {"3", true, "", 200, "Comm port 3 (/dev/ttyS2): no answer within 200 ms."}, // the device in the picker
        {"2", false, "", 0, "no serial devices in tests"},
        {"70000", true, "P", 0, "Comm Port cannot be tested: "},
    };
    for (const auto &c : cases) {
        delete dialog.data();
        open();
        opener.opens = c.opens;
        opener.answer = c.answer;
        opener.written.clear();
        opener.openings = 0;
        setBox(1, c.port);
        dialog->testMountButton()->click();
        clock.advance(c.afterMs);
        dialog->mountProbe().check();
        EXPECT_TRUE(dialog->mountAnswer()->text().startsWith(QLatin1String(c.shown)))
            << c.port << ": " << dialog->mountAnswer()->text().toStdString();
        const bool probed = c.port != std::string("70000");
        EXPECT_EQ(opener.openings, probed ? 1 : 0) << c.port;
        EXPECT_EQ(opener.written, QByteArray(c.opens && probed ? "\x06" : "")) << c.port;
        EXPECT_EQ(dialog->testMountButton()->isEnabled(), c.afterMs != 199) << c.port;
    }
    EXPECT_EQ(settings, original) << "a test stores nothing";
    EXPECT_FALSE(fileWritten());

    // A device picked for the port but not yet stored is the one tested.
    delete dialog.data();
    open();
    dialog->setSerialDeviceChoices({QStringLiteral("/dev/ttyUSB7")});
    setBox(1, "3");
    dialog->commDevicePicker()->setCurrentText(QStringLiteral("/dev/ttyUSB7"));
    dialog->testMountButton()->click();
    dialog->mountProbe().check();
    EXPECT_EQ(opener.device, "/dev/ttyUSB7");
    EXPECT_TRUE(dialog->mountAnswer()->text().startsWith("Comm port 3 (/dev/ttyUSB7): the mount answered"))
        << dialog->mountAnswer()->text().toStdString();
    EXPECT_FALSE(fileWritten());

    // While a run holds the link, nothing is sent to the mount.
    opener.opens = true;
    ASSERT_TRUE(comm.setPortOpen(true));
    delete dialog.data();
    open();
    opener.openings = 0;
    dialog->testMountButton()->click();
    EXPECT_EQ(opener.openings, 0);
    EXPECT_TRUE(dialog->mountAnswer()->text().contains("running sequence"));
    (void)comm.setPortOpen(false);
}

TEST_F(OptionsDialogTest, AFailedSaveTellsWhyAndLeavesTheRecordAsItWas)
{
    delete dialog.data();
    configPath = dir.filePath(QStringLiteral("missing-folder/orvane.cfg"));
    open();
    setBox(8, "7");
    dialog->Command1Click();
    EXPECT_EQ(settings, original);
    EXPECT_EQ(comm.CommPort(), 0);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(configPath)) << messages[0].toStdString();
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(OptionsDialogTest, CommPortPickerNamesTheDeviceAndStoresThePickOnDone)
{
    QComboBox *picker = dialog->commDevicePicker();
    EXPECT_EQ(picker->objectName(), "commDevice");
    EXPECT_FALSE(picker->isEnabled());
    EXPECT_EQ(picker->currentText(), "the simulated mount");

    dialog->setSerialDeviceChoices({"/dev/ttyACM0", "/dev/ttyS1", "/dev/ttyUSB0"});
    setBox(1, " 2");
    EXPECT_TRUE(picker->isEnabled());
    EXPECT_EQ(picker->currentText(), "/dev/ttyS1"); // what 2 names before any pick
    EXPECT_EQ(picker->count(), 3);
    picker->setCurrentIndex(picker->findText("/dev/ttyUSB0"));
    dialog->Command1Click();
    ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
    EXPECT_EQ(serialDeviceFor(2, iniPath), "/dev/ttyUSB0");

    open();
    dialog->setSerialDeviceChoices({"/dev/ttyACM0"});
    EXPECT_EQ(dialog->commDevicePicker()->currentText(), "/dev/ttyUSB0");
    setBox(1, "-3");
    EXPECT_FALSE(dialog->commDevicePicker()->isEnabled());
}

TEST_F(OptionsDialogTest, APickChangesOnlyItsOwnLineOfTheIniFile)
{
    const QByteArray head = "; my rig\r\n\r\n[camera]\r\nnoise = 3 ; dark frames\r\n\r\n[serial]\r\n# the USB cable\r\n"
                            "port1 = /dev/ttyUSB0   ; the USB cable\r\n";
    const QByteArray tail = "\r\n[guide]\r\nminStarSnr=4\r\n";
    ASSERT_TRUE(test::writeAll(iniPath, head + tail));
    const struct {
        const char *port;
        const char *device;
        QByteArray expected;
    } steps[] = {
        {"2", "/dev/ttyACM0", head + "port2=/dev/ttyACM0\r\n" + tail},
        {"1", "/dev/ttyS0", QByteArray(head).replace("port1 = /dev/ttyUSB0", "port1 = /dev/ttyS0") +
                                "port2=/dev/ttyACM0\r\n" + tail},
    };
    EXPECT_EQ(serialDeviceFor(1, iniPath), "/dev/ttyUSB0");
    for (const auto &step : steps) {
        open();
        dialog->setSerialDeviceChoices({"/dev/ttyACM0", "/dev/ttyS0"});
        setBox(1, step.port);
        dialog->commDevicePicker()->setCurrentIndex(dialog->commDevicePicker()->findText(step.device));
        dialog->Command1Click();
        ASSERT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
        EXPECT_EQ(test::readAll(iniPath), step.expected) << step.port;
    }

    // A file without the group gets it appended.
    ASSERT_TRUE(test::writeAll(iniPath, "[sky]\ncloudStartS=9"));
    open();
    dialog->setSerialDeviceChoices({"/dev/ttyACM0"});
    setBox(1, "3");
    dialog->commDevicePicker()->setCurrentIndex(1);
    dialog->Command1Click();
    EXPECT_EQ(test::readAll(iniPath), "[sky]\ncloudStartS=9\n\n[serial]\nport3=/dev/ttyACM0\n");
    EXPECT_EQ(serialDeviceFor(3, iniPath), "/dev/ttyACM0");
}

TEST_F(OptionsDialogTest, APickIsNotStoredWhenTheWindowIsClosedOrTheSaveFails)
{
    dialog->setSerialDeviceChoices({"/dev/ttyUSB0"});
    setBox(1, "1");
    dialog->commDevicePicker()->setCurrentIndex(1);
    dialog->close();
    runDeferredDeletes();
    EXPECT_EQ(serialDeviceFor(1, iniPath), "/dev/ttyS0");

    configPath = dir.filePath(QStringLiteral("missing-folder/orvane.cfg"));
    open();
    dialog->setSerialDeviceChoices({"/dev/ttyUSB0"});
    setBox(1, "1");
    dialog->commDevicePicker()->setCurrentIndex(1);
    dialog->Command1Click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(serialDeviceFor(1, iniPath), "/dev/ttyS0");
}

} // namespace
