#include "sequence_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;
using orvane::test::SequenceRig;
using Bytes = std::vector<int>;
using Times = std::vector<int64_t>;

namespace {

const QByteArray kAck("\x06", 1);

class SequenceTest : public ::testing::Test, protected SequenceRig {
protected:
    // Guiding ticked, the mount answers, the star is clicked at `markMs` where the
    // guide search finds it, (300, 200); from then on the camera shows `afterMark`.
    void prepareGuided(uint32_t markMs, std::optional<QImage> afterMark = std::nullopt)
    {
        panel.controls.guiding = true;
        opener.reply = "P";
        darkCamera->frame = test::DarkCamera::withStar(302, 201); // its first six-pixel run centres on (300, 200)
        markStarAt(markMs, 300, 200);
        if (afterMark)
            pump.at(markMs, [this, frame = *afterMark] { darkCamera->frame = frame; });
    }
};

} // namespace

TEST_F(SequenceTest, DefaultsTakeOneTwoSecondExposureWithoutSerialTraffic)
{
    sequence.onCommand1Click();
    // ExposureState at Start; the read-out's amp on, image, exposure; GetImageState at the end.
    EXPECT_EQ(bytes(), (Bytes{3, 1, 0, 3, 0}));
    EXPECT_EQ(timesOf(1, 1000), (Times{2000})); // the exposure lasted exactly 2000 ms
    EXPECT_EQ(timesOf(0, 1000), (Times{2100, 2350}));
    for (const PortWrite &w : port.writes())
        EXPECT_EQ(w.address, 888);
    EXPECT_EQ(opener.opens, 0);
    EXPECT_TRUE(opener.writes.isEmpty());
    EXPECT_TRUE(panel.statusHistory.contains("Image 1"));
    EXPECT_EQ(panel.status(), "Ready");
    EXPECT_EQ(panel.caption, "Start");
    EXPECT_EQ(panel.progressMax, 2000);
    EXPECT_EQ(panel.progressValue, 0);
    EXPECT_EQ(state.SequenceRunning, 0);
    EXPECT_FALSE(camera.sequencing());
    EXPECT_FALSE(picture.reserved());
    EXPECT_FALSE(picture.sequenceWriting());
    EXPECT_TRUE(panel.messages.isEmpty());
}

TEST_F(SequenceTest, FrameCountZeroOrNegativeExposesNothing)
{
    for (const char *count : {"0", "-3"}) {
        port.clearRecord();
        panel.frameCount = count;
        sequence.onCommand1Click();
        EXPECT_EQ(bytes(), (Bytes{3, 0})) << count;
        EXPECT_EQ(panel.caption, "Start");
    }
}

TEST_F(SequenceTest, TenthFrameStatusHasNoLeadingZeros)
{
    panel.frameCount = "10";
    panel.exposure = "0.1";
    sequence.onCommand1Click();
    EXPECT_TRUE(panel.statusHistory.contains("Image 10"));
    EXPECT_EQ(timesOf(1, 1000).size(), 10u);
}

TEST_F(SequenceTest, StopDuringAnExposureAbandonsItWithoutReadOut)
{
    panel.frameCount = "3";
    clickStartAt(1500);
    sequence.onCommand1Click();
    EXPECT_EQ(bytes(), (Bytes{3, 0}));
    EXPECT_EQ(timesOf(0, 1000), (Times{500}));
    EXPECT_EQ(panel.caption, "Start");
}

TEST_F(SequenceTest, GuidedRunProbesGuidesAndStopsTheMount)
{
    prepareGuided(3000);
    sequence.onCommand1Click();
    // Probe at 1000, answer read at 1200; first guide exposure 1200..2200, read out
    // until 2450; star marked at 3000; the exposure 3000..5000 has one guide step
    // just after 1000 ms; read-out 5000..5350.
    EXPECT_EQ(bytes(), (Bytes{3, 2, 3, 0, 3, 2, 3, 1, 0, 3, 0}));
    EXPECT_EQ(timesOf(2, 1000), (Times{1200, 3001}));
    EXPECT_EQ(timesOf(1, 1000), (Times{4000}));
    ASSERT_GE(opener.writes.size(), 3);
    EXPECT_EQ(opener.writes.front(), kAck);
    EXPECT_EQ(opener.writes[1], kStopAll);   // the guide step stops the mount first
    EXPECT_EQ(opener.writes.back(), kStopAll); // and the end stops it again
    EXPECT_FALSE(comm.PortOpen());
    EXPECT_EQ(panel.beeps, 1);
    EXPECT_TRUE(panel.statusHistory.contains("Mark Star"));
    EXPECT_EQ(state.StarX, 300);
    EXPECT_EQ(state.StarY, 200);
    EXPECT_TRUE(panel.messages.isEmpty());
}

