// Guided runs on the simulated rig with the guide log following them: the log
// read back line by line, frames.csv against the saved frames, and the folder
// or disk that cannot be written.

#include "fault_fixture.h"
#include "guide_log.h"
#include "test_support.h"

#include <QRegularExpression>

#include <cmath>

#include <sys/stat.h>

using namespace orvane;
using namespace orvane::test;

namespace {

const QString kStamp = QStringLiteral("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d");

QStringList linesOf(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    EXPECT_EQ(lines.takeLast(), ""); // every line ends with its line break
    return lines;
}

void expectMatch(const QString &line, const QString &pattern)
{
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^%1$").arg(pattern)).match(line).hasMatch())
        << line.toStdString() << "\n  does not match " << pattern.toStdString();
}

struct Rms {
    double sumX = 0, sumY = 0;
    int n = 0;
    double x() const { return n ? std::sqrt(sumX / n) : 0; }
    double y() const { return n ? std::sqrt(sumY / n) : 0; }
};

TEST(GuideLog, AGuidedRunIsLoggedLineByLineAndEveryFrameRecorded)
{
    FaultRig rig(2);
    rig.markOffset = QPointF(2, -1); // the guide steps see drift and correct it
    rig.duringFrame(2, [&rig] {
        rig.panel.controls.guiding = false;
        rig.pump.at(rig.clock.now() + 1000, [&rig] { rig.panel.controls.guiding = true; });
    });
    auto log = std::make_unique<GuideLog>(rig.rig.context(), GuideLogOptions{});
    rig.sequence.addGuideObserver(log.get());
    ASSERT_TRUE(rig.run());
    ASSERT_TRUE(rig.panel.controls.notices.isEmpty()) << rig.panel.controls.notices.join("\n").toStdString();
    const QString path = log->filePath();
    rig.sequence.removeGuideObserver(log.get());
    log.reset();
    EXPECT_EQ(QFileInfo(path).absolutePath(), QDir(rig.saveDir).filePath("guide-logs"));
    expectMatch(QFileInfo(path).fileName(), "guide_log-\\d{4}-\\d\\d-\\d\\dT\\d\\d-\\d\\d-\\d\\d\\.txt");

    const QStringList lines = linesOf(path);
    ASSERT_GT(lines.size(), 12);
    expectMatch(lines[0], "Orvane version 4\\.0\\. PHD2 log version 2\\.5\\. Log enabled at " + kStamp);
    EXPECT_EQ(lines[1], "");
    expectMatch(lines[2], "Guiding Begins at " + kStamp);
    EXPECT_EQ(lines[3], "Pixel scale = N/A arc-sec/px, Binning = 1, Focal length = N/A mm");
    EXPECT_TRUE(lines[4].startsWith("RA = N/A hr, Dec = N/A deg, Hour angle = N/A hr, Pier side = Unknown"));
    EXPECT_EQ(lines[5], "Mount = simulated, xAngle = 0.0, xRate = 5.000, yAngle = 90.0, yRate = 5.000");
    expectMatch(lines[6], "Lock position = \\d+\\.\\d{3}, \\d+\\.\\d{3}");
    EXPECT_TRUE(lines[7].startsWith("Frame,Time,mount,dx,dy,RARawDistance,"));

    // The rows: numbered from 1, in time order, the moves those that went out on the wire.
    QStringList moves, infos;
    std::vector<Rms> perFrame(1);
    int frame = 0;
    double lastS = -1;
    qsizetype at = 8;
    for (; at < lines.size() && !lines[at].startsWith("Guiding Ends at "); ++at) {
        if (lines[at].startsWith("INFO: ")) {
            infos << lines[at];
            if (lines[at].startsWith("INFO: Frame saved as "))
                perFrame.emplace_back();
            continue;
        }
        const QStringList f = lines[at].split(u',');
        ASSERT_EQ(f.size(), kGuideLogColumns) << lines[at].toStdString();
        EXPECT_EQ(f[0].toInt(), ++frame);
        EXPECT_GE(f[1].toDouble(), lastS);
        lastS = f[1].toDouble();
        expectMatch(f[1], "\\d+\\.\\d{3}");
        EXPECT_EQ(f[2], "\"Mount\"") << "the star stays in the box all run";
        EXPECT_EQ(f[5], f[3]) << "x drives right ascension: DirLeft/DirRight are e/w";
        EXPECT_EQ(f[6], f[4]);
        for (const QString &letter : {f[10], f[12]})
            if (!letter.isEmpty())
                moves << letter.toLower();
        perFrame.back().sumX += f[3].toDouble() * f[3].toDouble();
        perFrame.back().sumY += f[4].toDouble() * f[4].toDouble();
        ++perFrame.back().n;
    }
    ASSERT_LT(at + 1, lines.size());
    expectMatch(lines[at], "Guiding Ends at " + kStamp);
    EXPECT_EQ(lines[at + 1], "");
    expectMatch(lines.last(), "Log closed at " + kStamp);
    EXPECT_EQ(at + 3, lines.size());
    EXPECT_GE(frame, 6);
    EXPECT_EQ(infos, (QStringList{"INFO: Frame saved as Image001.bmp", "INFO: Guiding unticked",
                                  "INFO: Guiding ticked", "INFO: Frame saved as Image002.bmp"}));
    QStringList wire;
    for (const LinkSend &s : rig.tap.sends)
        if (s.delivered && s.bytes.startsWith(":RG#:M"))
            wire << QString::fromLatin1(s.bytes.mid(6, 1));
    EXPECT_FALSE(wire.isEmpty());
    EXPECT_EQ(moves, wire);

    // frames.csv: one row per saved frame, its times those of the exposure, its RMS the log's.
    const QStringList csv = linesOf(QDir(rig.saveDir).filePath("frames.csv"));
    ASSERT_EQ(csv.size(), 3);
    EXPECT_EQ(csv[0], framesCsvHeader());
    for (int n = 1; n <= 2; ++n) {
        SCOPED_TRACE(n);
        const QStringList f = csv[n].split(u',');
        ASSERT_EQ(f.size(), 15);
        EXPECT_EQ(f[0], frameNames(n, n).front());
        EXPECT_EQ(std::make_pair(clockMsOf(f[1]), clockMsOf(f[2])), exposureInPortRecord(rig, n));
        EXPECT_EQ(f.mid(4, 3), (QStringList{"Simulated camera", "simulated", "off"}));
        const Rms &logged = perFrame[n - 1];
        EXPECT_EQ(f[7].toInt(), logged.n);
        EXPECT_NEAR(f[8].toDouble(), logged.x(), 0.002);
        EXPECT_NEAR(f[9].toDouble(), logged.y(), 0.002);
        EXPECT_NEAR(f[10].toDouble(), std::hypot(logged.x(), logged.y()), 0.003);
        EXPECT_GE(f[11].toDouble(), f[10].toDouble() - 0.001); // the peak is at least the RMS
        EXPECT_EQ(f[12], "0");
    }
}

TEST(GuideLog, WithNightFoldersTheFramesTheirRecordAndTheLogShareTonightsFolder)
{
    FaultRig rig(2);
    rig.markOffset = QPointF(2, -1);
    rig.state.SaveFormat.nightFolders = true;
    auto log = std::make_unique<GuideLog>(rig.rig.context(), GuideLogOptions{});
    rig.sequence.addGuideObserver(log.get());
    ASSERT_TRUE(rig.run());
    rig.sequence.removeGuideObserver(log.get());
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(rig.clock.utcMs(rig.clock.now()));
    const QDir night(QDir(rig.saveDir).filePath(local.addSecs(-12 * 3600).date().toString("yyyy-MM-dd")));
    EXPECT_EQ(QFileInfo(log->filePath()).absolutePath(), night.absolutePath());
    EXPECT_TRUE(night.exists(frameNames(1, 1).front()));
    EXPECT_TRUE(night.exists(frameNames(2, 2).front()));
    EXPECT_EQ(linesOf(night.filePath("frames.csv")).size(), 3);
    EXPECT_EQ(QDir(rig.saveDir).entryList(QDir::Files), QStringList()) << "nothing in the save folder itself";
}

TEST(GuideLog, ASecondRunTheSameNightAppendsASection)
{
    FaultRig rig(1);
    QString path;
    for (int start = 0; start < 2; ++start) { // the program started twice
        GuideLog log(rig.rig.context(), GuideLogOptions{});
        rig.sequence.addGuideObserver(&log);
        ASSERT_TRUE(rig.run());
        rig.sequence.removeGuideObserver(&log);
        EXPECT_TRUE(path.isEmpty() || path == log.filePath());
        path = log.filePath();
    }
    const QStringList lines = linesOf(path);
    EXPECT_EQ(lines.filter(QRegularExpression("Log enabled at")).size(), 1);
    EXPECT_EQ(lines.filter(QRegularExpression("^Guiding Begins at")).size(), 2);
    EXPECT_EQ(lines.filter(QRegularExpression("^Log closed at")).size(), 2);
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files).size(), 1);
}

