// orvane.ini through its one reader and writer: the README's own example read
// whole and written back byte for byte but for the changed line, the key table
// against the README's key list, bad values told with the value used instead,
// repeated groups and keys told, and files that are no plain file refused at once.

#include "frame_format.h"
#include "guiding_settings.h"
#include "ini_keys.h"
#include "ini_lines.h"
#include "ini_values.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace orvane {
namespace {

// The example orvane.ini in README.md, without the indentation of its block.
QByteArray readmeExample()
{
    QFile readme(QStringLiteral(ORVANE_SOURCE_DIR "/README.md"));
    EXPECT_TRUE(readme.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = readme.readAll().split('\n');
    QByteArray out;
    bool inside = false;
    for (const QByteArray &line : lines) {
        if (line.startsWith("- `orvane.ini`")) {
            inside = true;
            continue;
        }
        if (inside && line.startsWith("## "))
            break;
        if (inside && line.startsWith("      "))
            out += line.mid(6) + '\n';
    }
    return out;
}

struct Entry {
    QString group, key;
    int line;
};

// Every "key=value" line of `text` with its group, as a user reads the file.
std::vector<Entry> entriesOf(const QByteArray &text)
{
    std::vector<Entry> out;
    QString group;
    int number = 0;
    for (const QByteArray &raw : text.split('\n')) {
        ++number;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'[')) {
            group = line.mid(1, line.indexOf(u']') - 1);
        } else if (!line.isEmpty() && !line.startsWith(u';') && line.contains(u'=')) {
            out.push_back({group, line.left(line.indexOf(u'=')).trimmed(), number});
        }
    }
    return out;
}

// Reads the key by its type; the notes it leaves.
QStringList readByType(const QByteArray &text, const IniKey &row, const Entry &e)
{
    QStringList notes;
    IniValues ini(text, QStringLiteral("orvane.ini"), notes);
    const QByteArray group = e.group.toLatin1(), key = e.key.toLatin1();
    switch (row.type) {
    case IniType::Number:
    case IniType::Whole:
        EXPECT_TRUE(ini.number(group, key, QStringLiteral("-")).has_value());
        break;
    case IniType::Switch:
        EXPECT_TRUE(ini.truth(group, key, QStringLiteral("-")).has_value());
        break;
    case IniType::Word:
        EXPECT_TRUE(ini.word(group, key, QStringLiteral("-")).has_value());
        break;
    case IniType::Text:
        EXPECT_TRUE(ini.text(group, key).has_value());
        break;
    }
    EXPECT_EQ(ini.entry(group, key)->line, e.line);
    return notes;
}

// The lines of `a` and `b` that differ (both must have as many).
std::vector<int> differingLines(const QByteArray &a, const QByteArray &b)
{
    const QList<QByteArray> x = a.split('\n'), y = b.split('\n');
    EXPECT_EQ(x.size(), y.size());
    std::vector<int> out;
    for (qsizetype i = 0; i < std::min(x.size(), y.size()); ++i)
        if (x[i] != y[i])
            out.push_back(int(i) + 1);
    return out;
}

