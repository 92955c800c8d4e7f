#include "config_file.h"
#include "example_config.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;
using test::exampleFile;

namespace {

// The example with line `number` (1-based) replaced.
QByteArray withLine(QByteArray file, int number, const QByteArray &text)
{
    QList<QByteArray> lines = file.split('\n');
    lines[number - 1] = text + "\r";
    return lines.join('\n');
}

} // namespace

TEST(ConfigFile, ExampleRoundTripsByteForByte)
{
    const QByteArray example = exampleFile();
    ASSERT_EQ(example.count('\n'), kConfigLines);
    const Settings s = parseConfig(example, "orvane.cfg");
    EXPECT_EQ(s.ExposureState, 3);
    EXPECT_EQ(s.GetGuideState, 2);
    EXPECT_EQ(s.ImageDelay, 250);
    EXPECT_EQ(s.CommPort, 2);
    EXPECT_EQ(s.DirUp, "n");
    EXPECT_EQ(s.DirRight, "w");
    EXPECT_EQ(s.IgnoreDrift, -1);
    EXPECT_EQ(s.AmpDelay, 500);
    EXPECT_EQ(formatConfig(s, QDate(1994, 6, 15)), example);
}

TEST(ConfigFile, SaveThenLoadThenSaveGivesTheSameFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("orvane.cfg");
    Settings s = parseConfig(exampleFile(), path);
    SaveConfig(path, s);
    const QByteArray first = test::readAll(path);
    const Settings loaded = LoadConfig(path);
    s.PortAddress = 888;
    EXPECT_EQ(loaded, s);
    SaveConfig(path, loaded);
    EXPECT_EQ(test::readAll(path), first);
    EXPECT_TRUE(first.contains(QDate::currentDate().toString("MM-dd-yyyy").toLatin1() + "\r\n"));
}

TEST(ConfigFile, OnlyLinePositionsMatter)
{
    QByteArray file = exampleFile();
    for (int line : {1, 3, 4, 6, 9, 48})
        file = withLine(file, line, "something else");
    file = withLine(file, 7, "3");      // no surrounding blanks
    file = withLine(file, 16, "2.5");   // ties to even
    file = withLine(file, 19, "3.5");
    file += "line 50\r\nline 51\r\n";  // ignored
    const Settings s = parseConfig(file, "orvane.cfg");
    EXPECT_EQ(s.ExposureState, 3);
    EXPECT_EQ(s.ImageDelay, 2);
    EXPECT_EQ(s.PrinterPort, 4);
    EXPECT_EQ(s.AmpDelay, 500);
}

TEST(ConfigFile, TextFieldsSkipLeadingBlanksAndEndAtAComma)
{
    QByteArray file = withLine(exampleFile(), 25, "   n,s");
    file = withLine(file, 28, "");
    const Settings s = parseConfig(file, "orvane.cfg");
    EXPECT_EQ(s.DirUp, "n");
    EXPECT_EQ(s.DirDown, "");
    // An empty direction text is written as an empty line.
    EXPECT_TRUE(formatConfig(s, QDate(2026, 1, 2)).contains("Down\r\n\r\n \r\n"));
}

TEST(ConfigFile, NoNumberReadsAsZero)
{
    const Settings s = parseConfig(withLine(exampleFile(), 37, "fast"), "orvane.cfg");
    EXPECT_EQ(s.PixPerSec, 0);
}

TEST(ConfigFile, ErrorsNameTheFileTheLineAndTheCause)
{
    auto messageFor = [](const QByteArray &bytes) -> std::string {
        try {
            parseConfig(bytes, "/opt/orvane/orvane.cfg");
        } catch (const ConfigError &e) {
            return e.what();
        }
        return "no error";
    };
    EXPECT_EQ(messageFor(withLine(exampleFile(), 13, " 300 ")),
              "/opt/orvane/orvane.cfg line 13: 300 does not fit a byte (0..255) (the value of \"Get Guide\").");
    // Every field's line and label, past its range or with a text the mount cannot take.
    for (const SettingsField &field : kSettingsFields) {
        const std::string label = "\"" + std::string(field.fileLabel) + "\"";
        const std::string cause = isText(field) ? "the text of " + label : "-3000000000 does not fit";
        const QByteArray bad = isText(field) ? "n:" : "-3e9";
        const std::string message = messageFor(withLine(exampleFile(), field.valueLine, bad));
        const std::string where = " line " + std::to_string(field.valueLine) + ": ";
        EXPECT_NE(message.find(where + cause), std::string::npos) << message;
        EXPECT_NE(message.find(label), std::string::npos) << message;
    }
    const QByteArray truncated = exampleFile().left(exampleFile().indexOf("Get Guide"));
    EXPECT_EQ(messageFor(truncated), "/opt/orvane/orvane.cfg line 13: the file ends after 11 lines; it needs 49.");
    EXPECT_NE(messageFor(QByteArray()).find("the file ends after 0 lines"), std::string::npos);
    EXPECT_NE(messageFor(QByteArray(5000, '\x01')).find("ends after 1 lines"), std::string::npos);
}

