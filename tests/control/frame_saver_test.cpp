// Numbered frame files: the names a run of frames gets from the Index box and
// the frame number, and saves that fail without stopping anything.

#include "rig_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace orvane {
namespace {

class FrameSaverTest : public test::RigTest {
protected:
    FrameSaverTest() { state.SaveDir = dir.path(); }

    // Saves the first `count` frames of a run with `index` in the Index box; the
    // file names made. The frame number is 1 at Start and raised before each
    // read-out, so the first frame is saved with frame number 2.
    QStringList saveFrames(const QString &index, int count)
    {
        panel.index = index;
        for (int frame = 1; frame <= count; ++frame) {
            state.FrameNumber = int16_t(frame + 1);
            EXPECT_TRUE(rig.SaveImageFrame().ok()) << panel.notices.join(u'\n').toStdString();
        }
        QStringList names = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
        names.removeOne(QStringLiteral("frames.csv")); // the record of the frames saved
        return names;
    }

    QTemporaryDir dir;
};

TEST_F(FrameSaverTest, IndexBoxAndFrameNumberGiveThePaddedNames)
{
    EXPECT_EQ(saveFrames(QStringLiteral("0"), 3),
              (QStringList{QStringLiteral("Image001.bmp"), QStringLiteral("Image002.bmp"), QStringLiteral("Image003.bmp")}));
}

TEST_F(FrameSaverTest, AFrameNeverReplacesAFileThatIsThere)
{
    // Last night's frames 001 and 003 are there; tonight's run starts at Index 0
    // again and goes on after the highest, never into the gap at 002.
    for (const char *name : {"Image001.bmp", "Image003.bmp"})
        ASSERT_TRUE(test::writeAll(dir.filePath(name), QByteArray("last night ") + name));
    EXPECT_EQ(saveFrames(QStringLiteral("0"), 3),
              (QStringList{"Image001.bmp", "Image003.bmp", "Image004.bmp", "Image005.bmp", "Image006.bmp"}));
    for (const char *name : {"Image001.bmp", "Image003.bmp"})
        EXPECT_EQ(test::readAll(dir.filePath(name)), QByteArray("last night ") + name);
    EXPECT_EQ(panel.index, "3"); // the offset the numbering now uses: the next frame is 3 + its number
    ASSERT_EQ(panel.notices.size(), 1);
    EXPECT_EQ(panel.notices[0], "Image001.bmp is there already; this frame is saved as Image004.bmp and the "
                                "numbering goes on from there.");
}

TEST_F(FrameSaverTest, ASeriesGoesOnAfterItsHighestNumberWhateverGapsItHas)
{
    // Last night's 001-010 without 005, another stem's higher numbers and a
    // FITS of this stem; the highest of this stem under either name counts.
    for (int i = 1; i <= 10; ++i) {
        if (i != 5) {
            ASSERT_TRUE(test::writeAll(dir.filePath(QStringLiteral("Image%1.bmp").arg(i, 3, 10, QLatin1Char('0'))), "old"));
        }
    }
    ASSERT_TRUE(test::writeAll(dir.filePath("Image012.fits"), "old"));
    ASSERT_TRUE(test::writeAll(dir.filePath("Dark099.bmp"), "old"));
    ASSERT_TRUE(test::writeAll(dir.filePath("Image777.txt"), "old"));
    const QStringList names = saveFrames(QStringLiteral("0"), 2);
    EXPECT_FALSE(names.contains("Image005.bmp"));
    EXPECT_TRUE(names.contains("Image013.bmp") && names.contains("Image014.bmp")) << names.join(u' ').toStdString();
    EXPECT_EQ(panel.index, "12");
}

TEST_F(FrameSaverTest, ALinkUnderAFrameNameIsToldAndLeftAlone)
{
    // A link pointing nowhere: saving through it would make the file it names.
    const QString target = dir.filePath("elsewhere.bmp");
    ASSERT_TRUE(QFile::link(target, dir.filePath("Image001.bmp")));
    const QStringList names = saveFrames(QStringLiteral("0"), 1);
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_TRUE(QFileInfo(dir.filePath("Image001.bmp")).isSymLink());
    EXPECT_TRUE(names.contains("Image002.bmp"));
    ASSERT_EQ(panel.notices.size(), 1);
    EXPECT_EQ(panel.notices[0], "Image001.bmp is a symbolic link, left alone; this frame is saved as Image002.bmp and "
                                "the numbering goes on from there.");
}

TEST_F(FrameSaverTest, FramesCsvThatIsALinkOrAPipeIsToldAndNeverWaitedOn)
{
    const QString csv = dir.filePath("frames.csv");
    const QString target = dir.filePath("target.txt");
    ASSERT_TRUE(test::writeAll(target, "mine\n"));
    ASSERT_TRUE(QFile::link(target, csv));
    saveFrames(QStringLiteral("0"), 1);
    EXPECT_EQ(test::readAll(target), "mine\n");
    ASSERT_EQ(panel.notices.size(), 1);
    EXPECT_EQ(panel.notices[0], "frames.csv in " + dir.path() + " cannot be written: it is a symbolic link, so it was "
                                "left alone. The frames themselves are saved.");

    ASSERT_TRUE(QFile::remove(csv));
    ASSERT_EQ(::mkfifo(QFile::encodeName(csv).constData(), 0600), 0);
    panel.notices.clear();
    state.FrameNumber = 3; // returns at once: a pipe without a reader would block an open for writing
    EXPECT_TRUE(rig.SaveImageFrame().ok());
    ASSERT_EQ(panel.notices.size(), 1);
    EXPECT_TRUE(panel.notices[0].contains("it is not a plain file, so it was left alone")) << panel.notices[0].toStdString();
}

TEST_F(FrameSaverTest, NumbersGrowPastThreeDigits)
{
    EXPECT_EQ(saveFrames(QStringLiteral("98"), 3),
              (QStringList{QStringLiteral("Image099.bmp"), QStringLiteral("Image100.bmp"), QStringLiteral("Image101.bmp")}));
}

TEST_F(FrameSaverTest, FourDigitsGetNothingInFront)
{
    EXPECT_EQ(saveFrames(QStringLiteral("998"), 2),
              (QStringList{QStringLiteral("Image1000.bmp"), QStringLiteral("Image999.bmp")}));
}

TEST_F(FrameSaverTest, NegativeIndexCountsTheSignAsACharacter)
{
    EXPECT_EQ(saveFrames(QStringLiteral("-5"), 1), QStringList{QStringLiteral("Image0-4.bmp")});
}

TEST_F(FrameSaverTest, LettersReadAsZeroAndHalvesRoundToEven)
{
    EXPECT_EQ(saveFrames(QStringLiteral("abc"), 1), QStringList{QStringLiteral("Image001.bmp")});
    QDir(dir.path()).removeRecursively();
    QDir().mkpath(dir.path());
    EXPECT_EQ(saveFrames(QStringLiteral("2.5"), 1), QStringList{QStringLiteral("Image003.bmp")});
}

TEST_F(FrameSaverTest, IndexesBeyondSixteenBitsNeverStopTheRun)
{
    panel.index = QStringLiteral("32767");
    state.FrameNumber = 32767;
    ASSERT_NO_THROW((void)rig.SaveImageFrame());
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("Image65533.bmp"))));

    panel.index = QStringLiteral("1e30"); // held at the 32-bit limit, then widened
    state.FrameNumber = 2;
    ASSERT_NO_THROW((void)rig.SaveImageFrame());
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("Image2147483648.bmp"))));
    EXPECT_TRUE(panel.notices.isEmpty());
}

