// orvane.cfg damaged in the ways a user (or a crash, or a full disk) damages it:
// start-up refuses it with one message naming the file, and the line where one
// is at fault, before anything reaches the printer port.
#include "main_window.h"

#include "config_file.h"
#include "sequence_fixture.h"
#include "file_chooser.h"
#include "test_support.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;
using test::NamedSource;
using test::NoFiles;

namespace {

// A good settings file: 49 CR LF lines.
QByteArray goodFile()
{
    const QList<QByteArray> values = {"3", "0", "2", "250", "1", "0", "n", "s", "e", "w", "5", "40", "0", "1", "100"};
    QByteArray out = "Orvane Config file\r\n \r\nDate\r\n01-01-2026\r\n \r\n";
    for (int i = 0; i < values.size(); ++i) {
        out += "label\r\n" + values[i] + " \r\n";
        if (i + 1 < values.size())
            out += " \r\n";
    }
    return out;
}

// The good file with line `number` (1-based) replaced by `text`.
QByteArray withLine(int number, const QByteArray &text)
{
    QList<QByteArray> lines = goodFile().split('\n');
    lines[number - 1] = text + "\r";
    return lines.join('\n');
}

// Offset of the first byte of line `number` (1-based) in the good file.
qsizetype lineStart(int number)
{
    qsizetype at = 0;
    for (int line = 1; line < number; ++line)
        at = goodFile().indexOf('\n', at) + 1;
    return at;
}

class ConfigFault : public ::testing::Test, protected test::TestRig {
protected:
    ConfigFault() : test::TestRig({.startMs = 5000})
    {
        window = test::windowOn(*this, files, dir.path());
        window->showMessageBox = [this](const QString &text, QMessageBox::Icon) { messages.append(text); };
    }

    // Writes `bytes` as orvane.cfg and starts up: the one message it gives, or
    // a failure description when start-up went ahead or said more or less.
    QString refusal(const QByteArray &bytes)
    {
        if (!test::writeAll(path, bytes))
            return "cannot write the test file";
        return refusalOfFileAsItIs();
    }
    QString refusalOfFileAsItIs()
    {
        messages.clear();
        if (window->load())
            return "start-up went ahead";
        if (messages.size() != 1)
            return QStringLiteral("%1 messages: %2").arg(messages.size()).arg(messages.join(" | "));
        if (!port.writes().empty() || window->isVisible())
            return "the port was written or the window shown";
        return messages.front();
    }

    QTemporaryDir dir;
    QString path = dir.filePath("orvane.cfg");
    NoFiles files;
    std::unique_ptr<MainWindow> window;
    QStringList messages;
};

} // namespace

TEST_F(ConfigFault, TheGoodFileStartsUp)
{
    EXPECT_EQ(refusal(goodFile()).toStdString(), "start-up went ahead");
}

TEST_F(ConfigFault, TruncatedAnywhereBeforeTheLastValueIsRefusedNamingTheMissingLine)
{
    const QByteArray good = goodFile();
    // Every cut up to the start of line 49 (the last value) loses a line the settings need.
    for (qsizetype cut = 0; cut < lineStart(49); ++cut) {
        const QString said = refusal(good.left(cut));
        const int lines = int(good.left(cut).count('\n')) + (cut > 0 && !good.left(cut).endsWith('\n'));
        EXPECT_TRUE(said.startsWith("Orvane cannot start: " + path + " line ")) << cut << ": " << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("the file ends after %1 lines; it needs 49.").arg(lines)))
            << cut << ": " << said.toStdString();
    }
}

