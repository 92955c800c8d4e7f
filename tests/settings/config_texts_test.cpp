// The direction texts in the settings file: what the file can carry is saved
// and loads back as it was; a text it cannot carry is refused before anything
// is written, since the file would not load again.

#include "config_file.h"
#include "test_support.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

Settings someSettings()
{
    Settings s;
    s.ExposureState = 3;
    s.ImageDelay = 250;
    s.PrinterPort = 1;
    s.DirUp = QStringLiteral("n");
    s.DirDown = QStringLiteral("s");
    s.DirLeft = QStringLiteral("e");
    s.DirRight = QStringLiteral("w");
    s.GuideBoxSize = 40;
    return s;
}

} // namespace

TEST(ConfigTexts, TellsWhichTextsTheFileCannotCarry)
{
    for (const char *fine : {"", "n", "n\tslow", "north east"})
        EXPECT_EQ(fileTextProblem(QString::fromLatin1(fine)), QString()) << fine;
    EXPECT_EQ(fileTextProblem(QStringLiteral("\u00e9")), QString()); // Latin-1 letters are bytes of the file

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
    const Settings good = someSettings();
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
    Settings s = someSettings();
    s.DirUp = QStringLiteral("n\tfast");
    s.DirDown = QStringLiteral("s\u00e9");
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
