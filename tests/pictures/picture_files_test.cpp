// Loading and saving the picture area's picture: the exact BMP form written,
// pictures of other sizes and formats, and failures that keep every file whole.

#include "fits_file.h"
#include "picture_area.h"
#include "picture_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace orvane {
namespace {

using test::bmpBitsPerPixel;
using test::bmpCompression;
using test::bmpField32;
using test::noisePicture;
using test::readAll;
using test::samePixels;

class PictureFilesTest : public ::testing::Test {
protected:
    QString file(const QString &name) const { return dir.filePath(name); }
    QTemporaryDir dir;
    PictureArea area;
};

TEST_F(PictureFilesTest, FrameIsWrittenAsUncompressed24BitBmpAndReadsBackIdentical)
{
    const QImage frame = noisePicture(640, 480, 1);
    area.setPicture(frame);
    ASSERT_TRUE(area.savePicture(file("frame.bmp")).ok());

    const QByteArray bytes = readAll(file("frame.bmp"));
    ASSERT_EQ(bytes.size(), 921654);
    EXPECT_EQ(bytes.left(2), "BM");
    EXPECT_EQ(bmpField32(bytes, 10), 54u); // pixels start after the two headers
    EXPECT_EQ(bmpBitsPerPixel(bytes), 24);
    EXPECT_EQ(bmpCompression(bytes), 0u);
    EXPECT_TRUE(samePixels(QImage(file("frame.bmp")), frame));
}

TEST_F(PictureFilesTest, FitsFramesLoadAndACutOneIsRefusedLeavingTheArea)
{
    const QImage frame = noisePicture(640, 480, 5);
    ResultOf<QByteArray> fits = encodeFits(frame, false, {});
    ASSERT_TRUE(fits.ok());
    ASSERT_TRUE(test::writeAll(file("frame.fits"), fits.value()));
    ASSERT_TRUE(test::writeAll(file("cut.fits"), fits.value().left(100000)));
    ASSERT_TRUE(area.loadPicture(file("frame.fits")).ok());
    EXPECT_TRUE(samePixels(area.picture(), frame));

    const Result cut = area.loadPicture(file("cut.fits"));
    ASSERT_FALSE(cut.ok());
    EXPECT_TRUE(cut.error().startsWith("Cannot load the picture " + file("cut.fits") +
                                       ": it is no FITS picture that can be shown: the file is cut short"))
        << cut.error().toStdString();
    EXPECT_TRUE(samePixels(area.picture(), frame));
}

TEST_F(PictureFilesTest, AnotherProgramReadsThe24BitFrame)
{
    const QString identify = QStandardPaths::findExecutable(QStringLiteral("identify"));
    if (identify.isEmpty())
        GTEST_SKIP() << "ImageMagick's identify is not installed";
    area.setPicture(noisePicture(640, 480, 2));
    ASSERT_TRUE(area.savePicture(file("frame.bmp")).ok());

    QProcess process;
    process.start(identify, {QStringLiteral("-format"), QStringLiteral("%w %h %z %r"), file("frame.bmp")});
    ASSERT_TRUE(process.waitForFinished(30000));
    // 8 bits in each of three directly stored channels: 24-bit colour.
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardOutput()).trimmed(), QStringLiteral("640 480 8 DirectClass sRGB"));
}

TEST_F(PictureFilesTest, IndexedAndGreyPicturesAreAlsoWritten24Bit)
{
    QImage grey = noisePicture(64, 48, 3).convertToFormat(QImage::Format_Grayscale8);
    QImage indexed = noisePicture(63, 47, 4).convertToFormat(QImage::Format_Indexed8);
    for (const QImage &picture : {grey, indexed}) {
        area.setPicture(picture);
        ASSERT_TRUE(area.savePicture(file("small.bmp")).ok());
        const QByteArray bytes = readAll(file("small.bmp"));
        EXPECT_EQ(bmpBitsPerPixel(bytes), 24);
        const int rowBytes = (picture.width() * 3 + 3) / 4 * 4; // rows padded to 4 bytes
        EXPECT_EQ(bytes.size(), 54 + rowBytes * picture.height());
        EXPECT_TRUE(samePixels(QImage(file("small.bmp")), picture));
    }
}

TEST_F(PictureFilesTest, LargerPictureIsShownCutButSavedWhole)
{
    const QImage large = noisePicture(800, 600, 5);
    area.setPicture(large);
    EXPECT_TRUE(samePixels(area.surface(), large.copy(0, 0, 640, 480)));
    ASSERT_TRUE(area.savePicture(file("large.bmp")).ok());
    EXPECT_TRUE(samePixels(QImage(file("large.bmp")), large));
}

TEST_F(PictureFilesTest, MarksOnTheSurfaceAreNotSaved)
{
    const QImage frame = noisePicture(640, 480, 6);
    area.setPicture(frame);
    area.drawBox(100, 100, 140, 140, 0x00FF00);
    ASSERT_TRUE(area.savePicture(file("frame.bmp")).ok());
    EXPECT_TRUE(samePixels(QImage(file("frame.bmp")), frame));
}

