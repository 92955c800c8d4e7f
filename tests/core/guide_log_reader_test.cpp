// The guide log read back: a log in the other guiders' layout written by hand
// from the format's public description (calibration, dithers, settling, lost
// stars, a cut last line), damaged logs, and frames.csv.
#include "guide_log_reader.h"

#include <gtest/gtest.h>

using namespace orvane;

namespace {

const char *const kOtherGuiderLog =
    "PHD2 version 2.6.11, Log version 2.5. Log enabled at 2024-03-09 20:40:00\n"
    "\n"
    "Calibration Begins at 2024-03-09 20:45:00\n"
    "Equipment Profile = Simulator\n"
    "Camera = Simulator, gain = 95, full size = 1280 x 1024, have dark, dark dur = 1000\n"
    "Exposure = 1000 ms\n"
    "Mount = On-camera, Calibration Step = 1000 ms, Calibration Distance = 25 px, Assume orthogonal axes = no\n"
    "Lock position = 640.100, 512.200, Star position = 640.100, 512.200, HFD = 2.41 px\n"
    "Direction,Step,dx,dy,x,y,Dist\n"
    "West,0,0.000,0.000,640.100,512.200,0.000\n"
    "West,1,5.100,0.300,645.200,512.500,5.109\n"
    "West,2,10.200,0.600,650.300,512.800,10.218\n"
    "West calibration complete. Angle = 3.4 deg, Rate = 5.110 px/sec, Parity = Normal\n"
    "North,0,0.000,0.000,650.300,512.800,0.000\n"
    "North,1,-0.300,5.000,650.000,517.800,5.009\n"
    "North calibration complete. Angle = 93.4 deg, Rate = 5.009 px/sec, Parity = Normal\n"
    "Calibration guide speeds: RA = 7.5 a-s/s, Dec = 7.5 a-s/s\n"
    "Calibration complete, mount = On-camera.\n"
    "\n"
    "Guiding Begins at 2024-03-09 20:50:00\n"
    "Dither = both axes, Dither scale = 1.000, Image noise reduction = none, Guide-frame time lapse = 0, Server enabled\n"
    "Pixel scale = 1.50 arc-sec/px, Binning = 1, Focal length = 770 mm\n"
    "Search region = 15 px, Star mass tolerance = 50.0%\n"
    "Mount = On-camera, connected, guiding enabled, xAngle = 3.4, xRate = 5.110, yAngle = 93.4, yRate = 5.009, parity = +/+\n"
    "Lock position = 650.000, 517.800, Star position = 650.100, 517.700, HFD = 2.40 px\n"
    "Frame,Time,mount,dx,dy,RARawDistance,DECRawDistance,RAGuideDistance,DECGuideDistance,RADuration,RADirection,"
    "DECDuration,DECDirection,XStep,YStep,StarMass,SNR,ErrorCode\n"
    "1,1.000,\"Mount\",0.300,-0.400,0.280,-0.410,0.200,-0.290,39,W,58,S,,,12543,42.10,0\n"
    "2,2.000,\"Mount\",0.000,0.300,0.020,0.300,0.000,0.210,0,,42,N,,,12610,41.90,0\n"
    "3,3.000,\"DROP\",,,,,,,,,,,,,0,0.00,2,\"Star lost - low SNR\"\n"
    "INFO: Star lost - low SNR\n"
    "4,4.000,\"Mount\",-0.400,0.000,-0.400,-0.020,-0.280,0.000,55,E,0,,,,12400,40.20,0\n"
    "INFO: DITHER by 1.210, -0.840, new lock pos = 651.210, 516.960\n"
    "INFO: SETTLING STATE CHANGE, Settling started\n"
    "5,5.000,\"Mount\",-1.200,0.800,-1.150,0.860,-0.800,0.600,160,E,120,N,,,12390,40.00,0\n"
    "6,6.000,\"Mount\",-0.300,0.200,-0.290,0.210,-0.200,0.150,40,E,30,N,,,12500,41.00,0\n"
    "INFO: SETTLING STATE CHANGE, Settling complete\n"
    "7,7.000,\"Mount\",0.100,0.100,0.100,0.100,0.000,0.000,0,,0,,,,12450,41.50,0\n"
    "8,8.000,\"Mount\",0.2";

} // namespace