TEST_F(SequenceTest, SilentTelescopeEndsTheRunInOrder)
{
    panel.controls.guiding = true;
    sequence.onCommand1Click();
    EXPECT_EQ(panel.messages, QStringList{"Can't find Telescope!"});
    // The guide frame, the mark prompt and frame 1's status still happen, then the end.
    EXPECT_EQ(bytes(), (Bytes{3, 2, 3, 0, 3, 0}));
    EXPECT_EQ(panel.beeps, 1);
    EXPECT_TRUE(panel.statusHistory.contains("Image 1"));
    EXPECT_EQ(opener.writes, (QByteArrayList{kAck, kStopAll}));
    EXPECT_FALSE(comm.PortOpen());
}

TEST_F(SequenceTest, PortThatCannotOpenIsReportedAndTheEndStepsRun)
{
    panel.controls.guiding = true;
    opener.openError = "Permission denied opening /dev/ttyUSB0 — is your user in the dialout group?";
    sequence.onCommand1Click();
    ASSERT_EQ(panel.messages.size(), 1);
    EXPECT_EQ(panel.messages.front(), opener.openError);
    // One message and the probe's detail; no word of sends on the closed link.
    EXPECT_EQ(panel.controls.notices, QStringList{"No mount found on comm port 0 (test port 0, 9600 baud): " +
                                                  opener.openError});
    EXPECT_EQ(bytes(), (Bytes{0}));
    EXPECT_EQ(panel.caption, "Start");
    EXPECT_EQ(panel.beeps, 0);
}

TEST_F(SequenceTest, StopDuringGuidePreparationStillTakesTheGuideFrame)
{
    prepareGuided(999999); // never reached: Stop comes first
    clickStartAt(1700);    // during the first guide exposure
    sequence.onCommand1Click();
    EXPECT_EQ(bytes(), (Bytes{3, 2, 3, 0, 3, 0}));
    EXPECT_EQ(timesOf(2, 1000), (Times{700}));
    EXPECT_EQ(panel.beeps, 1);
    EXPECT_TRUE(panel.statusHistory.contains("Image 1"));
}

TEST_F(SequenceTest, StopDuringAGuideStepLetsTheStepFinish)
{
    prepareGuided(3000, test::DarkCamera::withStar(289, 200)); // 13 pixels left of the mark
    panel.exposure = "5";
    clickStartAt(4100); // inside the guide read-out 4001..4251
    sequence.onCommand1Click();
    EXPECT_EQ(bytes(), (Bytes{3, 2, 3, 0, 3, 2, 3, 0}));
    // The step's StartGuideMove ran (stop-all and a move), then the end's stop-all.
    EXPECT_EQ(opener.writes, (QByteArrayList{kAck, kStopAll, ":RG#:Mw#", kStopAll}));
}

TEST_F(SequenceTest, ALostStarMovesNothingIsToldOnceAndGuidingResumes)
{
    prepareGuided(3000, test::DarkCamera::blank()); // the star is gone after the mark
    panel.exposure = "7"; // guide steps just after 4000, 5000, ... 9000
    pump.at(8500, [this] { darkCamera->frame = test::DarkCamera::withStar(289, 200); });
    struct Recorder : GuideObserver {
        std::vector<GuideStep> steps;
        std::vector<GuideEvent> events;
        void guideStep(const GuideStep &step) override { steps.push_back(step); }
        void guideEvent(GuideEvent event, uint32_t, const QString &) override { events.push_back(event); }
    } followers;
    sequence.addGuideObserver(&followers);
    sequence.onCommand1Click();
    // Those who follow the run hear every step as the mount got it, and the loss once.
    EXPECT_EQ(followers.events, (std::vector{GuideEvent::StarMarked, GuideEvent::GuidingBegins, GuideEvent::StarLost,
                                             GuideEvent::StarFound, GuideEvent::GuidingEnds}));
    ASSERT_EQ(followers.steps.size(), 6u);
    EXPECT_FALSE(followers.steps[4].starFound);
    EXPECT_EQ(followers.steps[4].direction, "");
    EXPECT_TRUE(followers.steps[5].starFound);
    EXPECT_EQ(followers.steps[5].direction, "w");
    EXPECT_EQ(followers.steps[5].dxPx, -13);
    EXPECT_GT(followers.steps[5].moveMs, 0);
    // Five steps without a star send only stop-all; the sixth sees the star and moves.
    EXPECT_EQ(opener.writes, (QByteArrayList{kAck, kStopAll, kStopAll, kStopAll, kStopAll, kStopAll, kStopAll,
                                             ":RG#:Mw#", kStopAll}));
    EXPECT_EQ(panel.beeps, 2); // "Mark Star", then the loss once
    ASSERT_EQ(panel.controls.notices.size(), 1);
    EXPECT_TRUE(panel.controls.notices.front().startsWith("The guide star is lost"));
    const qsizetype lost = panel.statusHistory.indexOf("Star lost");
    ASSERT_GE(lost, 0);
    EXPECT_EQ(panel.statusHistory.indexOf("Image 1", lost), panel.statusHistory.lastIndexOf("Star lost") + 1);
    EXPECT_EQ(panel.controls.dx, "-13");
}