TEST_F(FrameSaverTest, StemIsUsedAsTypedAndMayBeEmpty)
{
    panel.stem = QString();
    EXPECT_EQ(saveFrames(QStringLiteral("0"), 1), QStringList{QStringLiteral("001.bmp")});
    EXPECT_EQ(frameFileName(QStringLiteral("/"), QStringLiteral("Image"), 1), QStringLiteral("//Image001.bmp"));
    EXPECT_EQ(frameFileName(QStringLiteral("/d"), QStringLiteral("M 31 "), 12), QStringLiteral("/d/M 31 012.bmp"));
}

TEST_F(FrameSaverTest, SavesThePictureWithoutTheGuideBox)
{
    QImage frame(640, 480, QImage::Format_RGB32);
    frame.fill(qRgb(10, 20, 30));
    picture.setPicture(frame);
    picture.drawBox(100, 100, 120, 120, 0x00FF00);
    state.FrameNumber = 2;
    ASSERT_TRUE(rig.SaveImageFrame().ok());
    const QImage saved(dir.filePath(QStringLiteral("Image001.bmp")));
    EXPECT_EQ(QFile(dir.filePath(QStringLiteral("Image001.bmp"))).size(), 921654);
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), frame);
}

TEST_F(FrameSaverTest, FailedSaveIsToldWithoutStopping)
{
    state.SaveDir = dir.filePath(QStringLiteral("gone"));
    state.FrameNumber = 5;
    const Result result = rig.SaveImageFrame();
    ASSERT_FALSE(result.ok());
    ASSERT_EQ(panel.notices.size(), 1);
    EXPECT_TRUE(panel.notices[0].contains(dir.filePath(QStringLiteral("gone/Image004.bmp"))));
    EXPECT_TRUE(panel.notices[0].contains(QStringLiteral("No such file or directory")));
}