TEST(IniFile, TheReadmeExampleIsReadWholeAndWrittenBackChangingOnlyTheChangedLine)
{
    const QByteArray plain = readmeExample();
    ASSERT_GT(plain.count('\n'), 80);
    // As users save it too: CR LF line ends and a byte-order mark.
    QByteArray windows = "\xEF\xBB\xBF" + plain;
    windows.replace("\n", "\r\n");
    for (const QByteArray &text : {plain, windows}) {
        SCOPED_TRACE(text.startsWith('\xEF') ? "CR LF with a byte-order mark" : "LF");
        EXPECT_TRUE(iniLayoutProblems(text, QStringLiteral("orvane.ini")).isEmpty())
            << iniLayoutProblems(text, QStringLiteral("orvane.ini")).join(u'\n').toStdString();
        const std::vector<Entry> entries = entriesOf(plain);
        for (const Entry &e : entries) {
            SCOPED_TRACE((e.group + u' ' + e.key).toStdString());
            const IniKey *row = findIniKey(e.group, e.key);
            ASSERT_NE(row, nullptr) << "the README names a key the table lacks";
            EXPECT_EQ(readByType(text, *row, e), QStringList());
        }
        // Headers with a comment after them count: [guiding] is read.
        QStringList notes;
        const GuidingSettings guiding = guidingSettingsFromIni(text, QStringLiteral("orvane.ini"), notes);
        EXPECT_DOUBLE_EQ(guiding.aggressiveness, 0.7);
        EXPECT_EQ(frameFormatFromIni(text, QStringLiteral("orvane.ini"), notes).site.object, "M 42");
        EXPECT_TRUE(notes.isEmpty());

        const int line = iniEntry(text, QStringLiteral("guiding"), QStringLiteral("algorithm"))->line;
        const QByteArray changed = withIniValue(text, QStringLiteral("guiding"), QStringLiteral("algorithm"),
                                                QStringLiteral("centroid"));
        EXPECT_EQ(differingLines(text, changed), std::vector<int>{line});
        EXPECT_EQ(iniValue(changed, QStringLiteral("guiding"), QStringLiteral("algorithm")), "centroid");
        EXPECT_TRUE(changed.contains("algorithm=centroid               ; box (the six-pixel run"));
        // Writing every key again with the value it holds changes nothing.
        QByteArray same = text;
        for (const Entry &e : entries)
            same = withIniValue(same, e.group, e.key, iniValue(text, e.group, e.key));
        EXPECT_EQ(same, text);
    }
}

TEST(IniFile, EveryKeyOfTheTableIsInTheReadmeExampleOnce)
{
    const std::vector<Entry> entries = entriesOf(readmeExample());
    for (const IniKey &row : iniKeys()) {
        SCOPED_TRACE(std::string(row.group) + " " + row.key);
        const auto named = std::count_if(entries.begin(), entries.end(), [&](const Entry &e) {
            return findIniKey(e.group, e.key) == &row;
        });
        EXPECT_GE(named, 1);
        EXPECT_NE(QString::fromLatin1(row.help), QString());
    }
}

TEST(IniFile, WhatPeopleWriteIsRead)
{
    const QByteArray text = "\xEF\xBB\xBF[mount]   # the simulated mount\r\n"
                            "  swapEW   =   TRUE   ; yes\r\n"
                            "mirrored=False#not a comment\r\n"
                            "decSkewDeg = 3 # a comment\r\n"
                            "[guidelog]\r\nfolder = logs, tonight\r\n";
    QStringList notes;
    IniValues ini(text, QStringLiteral("orvane.ini"), notes);
    EXPECT_EQ(ini.truth("mount", "swapEW", {}), true);
    EXPECT_EQ(ini.number("mount", "decSkewDeg", {}), 3.0);
    EXPECT_EQ(ini.truth("mount", "mirrored", {}), std::nullopt); // "#" without a blank before it is the value's
    EXPECT_EQ(ini.text("guidelog", "folder"), "logs, tonight");  // a comma is part of the folder
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(ini.entry("mount", "mirrored")->line, 3);
    // A new key goes at the end of its group, a new group at the end of the file, in the file's line ends.
    const QByteArray added = withIniValue(withIniValue(text, QStringLiteral("mount"), QStringLiteral("swapNS"),
                                                       QStringLiteral("true")),
                                          QStringLiteral("sky"), QStringLiteral("cloudEveryS"), QStringLiteral("5"));
    EXPECT_EQ(added, QByteArray("\xEF\xBB\xBF[mount]   # the simulated mount\r\n"
                                "  swapEW   =   TRUE   ; yes\r\n"
                                "mirrored=False#not a comment\r\n"
                                "decSkewDeg = 3 # a comment\r\nswapNS=true\r\n"
                                "[guidelog]\r\nfolder = logs, tonight\r\n\r\n[sky]\r\ncloudEveryS=5\r\n"));
}