TEST(GuideLog, AFolderOrDiskThatCannotBeWrittenIsToldOnceAndGuidingGoesOn)
{
    struct Case {
        const char *what;
        std::function<void(FaultRig &)> spoil;
        const char *told; // the notice's start
    };
    const Case cases[] = {
        {"a file where the folder goes",
         [](FaultRig &rig) { QFile(QDir(rig.saveDir).filePath("guide-logs")).open(QIODevice::WriteOnly); },
         "The guide log cannot be written in "},
        {"a full disk under tonight's log",
         [](FaultRig &rig) {
             QDir().mkpath(QDir(rig.saveDir).filePath("guide-logs"));
             const QDateTime now = QDateTime::fromMSecsSinceEpoch(rig.clock.utcMs(rig.clock.now()));
             QFile::link("/dev/full", QDir(rig.saveDir).filePath("guide-logs/" + guideLogFileName(now)));
         },
         "The guide log cannot be written in "},
        {"a full disk under frames.csv",
         [](FaultRig &rig) { QFile::link("/dev/full", QDir(rig.saveDir).filePath("frames.csv")); },
         "frames.csv in "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        FaultRig rig(2);
        c.spoil(rig);
        GuideLog log(rig.rig.context(), GuideLogOptions{});
        rig.sequence.addGuideObserver(&log);
        ASSERT_TRUE(rig.run());
        ASSERT_TRUE(rig.run()); // a second run does not tell the same again
        rig.sequence.removeGuideObserver(&log);
        EXPECT_EQ(rig.noticesNaming(c.told), 1)
            << rig.panel.controls.notices.join("\n").toStdString();
        EXPECT_EQ(rig.imageReadouts(), 4);
        EXPECT_TRUE(QFileInfo::exists(QDir(rig.saveDir).filePath("Image004.bmp")));
        EXPECT_GT(rig.tap.deliveredCount(kStopAll), 4); // guided all along
    }
}

TEST(GuideLog, ALinkOrAPipeUnderTonightsLogIsToldAndLeftAlone)
{
    for (bool pipe : {false, true}) {
        SCOPED_TRACE(pipe ? "a pipe" : "a link");
        FaultRig rig(1);
        const QString folder = QDir(rig.saveDir).filePath("guide-logs");
        QDir().mkpath(folder);
        const QString target = QDir(rig.saveDir).filePath("someone else's.txt");
        ASSERT_TRUE(writeAll(target, "theirs\n"));
        const QDateTime now = QDateTime::fromMSecsSinceEpoch(rig.clock.utcMs(rig.clock.now()));
        const QString log = QDir(folder).filePath(guideLogFileName(now));
        ASSERT_TRUE(pipe ? ::mkfifo(QFile::encodeName(log).constData(), 0600) == 0 : QFile::link(target, log));
        GuideLog guideLog(rig.rig.context(), GuideLogOptions{});
        rig.sequence.addGuideObserver(&guideLog);
        ASSERT_TRUE(rig.run()); // returns: a pipe is never waited on
        rig.sequence.removeGuideObserver(&guideLog);
        EXPECT_EQ(readAll(target), "theirs\n");
        const QString cause = pipe ? "it is not a plain file, so it was left alone" : "it is a symbolic link, so it was left alone";
        EXPECT_EQ(rig.noticesNaming(cause), 1)
            << rig.panel.controls.notices.join("\n").toStdString();
    }
}

} // namespace