TEST(ConfigFile, LineEndsOtherThanCrLf)
{
    const QByteArray crlf = exampleFile();
    const Settings expected = parseConfig(crlf, "orvane.cfg");
    EXPECT_EQ(parseConfig(QByteArray(crlf).replace("\r\n", "\n"), "orvane.cfg"), expected) << "LF alone loads";

    const std::string crLine = ": a carriage return (CR) stands inside the line; the file's line ends must be "
                               "CR LF or LF alone, not CR alone.";
    const struct {
        QByteArray bytes;
        std::string message;
    } refused[] = {
        {QByteArray(crlf).replace("\r\n", "\r"), "orvane.cfg line 1" + crLine},
        {QByteArray(crlf).replace("\r\n", "\r").replace("Pixpersec\r", "Pixpersec\r\n"), "orvane.cfg line 1" + crLine},
        {QByteArray(crlf).replace("\r\nDelay\r\n", "\rDelay\r\n"), "orvane.cfg line 14" + crLine},
        {withLine(crlf, 25, "n\rw"), "orvane.cfg line 25" + crLine},
        {withLine(crlf, 37, " 5\r7 "), "orvane.cfg line 37" + crLine},
    };
    for (const auto &[bytes, message] : refused) {
        try {
            parseConfig(bytes, "orvane.cfg");
            ADD_FAILURE() << "loaded: " << message;
        } catch (const ConfigError &e) {
            EXPECT_EQ(e.what(), message);
        }
    }
}

TEST(ConfigFile, MissingFileSaysWhereItWasLookedFor)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("orvane.cfg");
    try {
        LoadConfig(path);
        FAIL();
    } catch (const ConfigError &e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), "The settings file " + path + " is missing.");
    }
}

TEST(ConfigFile, PortAddressFollowsPrinterPort)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("orvane.cfg");
    for (auto [port, address] : {std::pair{1, 888}, {2, 632}, {0, 632}, {3, 632}, {-1, 632}}) {
        ASSERT_TRUE(test::writeAll(path, withLine(exampleFile(), 19, QByteArray::number(port))));
        EXPECT_EQ(LoadConfig(path).PortAddress, address) << "printer port " << port;
    }
}

TEST(ConfigFile, FailedSaveLeavesTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("orvane.cfg");
    ASSERT_TRUE(test::writeAll(path, exampleFile()));
    // The new file cannot be made beside the old one when the directory is gone;
    // a directory standing where the file should be cannot be replaced either.
    const QString blocked = dir.filePath("blocked.cfg");
    ASSERT_TRUE(QDir().mkpath(blocked + "/inside"));
    Settings s = parseConfig(exampleFile(), path);
    s.ExposureState = 9;
    EXPECT_THROW(SaveConfig(blocked, s), ConfigError);
    EXPECT_THROW(SaveConfig(dir.filePath("no/such/dir/orvane.cfg"), s), ConfigError);
    EXPECT_EQ(test::readAll(path), exampleFile());
    EXPECT_TRUE(QFileInfo(blocked + "/inside").isDir());
}

TEST(ConfigFile, SaveCreatesAMissingFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("orvane.cfg");
    SaveConfig(path, parseConfig(exampleFile(), path));
    EXPECT_EQ(test::readAll(path).count("\r\n"), kConfigLines);
}

// The user may keep orvane.cfg linked from elsewhere, or the program's folder
// locked against writing with only the file open to the user.
TEST(ConfigFile, SaveRewritesTheSameFileLinkedOrInALockedFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(test::setMode(dir.path(), 0755));
    const QString path = dir.filePath("orvane.cfg");
    ASSERT_TRUE(test::writeAll(path, exampleFile()));
    ASSERT_TRUE(test::setMode(path, 0646));
    ASSERT_TRUE(test::hardLink(path, dir.filePath("linked.cfg")));
    const test::FileIdentity before = test::identityOf(path);
    Settings s = parseConfig(exampleFile(), path);
    s.ExposureState = 9;

    ASSERT_TRUE(test::setMode(dir.path(), 0555));
    const bool saved = test::asOrdinaryUser([&] {
        try {
            SaveConfig(path, s);
            return true;
        } catch (const ConfigError &) {
            return false;
        }
    });
    ASSERT_TRUE(test::setMode(dir.path(), 0755));
    EXPECT_TRUE(saved);
    EXPECT_EQ(test::identityOf(path), before);
    EXPECT_EQ(LoadConfig(dir.filePath("linked.cfg")).ExposureState, 9);
}