TEST(IniFile, ABadValueIsToldOnceWithTheValueUsedInstead)
{
    const QString longValue(2 * 1024 * 1024, u'x');
    const struct {
        QByteArray text;
        std::function<QString(IniValues &)> read; // the value used, as text
        const char *sentence;
    } cases[] = {
        {"[mount]\nguideRatePxPerSec=abc\n",
         [](IniValues &i) { return QString::number(i.number("mount", "guideRatePxPerSec", "5").value_or(5)); },
         "orvane.ini line 2: [mount] guideRatePxPerSec: \"abc\" is not a number from 0 to 1000; using 5."},
        {"[sky]\n\ndriftXPxPerMin=nan\n",
         [](IniValues &i) { return QString::number(i.number("sky", "driftXPxPerMin", "6").value_or(6)); },
         "orvane.ini line 3: [sky] driftXPxPerMin: \"nan\" is not a number from -1000000 to 1000000; using 6."},
        {"[guide]\nminStarSnr=\n",
         [](IniValues &i) { return QString::number(i.number("guide", "minStarSnr", "6").value_or(6)); },
         "orvane.ini line 2: [guide] minStarSnr: \"\" is not a number above 0 up to 1000000; using 6."},
        {"[guiding]\nmaxMoveMs=2.5\n",
         [](IniValues &i) { return QString::number(i.whole("guiding", "maxMoveMs", "1000").value_or(1000)); },
         "orvane.ini line 2: [guiding] maxMoveMs: \"2.5\" is not a whole number of ms from 1 to 99999; using 1000."},
        {"[mount]\nswapEW=yes\n",
         [](IniValues &i) { return i.truth("mount", "swapEW", "false").value_or(false) ? "true" : "false"; },
         "orvane.ini line 2: [mount] swapEW: \"yes\" is neither true nor false; using false."},
        {"[save]\nformat=jpeg\n",
         [](IniValues &i) { return QString::number(i.word("save", "format", "bmp").value_or(0)); },
         "orvane.ini line 2: [save] format: \"jpeg\" is not one of bmp, fits, both; using bmp."},
        {"[indi]\nframeTimeoutS=" + longValue.toLatin1() + "\n",
         [](IniValues &i) { return QString::number(i.number("indi", "frameTimeoutS", "30").value_or(30)); },
         "orvane.ini line 2: [indi] frameTimeoutS: \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx…\" is not a number from 1 "
         "to 3600; using 30."},
    };
    const QString expectedUsed[] = {"5", "6", "6", "1000", "false", "0", "30"};
    int i = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sentence);
        QStringList notes;
        IniValues ini(c.text, QStringLiteral("orvane.ini"), notes);
        EXPECT_EQ(c.read(ini), expectedUsed[i++]);
        EXPECT_EQ(notes, QStringList{QString::fromUtf8(c.sentence)});
    }
}

TEST(IniFile, AGroupOrAKeyWrittenTwiceIsToldAndTheLaterValueCounts)
{
    const QByteArray text = "[serial]\nport1=/dev/ttyUSB0\n[mount]\nswapNS=true\nswapNS=false\n[serial]\nport3=x\n";
    EXPECT_EQ(iniLayoutProblems(text, QStringLiteral("orvane.ini")),
              (QStringList{"orvane.ini line 5: [mount] swapNS appears a second time (first at line 4); the value on "
                           "line 5 is used.",
                           "orvane.ini line 6: [serial] appears a second time (first at line 1); its keys are read as "
                           "if they stood in the first."}));
    EXPECT_EQ(iniValue(text, QStringLiteral("mount"), QStringLiteral("swapNS")), "false");
    EXPECT_EQ(iniValue(text, QStringLiteral("serial"), QStringLiteral("port3")), "x");
    // The line that counts is the one written.
    EXPECT_EQ(withIniValue(text, QStringLiteral("mount"), QStringLiteral("swapNS"), QStringLiteral("true")),
              QByteArray("[serial]\nport1=/dev/ttyUSB0\n[mount]\nswapNS=true\nswapNS=true\n[serial]\nport3=x\n"));
}

TEST(IniFile, OnlyAPlainFileIsReadAndAFifoDoesNotBlock)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo.ini"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(readIniFile(fifo).problem, fifo + " cannot be read: it is not a plain file; every orvane.ini key keeps "
                                                "its default.");
    EXPECT_EQ(readIniFile(dir.path()).problem,
              dir.path() + " cannot be read: it is a folder; every orvane.ini key keeps its default.");
    const IniFileText missing = readIniFile(dir.filePath(QStringLiteral("none.ini")));
    EXPECT_TRUE(missing.problem.isEmpty());
    EXPECT_TRUE(missing.text.isEmpty());
}

} // namespace
} // namespace orvane