TEST_F(SequenceTest, UntickingGuidingDuringACorrectionStopsTheMountAtOnce)
{
    prepareGuided(3000, test::DarkCamera::withStar(289, 200)); // a 13-pixel correction from about 4251
    panel.exposure = "3";
    pump.at(4600, [this] { panel.controls.guiding = false; });
    std::vector<uint32_t> at;
    opener.onWrite = [&](const QByteArray &) { at.push_back(clock.now()); };
    sequence.onCommand1Click();
    EXPECT_EQ(opener.writes, (QByteArrayList{kAck, kStopAll, ":RG#:Mw#", kStopAll, kStopAll}));
    ASSERT_EQ(at.size(), 5u);
    EXPECT_EQ(at[3], 4600u); // not at the end of the run
}

TEST_F(SequenceTest, StopDuringAReadOutSavesThatFrameAndEndsAtTheNext)
{
    QTemporaryDir dir;
    state.SaveDir = dir.path();
    panel.save = true;
    panel.frameCount = "3";
    clickStartAt(3050); // inside frame 1's amp wait 3000..3100
    sequence.onCommand1Click();
    EXPECT_EQ(bytes(), (Bytes{3, 1, 0, 3, 0}));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath("Image001.bmp")));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("Image002.bmp")));
    EXPECT_TRUE(panel.statusHistory.contains("Image 2"));
}

TEST_F(SequenceTest, GuideStepsFollowTheScheduleFromTheExposureStart)
{
    prepareGuided(5000); // the first guide frame is read out by 4450; frame 1 starts at the mark
    panel.exposure = "10";
    panel.guide = "3";
    sequence.onCommand1Click();
    // Guide read-outs 3200 ms after Start (the first guide frame), then three per
    // exposure, each just after 3000, 6000 and 9000 ms of it.
    EXPECT_EQ(timesOf(2, 1000), (Times{3200, 4000 + 3001, 4000 + 6001, 4000 + 9001}));
}

TEST_F(SequenceTest, FiveSavedFramesAreNumberedOneToFive)
{
    QTemporaryDir dir;
    state.SaveDir = dir.path();
    panel.save = true;
    panel.frameCount = "5";
    panel.exposure = "1";
    sequence.onCommand1Click();
    QStringList names = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(names, (QStringList{"Image001.bmp", "Image002.bmp", "Image003.bmp", "Image004.bmp", "Image005.bmp",
                                  "frames.csv"}));
    EXPECT_EQ(state.FrameNumber, 6);
}

TEST_F(SequenceTest, EachStepOfARunIsToldOnceWithTheWholeSecondsLeft)
{
    QTemporaryDir dir;
    state.SaveDir = dir.path();
    panel.save = true;
    panel.frameCount = "2";
    panel.exposure = "2.5";
    prepareGuided(3000);
    sequence.onCommand1Click();
    EXPECT_EQ(panel.controls.activities,
              (QStringList{"probing the simulated mount", "exposing the first guide frame",
                           "waiting for the guide star to be clicked", "frame 1 of 2, 3 s left",
                           "frame 1 of 2, 2 s left", "frame 1 of 2, 1 s left", "reading out frame 1 of 2",
                           "saving Image001.bmp", "frame 2 of 2, 3 s left", "frame 2 of 2, 2 s left",
                           "frame 2 of 2, 1 s left", "reading out frame 2 of 2", "saving Image002.bmp", ""}));
    EXPECT_EQ(panel.controls.saved, (QStringList{dir.filePath("Image001.bmp"), dir.filePath("Image002.bmp")}));
}

TEST_F(SequenceTest, GuidingTickedDuringAnUnguidedRunUsesTheLongSchedule)
{
    panel.exposure = "250";
    pump.at(1500, [this] { panel.controls.guiding = true; });
    sequence.onCommand1Click();
    EXPECT_EQ(timesOf(2, 1000), (Times{100001, 200001}));
    EXPECT_EQ(opener.opens, 0); // the link was never opened; sends were dropped
    EXPECT_EQ(panel.controls.notices.size(), 1); // and the lost link was told once
}