TEST_F(PictureFilesTest, NameIsUsedAsTypedAndBmpContentLoadsUnderAnyExtension)
{
    area.setPicture(noisePicture(32, 16, 7));
    ASSERT_TRUE(area.savePicture(file("no extension")).ok());
    ASSERT_TRUE(area.savePicture(file("looks like.png")).ok());
    EXPECT_TRUE(QFile::exists(file("no extension")));
    EXPECT_FALSE(QFile::exists(file("no extension.bmp")));
    EXPECT_EQ(readAll(file("looks like.png")).left(2), "BM");

    PictureArea other;
    ASSERT_TRUE(other.loadPicture(file("looks like.png")).ok());
    EXPECT_TRUE(samePixels(other.picture(), area.picture()));
}

TEST_F(PictureFilesTest, OddWidthsAndTopRowFirstFilesLoadExactly)
{
    const QImage odd = noisePicture(63, 47, 14); // rows padded to 4 bytes
    area.setPicture(odd);
    ASSERT_TRUE(area.savePicture(file("odd.bmp")).ok());
    PictureArea reader;
    ASSERT_TRUE(reader.loadPicture(file("odd.bmp")).ok());
    EXPECT_TRUE(samePixels(reader.picture(), odd));

    // The same picture stored top row first: a negative height, rows reversed.
    QByteArray bytes = readAll(file("odd.bmp"));
    const int rowBytes = (63 * 3 + 3) / 4 * 4;
    QByteArray flipped = bytes.left(54);
    for (int row = 46; row >= 0; --row)
        flipped += bytes.mid(54 + row * rowBytes, rowBytes);
    const uint32_t negative = uint32_t(-47);
    for (int i = 0; i < 4; ++i)
        flipped[22 + i] = char((negative >> (8 * i)) & 0xFF);
    ASSERT_TRUE(test::writeAll(file("topdown.bmp"), flipped));
    ASSERT_TRUE(reader.loadPicture(file("topdown.bmp")).ok());
    EXPECT_TRUE(samePixels(reader.picture(), odd));
}

TEST_F(PictureFilesTest, CutOffBmpIsNotTakenForAPicture)
{
    area.setPicture(noisePicture(640, 480, 15));
    ASSERT_TRUE(area.savePicture(file("whole.bmp")).ok());
    ASSERT_TRUE(test::writeAll(file("cut.bmp"), readAll(file("whole.bmp")).left(400000)));
    const QImage before = area.picture();
    const Result loaded = area.loadPicture(file("cut.bmp"));
    ASSERT_FALSE(loaded.ok());
    EXPECT_TRUE(loaded.error().contains(file("cut.bmp")));
    EXPECT_TRUE(loaded.error().contains(QStringLiteral("cut short")));
    EXPECT_TRUE(samePixels(area.picture(), before));
}

TEST_F(PictureFilesTest, FailedLoadNamesTheFileAndKeepsTheArea)
{
    const QImage before = noisePicture(640, 480, 8);
    area.setPicture(before);
    ASSERT_TRUE(test::writeAll(file("notes.bmp"), "these are not pixels"));

    const Result missing = area.loadPicture(file("missing.bmp"));
    ASSERT_FALSE(missing.ok());
    EXPECT_TRUE(missing.error().contains(file("missing.bmp")));
    EXPECT_TRUE(missing.error().contains(QStringLiteral("does not exist")));

    const Result notPicture = area.loadPicture(file("notes.bmp"));
    ASSERT_FALSE(notPicture.ok());
    EXPECT_TRUE(notPicture.error().contains(file("notes.bmp")));

    const Result folder = area.loadPicture(dir.path());
    ASSERT_FALSE(folder.ok());
    EXPECT_TRUE(folder.error().contains(QStringLiteral("folder")));

    const Result device = area.loadPicture(QStringLiteral("/dev/zero")); // would never end
    ASSERT_FALSE(device.ok());
    EXPECT_TRUE(device.error().contains(QStringLiteral("not a plain file")));

    EXPECT_TRUE(samePixels(area.picture(), before));
    EXPECT_TRUE(samePixels(area.surface(), before));
}

