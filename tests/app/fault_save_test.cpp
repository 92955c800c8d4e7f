// The save folder going away and the disk filling up in the middle of a guided
// run: each frame that cannot be written is named to the user with the cause,
// the run goes on, and every frame written before stays whole.
#include "fault_fixture.h"
#include "fits_file.h"
#include "test_support.h"

#include <sys/resource.h>

#include <csignal>

using namespace orvane;
using namespace orvane::test;

namespace {

// Lowers the largest file this process may write, and puts it back. With
// SIGXFSZ ignored a write past the limit fails with EFBIG instead of ending
// the process, as on a full disk.
class FileSizeLimit {
public:
    FileSizeLimit() : oldHandler_(std::signal(SIGXFSZ, SIG_IGN)) { ::getrlimit(RLIMIT_FSIZE, &old_); }
    ~FileSizeLimit()
    {
        lift();
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool lower(rlim_t bytes)
    {
        rlimit low = old_;
        low.rlim_cur = bytes;
        return ::setrlimit(RLIMIT_FSIZE, &low) == 0;
    }
    void lift() { ::setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
    void (*oldHandler_)(int);
};

} // namespace

TEST(FaultSave, SaveFolderMovedAwayThenAFileInItsPlaceThenBack)
{
    FaultRig rig(5);
    const QString moved = rig.dir.filePath("frames-moved");
    rig.duringFrame(3, [&] { // moved away, and a file of its name put there
        ASSERT_TRUE(QDir().rename(rig.saveDir, moved));
        QFile blocker(rig.saveDir);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    });
    rig.duringFrame(4, [&] { ASSERT_TRUE(QFile::remove(rig.saveDir)); }); // simply gone
    rig.duringFrame(5, [&] { ASSERT_TRUE(QDir().mkpath(rig.saveDir)); }); // back
    ASSERT_TRUE(rig.run());

    EXPECT_EQ(rig.imageReadouts(), 5);
    EXPECT_TRUE(rig.wholeFrames(moved, frameNames(1, 2))) << rig.framesIn(moved).join(" ").toStdString();
    EXPECT_TRUE(rig.wholeFrames(rig.saveDir, frameNames(5, 5))) << rig.framesIn(rig.saveDir).join(" ").toStdString();
    // One notice per lost frame, naming its file and why it could not be written.
    ASSERT_EQ(rig.panel.controls.notices.size(), 2) << rig.panel.controls.notices.join("\n").toStdString();
    const QString third = rig.panel.controls.notices[0], fourth = rig.panel.controls.notices[1];
    EXPECT_TRUE(third.contains(QDir(rig.saveDir).filePath("Image003.bmp"))) << third.toStdString();
    EXPECT_TRUE(third.contains("Not a directory")) << third.toStdString();
    EXPECT_TRUE(fourth.contains(QDir(rig.saveDir).filePath("Image004.bmp"))) << fourth.toStdString();
    EXPECT_TRUE(fourth.contains("No such file or directory")) << fourth.toStdString();
    EXPECT_TRUE(rig.panel.messages.isEmpty()); // nothing blocked the run

    EXPECT_EQ(rig.lastPortByte(), rig.settings.GetImageState);
    EXPECT_EQ(rig.tap.sends.back().bytes, QByteArray(kStopAll));
    EXPECT_TRUE(rig.tap.sends.back().delivered);
}

TEST(FaultSave, DiskFullLeavesNoCutFileUnderAFrameName)
{
    FaultRig rig(5);
    FileSizeLimit limit;
    bool lowered = true;
    // Room for half a frame: a 921,654-byte picture cannot be written whole.
    rig.duringFrame(3, [&] { lowered = limit.lower(kFrameFileBytes / 2); });
    rig.duringFrame(5, [&] { limit.lift(); });
    const bool returned = rig.run();
    limit.lift();
    if (!lowered)
        GTEST_SKIP() << "this system does not let the file size limit be lowered";
    ASSERT_TRUE(returned);

    EXPECT_EQ(rig.imageReadouts(), 5);
    // Frames 3 and 4 are not there at all, not even in part or as a temporary
    // file; frames before and after are whole.
    const QStringList expected = frameNames(1, 2) + frameNames(5, 5);
    EXPECT_TRUE(rig.wholeFrames(rig.saveDir, expected)) << rig.framesIn(rig.saveDir).join(" ").toStdString();
    ASSERT_EQ(rig.panel.controls.notices.size(), 2) << rig.panel.controls.notices.join("\n").toStdString();
    for (int i = 0; i < 2; ++i) {
        const QString notice = rig.panel.controls.notices[i];
        EXPECT_TRUE(notice.contains(QDir(rig.saveDir).filePath(frameNames(3 + i, 3 + i).front()))) << notice.toStdString();
        EXPECT_TRUE(notice.contains("only 460827 of 921654 bytes could be written; the disk may be full")) << notice.toStdString();
    }
    EXPECT_EQ(rig.lastPortByte(), rig.settings.GetImageState);
    EXPECT_EQ(rig.tap.sends.back().bytes, QByteArray(kStopAll));
}

TEST(FaultSave, DiskFullLeavesNoCutFitsFrameAndTellsEachLossOnce)
{
    FaultRig rig(4);
    rig.state.SaveFormat.format = SaveFormat::Fits;
    FileSizeLimit limit;
    bool lowered = true;
    rig.duringFrame(2, [&] { lowered = limit.lower(kFrameFileBytes / 2); });
    rig.duringFrame(4, [&] { limit.lift(); });
    const bool returned = rig.run();
    limit.lift();
    if (!lowered)
        GTEST_SKIP() << "this system does not let the file size limit be lowered";
    ASSERT_TRUE(returned);

    EXPECT_EQ(rig.imageReadouts(), 4);
    EXPECT_EQ(rig.framesIn(rig.saveDir), (QStringList{"Image001.fits", "Image004.fits"}));
    for (const char *name : {"Image001.fits", "Image004.fits"})
        EXPECT_TRUE(decodeFits(readAll(QDir(rig.saveDir).filePath(name))).ok()) << name;
    ASSERT_EQ(rig.panel.controls.notices.size(), 2) << rig.panel.controls.notices.join("\n").toStdString();
    for (int i = 0; i < 2; ++i) {
        const QString notice = rig.panel.controls.notices[i];
        EXPECT_TRUE(notice.startsWith("The image frame was not saved. Cannot save the FITS frame " +
                                      QDir(rig.saveDir).filePath(QStringLiteral("Image00%1.fits").arg(2 + i))))
            << notice.toStdString();
        EXPECT_TRUE(notice.contains("the disk may be full")) << notice.toStdString();
    }
}