TEST_F(SequenceTest, AClickDuringAnExposureMovesTheBoxAtTheNextStep)
{
    prepareGuided(3000, test::DarkCamera::withStar(102, 51)); // the search centres it on (100, 50)
    panel.exposure = "3";
    markStarAt(4500, 101.5, 52.5); // beside the star
    // The steps read out at 4001 and 5001 (250 ms each); look after the second.
    uint32_t newEdge = 0, oldEdge = 0;
    pump.at(5300, [&] {
        newEdge = picture.pixel(80, 50);
        oldEdge = picture.pixel(300 - 20, 200);
    });
    sequence.onCommand1Click();
    EXPECT_EQ(state.StarX, 100);
    EXPECT_EQ(state.StarY, 50);
    const uint32_t red = 255;
    EXPECT_EQ(newEdge, red); // the box's left edge around the new mark
    EXPECT_EQ(oldEdge, 0u);  // the new guide frame replaced the first step's box
}

TEST_F(SequenceTest, NumbersThatDoNotFitAreRefusedBeforeAnythingStarts)
{
    panel.exposure = "3e9";
    sequence.onCommand1Click();
    ASSERT_EQ(panel.messages.size(), 1);
    EXPECT_TRUE(panel.messages[0].contains("\"Exposure sec\""));
    panel.exposure = "2";
    panel.frameCount = "40000";
    sequence.onCommand1Click();
    ASSERT_EQ(panel.messages.size(), 2);
    EXPECT_TRUE(panel.messages[1].contains("\"Number of expsures\""));
    EXPECT_TRUE(port.writes().empty());
    EXPECT_EQ(panel.caption, "Start");
}

TEST_F(SequenceTest, ExposuresAndGuideIntervalsWithoutLengthAreRefusedNamingTheBox)
{
    // Such a run read frames out back to back and never heard Stop or Exit.
    panel.frameCount = "30000";
    panel.controls.guiding = true;
    for (const char *text : {"0", "-1", "nan", "0.0004"})
        for (QString *box : {&panel.exposure, &panel.guide}) {
            panel.messages.clear();
            panel.exposure = panel.guide = "2";
            *box = text;
            sequence.onCommand1Click();
            ASSERT_EQ(panel.messages.size(), 1) << text;
            const char *label = box == &panel.exposure ? "Exposure sec" : "Guide sec";
            EXPECT_TRUE(panel.messages[0].startsWith(QStringLiteral("\"%1\" holds %2;").arg(label, text)))
                << panel.messages[0].toStdString();
            EXPECT_TRUE(port.writes().empty()) << text;
            EXPECT_EQ(panel.caption, "Start");
        }
}

TEST_F(SequenceTest, AFileNameThatLeavesTheSaveFolderIsRefused)
{
    QTemporaryDir dir;
    state.SaveDir = dir.filePath("frames");
    ASSERT_TRUE(QDir().mkpath(state.SaveDir));
    panel.save = true;
    // ".." is refused only as a path part: "..001.bmp" is a file in the folder.
    EXPECT_TRUE(fileStemProblem("..").isEmpty());
    EXPECT_TRUE(fileStemProblem("M31..Ha").isEmpty());
    for (const char *stem : {"../Image", "sub/Image", "/tmp/Image"}) {
        panel.messages.clear();
        panel.controls.stem = stem;
        sequence.onCommand1Click();
        ASSERT_EQ(panel.messages.size(), 1) << stem;
        EXPECT_TRUE(panel.messages[0].startsWith(QStringLiteral("\"File Name\" holds %1;").arg(stem)))
            << panel.messages[0].toStdString();
        EXPECT_TRUE(port.writes().empty()) << stem;
    }
    // Edited to leave the folder during a run: that frame is not saved, and the user hears why.
    panel.controls.stem = "Image";
    panel.frameCount = "2";
    pump.at(clock.now() + 1000, [this] { panel.controls.stem = "../Image"; });
    sequence.onCommand1Click();
    EXPECT_EQ(QDir(dir.path()).entryList({"*.bmp"}, QDir::Files), QStringList{});
    EXPECT_EQ(QDir(state.SaveDir).entryList({"*.bmp"}, QDir::Files), QStringList{});
    EXPECT_EQ(panel.controls.notices.size(), 2);
}

TEST_F(SequenceTest, RunsRightAcrossTheClockWrap)
{
    for (uint32_t start : {0x7FFFFFFFu - 700, 0xFFFFFFFFu - 700}) {
        SequenceRig rig(start);
        rig.panel.exposure = "1.5";
        rig.sequence.onCommand1Click();
        EXPECT_EQ(rig.timesOf(1, start), (Times{1500})) << start;
        EXPECT_EQ(rig.bytes(), (Bytes{3, 1, 0, 3, 0}));
    }
}

TEST_F(SequenceTest, AnotherHolderOfThePictureAreaKeepsTheSequenceOut)
{
    picture.reserve("the deinterlace tool");
    sequence.onCommand1Click();
    ASSERT_EQ(panel.messages.size(), 1);
    EXPECT_TRUE(panel.messages[0].contains("the deinterlace tool"));
    EXPECT_TRUE(port.writes().empty());
}
