// The direction texts in the settings file: what the file can carry is saved
// and loads back as it was; a text it cannot carry is refused before anything
// is written, since the file would not load again.

#include "config_file.h"
#include "example_config.h"
#include "test_support.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;

TEST(ConfigTexts, TellsWhichTextsTheFileCannotCarry)
{
    for (const char *fine : {"", "n", "north east", "~w!"})
        EXPECT_EQ(fileTextProblem(QString::fromLatin1(fine)), QString()) << fine;
    // The mount link takes printable ASCII only, and "#" and ":" end and start a command.
    const std::pair<const char *, const char *> unsent[] = {
        {"n#", "holds \"#\", which the mount would read as another command"},
        {":Qs", "holds \":\", which the mount would read as another command"},
        {"\xe9", "holds the character 0xe9, which the mount would read as another command"}};
    for (const auto &[text, problem] : unsent) {
        EXPECT_EQ(fileTextProblem(QString::fromLatin1(text)), problem) << text;
        EXPECT_EQ(mountTextProblem(QString::fromLatin1(text)) + ", which the mount would read as another command",
                  problem);
    }
    EXPECT_EQ(mountTextProblem(QStringLiteral("n\tslow")), "holds the character 0x09");

    EXPECT_TRUE(fileTextProblem(QStringLiteral("n\x06")).contains(QStringLiteral("0x06")));
    EXPECT_TRUE(fileTextProblem(QStringLiteral("\x7f")).contains(QStringLiteral("0x7f")));
    EXPECT_FALSE(fileTextProblem(QStringLiteral("a\nb")).isEmpty());
    EXPECT_FALSE(fileTextProblem(QStringLiteral("a\rb")).isEmpty());
    EXPECT_TRUE(fileTextProblem(QStringLiteral("\u20ac")).contains(QStringLiteral("\u20ac")));
}

// A record with a control character in a direction text used to be written
// as it was, and the next start refused the file as damaged.
TEST(ConfigTexts, SaveRefusesATextTheFileCannotCarryAndKeepsTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("orvane.cfg");
    const Settings good = test::exampleSettings();
    SaveConfig(path, good);
    const QByteArray before = test::readAll(path);

    Settings bad = good;
    bad.DirLeft = QStringLiteral("e\x06");
    try {
        SaveConfig(path, bad);
        FAIL() << "saved a text with a control character";
    } catch (const ConfigError &e) {
        const QString message = QString::fromUtf8(e.what());
        EXPECT_TRUE(message.contains(path)) << e.what();
        EXPECT_TRUE(message.contains(QStringLiteral("\"Left\""))) << e.what();
        EXPECT_TRUE(message.contains(QStringLiteral("0x06"))) << e.what();
    }
    EXPECT_EQ(test::readAll(path), before);

    const QString fresh = dir.filePath("fresh.cfg");
    bad.DirLeft = QStringLiteral("e");
    bad.DirUp = QStringLiteral("\u20ac");
    EXPECT_THROW(SaveConfig(fresh, bad), ConfigError);
    EXPECT_FALSE(QFile::exists(fresh));
}

TEST(ConfigTexts, TextsTheFileCarriesLoadBackAsSaved)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("orvane.cfg");
    Settings s = test::exampleSettings();
    s.DirUp = QStringLiteral("n fast");
    s.DirDown = QStringLiteral("s~");
    s.DirLeft = QString();
    s.DirRight = QStringLiteral("w e s t");
    SaveConfig(path, s);
    Settings loaded = LoadConfig(path);
    EXPECT_EQ(loaded.PortAddress, kFirstPrinterPortAddress);
    loaded.PortAddress = s.PortAddress;
    EXPECT_EQ(loaded, s);
}

// Everything a settings file read gives, written out, reads back the same,
// whatever else the file held around the values.
// Such a text from the file would be sent to the mount as it stands.
TEST(ConfigTexts, AFileWithADirectionTextTheMountCannotTakeIsRefusedNamingTheLine)
{
    QByteArray file = formatConfig(test::exampleSettings(), QDate(2026, 12, 8));
    file.replace("\r\nw\r\n", "\r\nw#:Qn\r\n");
    try {
        parseConfig(file, QStringLiteral("/opt/orvane/orvane.cfg"));
        FAIL() << "loaded";
    } catch (const ConfigError &e) {
        EXPECT_EQ(std::string(e.what()),
                  "/opt/orvane/orvane.cfg line 34: the text of \"Right\" holds \"#\". A direction text cannot hold "
                  "\"#\", \":\" or a character outside printable ASCII, since the mount would read it as another "
                  "command.");
    }
}

TEST(ConfigTexts, ARecordReadFromAFileWritesAndReadsBackTheSame)
{
    QByteArray file;
    for (int line = 1; line <= kConfigLines; ++line)
        file += line >= 25 && line <= 34 ? QByteArray("  \t x, y,,z\r\n") : QByteArray("&H7F junk\r\n");
    const Settings read = parseConfig(file, QStringLiteral("odd.cfg"));
    EXPECT_EQ(read.DirUp, QStringLiteral("x"));
    EXPECT_EQ(read.ExposureState, 127);
    EXPECT_EQ(parseConfig(formatConfig(read, QDate(2026, 12, 8)), QStringLiteral("odd.cfg")), read);
}