TEST_F(FrameSaverTest, NothingIsSavedWhileTheDeinterlaceToolHoldsThePicture)
{
    picture.reserve(QStringLiteral("the deinterlace tool"));
    state.FrameNumber = 1;
    EXPECT_FALSE(rig.SaveImageFrame().ok());
    ASSERT_EQ(panel.notices.size(), 1);
    EXPECT_TRUE(panel.notices[0].contains(QStringLiteral("the deinterlace tool")));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(FrameSaverTest, NumberingCoversEveryNameTheFrameIsSavedUnder)
{
    const struct {
        SaveFormat format;
        const char *there;
        QStringList after;
        const char *notice;
    } cases[] = {
        {SaveFormat::Both, "Image001.fits", {"Image001.fits", "Image002.bmp", "Image002.fits"},
         "Image001.fits is there already; this frame is saved as Image002.bmp and Image002.fits and the numbering "
         "goes on from there."},
        {SaveFormat::Fits, "Image001.bmp", {"Image001.bmp", "Image001.fits"}, nullptr},
        {SaveFormat::Bmp, "Image001.fits", {"Image001.bmp", "Image001.fits"}, nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.there);
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        panel.notices.clear();
        ASSERT_TRUE(test::writeAll(dir.filePath(c.there), "last night"));
        state.SaveFormat.format = c.format;
        EXPECT_EQ(saveFrames(QStringLiteral("0"), 1), c.after);
        EXPECT_EQ(test::readAll(dir.filePath(c.there)), "last night");
        EXPECT_EQ(panel.notices, c.notice ? QStringList{c.notice} : QStringList{});
    }
}

TEST_F(FrameSaverTest, FailedFitsSaveIsToldOnceNamingTheFile)
{
    state.SaveFormat.format = SaveFormat::Fits;
    state.SaveDir = dir.filePath(QStringLiteral("gone"));
    state.FrameNumber = 5;
    ASSERT_FALSE(rig.SaveImageFrame().ok());
    ASSERT_EQ(panel.notices.size(), 1);
    EXPECT_TRUE(panel.notices[0].startsWith(QStringLiteral("The image frame was not saved. Cannot save the FITS frame ") +
                                            dir.filePath(QStringLiteral("gone/Image004.fits"))))
        << panel.notices[0].toStdString();
}

} // namespace
} // namespace orvane