// A file saved over keeps its permissions, and where replacing it would lose
// something (other names linked to it, a folder that cannot be written to) it
// is written in place.
TEST_F(PictureFilesTest, AFileSavedOverStaysTheSameFile)
{
    ASSERT_TRUE(test::setMode(dir.path(), 0755));
    area.setPicture(noisePicture(640, 480, 10));
    const QByteArray expected = [this] {
        EXPECT_TRUE(area.savePicture(file("expected.bmp")).ok());
        return readAll(file("expected.bmp"));
    }();
    for (const auto &[linked, folderLocked] : {std::pair{false, false}, {true, false}, {false, true}}) {
        const QString folder = file(QStringLiteral("case-%1-%2").arg(linked).arg(folderLocked));
        const QString path = folder + "/kept.bmp";
        ASSERT_TRUE(QDir().mkdir(folder));
        ASSERT_TRUE(test::writeAll(path, "old"));
        ASSERT_TRUE(test::setMode(path, 0646)); // others may write it
        if (linked) {
            ASSERT_TRUE(test::hardLink(path, folder + "/twin.bmp"));
        }
        const test::FileIdentity before = test::identityOf(path);
        ASSERT_TRUE(test::setMode(folder, folderLocked ? 0555 : 0755));
        const auto save = [&] { return area.savePicture(path).ok(); };
        const bool saved = folderLocked ? test::asOrdinaryUser(save) : save();
        ASSERT_TRUE(test::setMode(folder, 0755));

        EXPECT_TRUE(saved) << linked << folderLocked;
        EXPECT_EQ(readAll(path), expected) << linked << folderLocked;
        EXPECT_EQ(test::identityOf(path).mode, before.mode) << linked << folderLocked;
        if (linked || folderLocked) {
            EXPECT_EQ(test::identityOf(path), before) << linked << folderLocked;
        }
        if (linked) {
            EXPECT_EQ(readAll(folder + "/twin.bmp"), expected);
        }
    }
}

class FailedSaveTest : public PictureFilesTest {
protected:
    void SetUp() override
    {
        area.setPicture(noisePicture(640, 480, 9));
        ASSERT_TRUE(test::writeAll(file("kept.bmp"), original));
    }
    // Nothing in the directory but what the test put there: no temporary leftovers.
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries); }

    const QByteArray original = QByteArray(5000, 'k');
};

TEST_F(FailedSaveTest, MissingDirectoryIsNamed)
{
    const Result saved = area.savePicture(file("absent/frame.bmp"));
    ASSERT_FALSE(saved.ok());
    EXPECT_TRUE(saved.error().contains(file("absent/frame.bmp")));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("kept.bmp")});
}

TEST_F(FailedSaveTest, FolderInPlaceOfTheFileIsLeftAlone)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("taken.bmp")));
    const Result saved = area.savePicture(file("taken.bmp"));
    ASSERT_FALSE(saved.ok());
    EXPECT_TRUE(saved.error().contains(file("taken.bmp")));
    EXPECT_TRUE(QFileInfo(file("taken.bmp")).isDir());
}

TEST_F(FailedSaveTest, PipeInPlaceOfTheFileIsLeftAlone)
{
    const QString pipe = file("pipe.bmp");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const Result saved = area.savePicture(pipe);
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error(), "Cannot save the picture " + pipe + ": it is not a plain file, so it was left alone.");
    struct stat after{};
    ASSERT_EQ(stat(QFile::encodeName(pipe).constData(), &after), 0);
    EXPECT_TRUE(S_ISFIFO(after.st_mode));
}

TEST_F(FailedSaveTest, FullDiskLeavesTheOldFileByteIdentical)
{
    // A file size limit stands in for a full disk; the signal it raises is ignored
    // so that the write fails instead. A hard-linked file is written in place,
    // and its old content put back.
    ASSERT_TRUE(test::hardLink(file("kept.bmp"), file("twin.bmp")));
    ASSERT_TRUE(test::writeAll(file("alone.bmp"), original));
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 100000; // bytes, far below a frame's 921,654
    if (setrlimit(RLIMIT_FSIZE, &small) != 0) {
        std::signal(SIGXFSZ, oldHandler);
        GTEST_SKIP() << "the file size limit cannot be lowered here";
    }

    const Result alone = area.savePicture(file("alone.bmp"));
    const Result linked = area.savePicture(file("kept.bmp"));

    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    for (const auto &[result, name] : {std::pair{alone, "alone.bmp"}, {linked, "kept.bmp"}}) {
        ASSERT_FALSE(result.ok()) << name;
        EXPECT_TRUE(result.error().contains(file(name))) << name;
        EXPECT_TRUE(result.error().contains(QStringLiteral("disk may be full"))) << result.error().toStdString();
        EXPECT_EQ(readAll(file(name)), original) << name;
    }
    EXPECT_TRUE(linked.error().endsWith(QStringLiteral("; the file holds its old content again.")))
        << linked.error().toStdString();
    EXPECT_EQ(test::identityOf(file("twin.bmp")).links, 2u);
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("alone.bmp"), QStringLiteral("kept.bmp"), QStringLiteral("twin.bmp")}));
}

TEST_F(FailedSaveTest, EmptyNameIsRefused)
{
    const Result saved = area.savePicture(QString());
    ASSERT_FALSE(saved.ok());
    EXPECT_TRUE(saved.error().contains(QStringLiteral("no file name")));
}

} // namespace
} // namespace orvane