TEST(GuideLogReader, ReadsAnotherGuidersLogUpToItsCutLastLine)
{
    const GuideLogContents log = readGuideLog(kOtherGuiderLog);
    EXPECT_EQ(log.program, "PHD2 version 2.6.11");
    ASSERT_EQ(log.calibrations.size(), 1u);
    const LoggedCalibration &cal = log.calibrations[0];
    EXPECT_EQ(cal.begins, QDateTime(QDate(2024, 3, 9), QTime(20, 45)));
    ASSERT_EQ(cal.steps.size(), 5u);
    EXPECT_EQ(cal.steps[2].direction, "West");
    EXPECT_DOUBLE_EQ(cal.steps[2].dxPx, 10.2);
    EXPECT_TRUE(cal.complete);
    EXPECT_EQ(cal.results.size(), 4);

    ASSERT_EQ(log.sessions.size(), 1u);
    const GuideSession &s = log.sessions[0];
    EXPECT_EQ(s.calibration, 0);
    EXPECT_EQ(s.star, "650.000, 517.800");
    EXPECT_EQ(s.arcsecPerPx, 1.5);
    EXPECT_FALSE(s.ends.isValid());
    ASSERT_EQ(s.steps.size(), 7u) << "the cut row 8 is not read";
    EXPECT_TRUE(s.steps[2].lost);
    EXPECT_EQ(s.steps[0].raDirection, "W");
    EXPECT_EQ(s.steps[0].decMs, 58);
    EXPECT_DOUBLE_EQ(s.lengthS(), 7.0);
    ASSERT_EQ(s.settling.size(), 1u);
    EXPECT_DOUBLE_EQ(s.settling[0].fromS, 4.0);
    EXPECT_DOUBLE_EQ(s.settling[0].toS, 6.0);
    const auto kinds = [&](LoggedEvent::Kind kind) {
        return std::count_if(s.events.begin(), s.events.end(), [&](const LoggedEvent &e) { return e.kind == kind; });
    };
    EXPECT_EQ(kinds(LoggedEvent::Dither), 1);
    EXPECT_EQ(kinds(LoggedEvent::StarLost), 1);

    EXPECT_EQ(log.stoppedLine, 38);
    EXPECT_EQ(log.stoppedWhy, "line 38 cannot be read (the file ends within it): the log is read up to line 37.");

    // Steps 5 and 6 settle after the dither: left out on request, and said so.
    const SpanFigures all = spanFigures(s, 0, 1e9, false);
    EXPECT_EQ(all.steps, 7);
    EXPECT_EQ(all.lost, 1);
    EXPECT_NEAR(all.peakPx, std::hypot(1.2, 0.8), 1e-12);
    const SpanFigures settled = spanFigures(s, 0, 1e9, true);
    EXPECT_EQ(settled.settlingLeftOut, 2);
    EXPECT_NEAR(settled.rmsXPx, std::sqrt((0.09 + 0 + 0.16 + 0.01) / 4), 1e-12);
    EXPECT_NEAR(settled.peakPx, 0.5, 1e-12);
    // A span selected: steps 1 and 2 only.
    const SpanFigures span = spanFigures(s, 0.5, 2.5, true);
    EXPECT_EQ(span.measured, 2);
    EXPECT_NEAR(span.rmsYPx, std::sqrt((0.16 + 0.09) / 2), 1e-12);
}

TEST(GuideLogReader, ADamagedLogSaysWhereItStopped)
{
    QByteArray text = kOtherGuiderLog;
    text.replace("4,4.000,\"Mount\",-0.400", "4,4.000,\"Mount\",-0.4x0");
    GuideLogContents log = readGuideLog(text);
    ASSERT_EQ(log.sessions.size(), 1u);
    EXPECT_EQ(log.sessions[0].steps.size(), 3u);
    EXPECT_EQ(log.stoppedLine, 31);
    EXPECT_TRUE(log.stoppedWhy.contains("not a number")) << log.stoppedWhy.toStdString();

    text = kOtherGuiderLog;
    text.replace("Star lost - low SNR\n", QByteArray("Star lost\0\0\0\n", 13));
    log = readGuideLog(text);
    EXPECT_EQ(log.stoppedLine, 30);
    EXPECT_EQ(log.sessions[0].steps.size(), 3u);

    // Not a guide log at all: nothing found, nothing refused.
    log = readGuideLog("just some text\n");
    EXPECT_TRUE(log.sessions.empty());
    EXPECT_EQ(log.stoppedLine, 0);
}

TEST(GuideLogReader, ReadsFramesCsvAndTellsABadRow)
{
    const QByteArray csv = "File,UTC start,UTC end,Exposure s,Camera,Mount,Line doubling,Guide steps,RMS x px,RMS y px,"
                           "RMS px,Peak px,Steps star lost,RMS arcsec,Peak arcsec\n"
                           "Image001.bmp,2024-03-09T20:50:01.000,2024-03-09T20:50:31.000,30.000,Sim,simulated,off,30,"
                           "0.300,0.400,0.500,1.100,0,,\n"
                           "garbage\n";
    QStringList problems;
    const std::vector<RecordedFrame> frames = readFramesCsv(csv, problems);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].file, "Image001.bmp");
    EXPECT_DOUBLE_EQ(frames[0].rmsPx, 0.5);
    EXPECT_EQ(frames[0].utcStart, QDateTime(QDate(2024, 3, 9), QTime(20, 50, 1), Qt::UTC));
    EXPECT_EQ(problems, QStringList{"frames.csv line 3 cannot be read; it is left out"});
}