TEST_F(ConfigFault, BinaryGarbageIsRefusedNamingTheLine)
{
    // Zeros where the file was, as a crash leaves it: the size is right, the text gone.
    QByteArray zeroed = goodFile();
    zeroed.replace(0, 60, QByteArray(60, '\0'));
    EXPECT_EQ(refusal(zeroed).toStdString(),
              ("Orvane cannot start: " + path +
               " line 1: the byte 0x00 is not text; the file is damaged or is not a settings file.")
                  .toStdString());
    // A value line holding binary after its digits; read leniently it would pass as 3.
    EXPECT_TRUE(refusal(withLine(7, QByteArray("3\x01\x02", 3))).contains(path + " line 7: the byte 0x01 is not text"));
    // The file saved again by an editor as UTF-16: every other byte a zero.
    QByteArray wide("\xFF\xFE", 2);
    for (const char c : goodFile())
        wide += QByteArray(1, c) + QByteArray(1, '\0');
    EXPECT_TRUE(refusal(wide).contains(path + " line 1: the byte 0x00 is not text")) << refusal(wide).toStdString();
    // Random bytes, with and without enough line ends to reach the values.
    QRandomGenerator random(20261208);
    for (int round = 0; round < 50; ++round) {
        QByteArray noise(2000, '\0');
        for (char &c : noise)
            c = char(random.bounded(256));
        if (round % 2 == 0)
            for (qsizetype i = 20; i < noise.size(); i += 20)
                noise[i] = '\n';
        const QString said = refusal(noise);
        EXPECT_TRUE(said.startsWith("Orvane cannot start: " + path + " line ")) << round << ": " << said.toStdString();
    }
    // Another program's file in its place: a PNG picture.
    QByteArray png;
    {
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
    }
    EXPECT_TRUE(refusal(png).startsWith("Orvane cannot start: " + path + " line ")) << refusal(png).toStdString();
}

TEST_F(ConfigFault, HugeLinesAreRefusedWithoutReadingThemWhole)
{
    const QByteArray good = goodFile();
    const QByteArray huge(50 * 1024 * 1024, '7');
    // A 50 MB header line, a 50 MB label line and a 50 MB value (read whole, its
    // first digits would be a number of the wrong size).
    for (int line : {1, 8, 7}) {
        const QString said = refusal(withLine(line, huge));
        EXPECT_EQ(said.toStdString(), QStringLiteral("Orvane cannot start: %1 line %2: the line does not end within the first "
                                       "1048576 bytes of the file; the file is damaged or is not a settings file.")
                            .arg(path)
                            .arg(line)
                            .toStdString());
    }
    // A long value line within the bound is read and refused for what it holds.
    const QString said = refusal(withLine(10, QByteArray(500000, '9')));
    EXPECT_TRUE(said.contains(path + " line 10: infinity does not fit a byte (0..255)")) << said.toStdString();
    // Anything after the 49 lines was never part of the settings.
    EXPECT_EQ(refusal(good + huge + "\r\n").toStdString(), "start-up went ahead");
}

TEST_F(ConfigFault, OutOfRangeNumbersAndUnsendableTextsAreRefusedNamingTheLine)
{
    struct Case {
        int line;
        QByteArray value;
        QString says;
    };
    const Case cases[] = {
        {7, "256", "line 7: 256 does not fit a byte (0..255)"},
        {10, "-1", "line 10: -1 does not fit a byte (0..255)"},
        {13, "1e999", "line 13: infinity does not fit a byte (0..255)"},
        {19, "32768", "line 19: 32768 does not fit a 16-bit number (-32768..32767)"},
        {22, "-40000", "line 22: -40000 does not fit a 16-bit number (-32768..32767)"},
        {16, "2147483648", "line 16: 2147483648 does not fit a 32-bit number (-2147483648..2147483647)"},
        {37, "&HFFFFFFFFFF", "line 37: 1099511627775 does not fit a 32-bit number"},
        {49, "-9e18", "line 49: -9e+18 does not fit a 32-bit number"},
        // Direction texts go into mount commands as they stand.
        {25, "n#:Qs", "line 25: the text of \"up\" holds \"#\""},
        {34, "w\t", "line 34: the text of \"Right\" holds the character 0x09"},
    };
    for (const Case &c : cases) {
        const QString said = refusal(withLine(c.line, c.value));
        EXPECT_TRUE(said.startsWith("Orvane cannot start: " + path + " ")) << said.toStdString();
        EXPECT_TRUE(said.contains(c.says)) << said.toStdString();
    }
}

TEST_F(ConfigFault, MissingFileOrAFolderInItsPlaceIsRefusedNamingThePath)
{
    EXPECT_EQ(refusalOfFileAsItIs().toStdString(),
              ("Orvane cannot start: The settings file " + path + " is missing.").toStdString());
    ASSERT_TRUE(QDir().mkpath(path));
    const QString said = refusalOfFileAsItIs();
    EXPECT_TRUE(said.startsWith("Orvane cannot start: The settings file " + path + " cannot be read")) << said.toStdString();
}
