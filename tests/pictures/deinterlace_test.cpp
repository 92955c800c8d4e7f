// The row fill against a pixel-by-pixel reference, the reading of the dialog's
// selection, and batches over real files: what is rewritten, what is left,
// the status at every step and the hold on the picture area.

#include "deinterlace.h"
#include "deinterlace_window.h"
#include "picture_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace orvane {
namespace {

using test::noisePicture;
using test::readAll;
using test::sameRow;
using test::samePixels;

// The fill as one pixel read and one pixel write at a time, row 479 keeping its
// content where its source row 480 lies outside the area.
void referenceFill(PictureArea &area)
{
    for (int y = 2; y <= 478; y += 4) {
        for (int x = 0; x <= 639; ++x) {
            area.setPixel(x, y, area.pixel(x, y - 1));
            if (y + 2 < PictureArea::kHeight)
                area.setPixel(x, y + 1, area.pixel(x, y + 2));
        }
    }
}

TEST(DeinterlaceRows, MatchesThePixelByPixelRule)
{
    PictureArea fast, reference;
    const QImage frame = noisePicture(640, 480, 11);
    fast.setPicture(frame);
    reference.setPicture(frame);

    DeinterlaceRows(fast);
    referenceFill(reference);

    EXPECT_EQ(fast.surface(), reference.surface());
}

TEST(DeinterlaceRows, CopiesTheOuterRowsOfEachGroupOfFour)
{
    PictureArea area;
    const QImage before = noisePicture(640, 480, 12);
    area.setPicture(before);
    DeinterlaceRows(area);
    const QImage &after = area.surface();

    EXPECT_TRUE(sameRow(after, 0, before, 0));
    for (int k = 0; k < 120; ++k) {
        const int first = 4 * k + 1;
        SCOPED_TRACE(first);
        EXPECT_TRUE(sameRow(after, first, before, first));
        EXPECT_TRUE(sameRow(after, first + 1, before, first));
        if (first + 3 < 480) {
            EXPECT_TRUE(sameRow(after, first + 2, before, first + 3));
            EXPECT_TRUE(sameRow(after, first + 3, before, first + 3));
        }
    }
    EXPECT_TRUE(sameRow(after, 479, before, 479)); // its source lies below the area
}

TEST(DeinterlaceRows, SecondPassChangesNothing)
{
    PictureArea area;
    area.setPicture(noisePicture(640, 480, 13));
    DeinterlaceRows(area);
    const QImage once = area.surface().copy();
    DeinterlaceRows(area);
    EXPECT_EQ(area.surface(), once);
}

TEST(DeinterlaceSelection, ReadsNoneOneOrSeveralFiles)
{
    const DeinterlaceSelection none = selectionFromDialog({});
    EXPECT_TRUE(none.heading.isEmpty());
    EXPECT_TRUE(none.paths.isEmpty());

    const DeinterlaceSelection one = selectionFromDialog({QStringLiteral("/sky/night one.bmp")});
    EXPECT_EQ(one.heading, QStringLiteral("/sky/night one.bmp"));
    EXPECT_EQ(one.paths, QStringList{QStringLiteral("/sky/night one.bmp")});

    const DeinterlaceSelection three = selectionFromDialog(
        {QStringLiteral("/my frames/a b.bmp"), QStringLiteral("/my frames/c.bmp"), QStringLiteral("/my frames/d")});
    EXPECT_EQ(three.heading, QStringLiteral("/my frames"));
    EXPECT_EQ(three.paths, (QStringList{QStringLiteral("/my frames/a b.bmp"), QStringLiteral("/my frames/c.bmp"),
                                        QStringLiteral("/my frames/d")}));

    const DeinterlaceSelection root = selectionFromDialog({QStringLiteral("/a.bmp"), QStringLiteral("/b.bmp")});
    EXPECT_EQ(root.heading, QStringLiteral("/"));
    EXPECT_EQ(root.paths, (QStringList{QStringLiteral("/a.bmp"), QStringLiteral("/b.bmp")}));
}

TEST(DeinterlaceSelection, JoinsWithExactlyOneSeparator)
{
    EXPECT_EQ(joinPath(QStringLiteral("/"), QStringLiteral("a.bmp")), QStringLiteral("/a.bmp"));
    EXPECT_EQ(joinPath(QStringLiteral("/d"), QStringLiteral("a.bmp")), QStringLiteral("/d/a.bmp"));
    EXPECT_EQ(joinPath(QStringLiteral("/d/"), QStringLiteral("a.bmp")), QStringLiteral("/d/a.bmp"));
}

// A pump that notes the status line and the area's holder at every yield.
class YieldRecorder : public EventPump {
public:
    YieldRecorder(const QString &status, const PictureArea &area) : status_(status), area_(area) {}
    QStringList statusAtYield;
    QStringList holderAtYield;
    std::function<void()> onYield;

    void processEvents() override
    {
        statusAtYield.append(status_);
        holderAtYield.append(area_.holder());
        if (onYield)
            onYield();
    }
    void processEventsOrSleep(uint32_t) override { processEvents(); }
    void processEventsOrWait() override { processEvents(); }
    void sleepWithoutEvents(uint32_t) override {}

private:
    const QString &status_;
    const PictureArea &area_;
};

class DeinterlaceBatchTest : public ::testing::Test {
protected:
    QString file(const QString &name) const { return dir.filePath(name); }
    // Writes a distinct frame under `name` and returns it.
    QImage makeFrame(const QString &name, uint32_t seed, QSize size = QSize(640, 480))
    {
        const QImage frame = noisePicture(size.width(), size.height(), seed);
        EXPECT_TRUE(frame.save(file(name), "BMP"));
        return frame;
    }
    // What the tool must leave in the file for a frame of 640 x 480.
    static QImage filled(const QImage &frame)
    {
        PictureArea area;
        area.setPicture(frame);
        DeinterlaceRows(area);
        return area.surface();
    }
    Result run(const QStringList &chosen) { return batch.run(selectionFromDialog(chosen)); }

    QTemporaryDir dir;
    PictureArea area;
    QString status = QStringLiteral("Ready");
    QStringList statuses;
    YieldRecorder pump{status, area};
    DeinterlaceBatch batch{area, pump, [this](const QString &text) {
                               status = text;
                               statuses.append(text);
                           }};
};

TEST_F(DeinterlaceBatchTest, CancelledDialogTouchesNothing)
{
    ASSERT_TRUE(run({}).ok());
    EXPECT_EQ(statuses, QStringList{QStringLiteral(" 0Files selected ")});
    EXPECT_TRUE(pump.statusAtYield.isEmpty());
    EXPECT_FALSE(area.reserved());
}

TEST_F(DeinterlaceBatchTest, OneFileIsRewrittenInPlace)
{
    const QImage frame = makeFrame(QStringLiteral("one frame.bmp"), 21);
    ASSERT_TRUE(test::hardLink(file("one frame.bmp"), file("linked.bmp")));
    ASSERT_TRUE(run({file("one frame.bmp")}).ok());
    EXPECT_EQ(readAll(file("linked.bmp")), readAll(file("one frame.bmp"))) << "the file stays linked";

    EXPECT_EQ(statuses, (QStringList{QStringLiteral(" 1Files selected ") + file("one frame.bmp"),
                                     QStringLiteral("Deinterlacing"), QStringLiteral("Ready")}));
    EXPECT_EQ(pump.statusAtYield, (QStringList{QStringLiteral("Deinterlacing"), QStringLiteral("Ready")}));
    EXPECT_EQ(readAll(file("one frame.bmp")).size(), 921654);
    EXPECT_TRUE(samePixels(QImage(file("one frame.bmp")), filled(frame)));
    // The area keeps showing the last picture.
    EXPECT_TRUE(samePixels(area.picture(), filled(frame)));
}

TEST_F(DeinterlaceBatchTest, ThreeFilesShowTheirNumbersAndYieldBetweenSteps)
{
    QList<QImage> frames;
    QStringList chosen;
    for (int i = 0; i < 3; ++i) {
        const QString name = QStringLiteral("f%1.bmp").arg(i);
        frames.append(makeFrame(name, 30 + i));
        chosen.append(file(name));
    }
    ASSERT_TRUE(run(chosen).ok());

    const QString f1 = QStringLiteral("File  1/ 3"), f2 = QStringLiteral("File  2/ 3"), f3 = QStringLiteral("File  3/ 3");
    EXPECT_EQ(statuses, (QStringList{QStringLiteral(" 3Files selected ") + dir.path(), f1, f2, f3, QStringLiteral("Ready")}));
    // Yields: after the status, after the load, after the save of each file.
    EXPECT_EQ(pump.statusAtYield, (QStringList{f1, f1, f1, f2, f2, f2, f3, f3, f3}));
    EXPECT_EQ(pump.holderAtYield, QStringList(9, DeinterlaceBatch::kHolder));
    EXPECT_FALSE(area.reserved());
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(samePixels(QImage(chosen[i]), filled(frames[i]))) << i;
}

TEST_F(DeinterlaceBatchTest, OtherExtensionIsWrittenBackAsBmpUnderItsName)
{
    // A BMP by its content under another name; a PNG is refused (see below).
    const QImage frame = noisePicture(640, 480, 41);
    ASSERT_TRUE(frame.save(file("frame.png"), "BMP"));
    ASSERT_TRUE(run({file("frame.png")}).ok());
    const QByteArray bytes = readAll(file("frame.png"));
    EXPECT_EQ(bytes.left(2), "BM");
    EXPECT_EQ(bytes.size(), 921654);
    EXPECT_TRUE(samePixels(QImage::fromData(bytes, "BMP"), filled(frame)));
}

TEST_F(DeinterlaceBatchTest, SmallerPictureIsSavedWithTheBackgroundAround)
{
    const QImage small = makeFrame(QStringLiteral("small.bmp"), 42, QSize(320, 240));
    ASSERT_TRUE(run({file("small.bmp")}).ok());
    const QImage saved(file("small.bmp"));
    ASSERT_EQ(saved.size(), QSize(640, 480));
    EXPECT_EQ(colourNumber(saved.pixel(639, 0)), PictureArea::kBackground);
    EXPECT_EQ(colourNumber(saved.pixel(0, 400)), PictureArea::kBackground);
    EXPECT_TRUE(samePixels(saved, filled(small)));
}

TEST_F(DeinterlaceBatchTest, FitsFramesAreFilledInTheirOwnPixelsKeepingTheHeader)
{
    for (const bool mono : {false, true}) {
        SCOPED_TRACE(mono ? "mono" : "colour");
        const QImage frame = noisePicture(640, 480, 43);
        ResultOf<QByteArray> fits = encodeFits(frame, mono, {{"OBSERVER", QStringLiteral("A. Person"), {}}});
        ASSERT_TRUE(fits.ok());
        ASSERT_TRUE(test::writeAll(file("frame.fits"), fits.value()));
        ASSERT_TRUE(run({file("frame.fits")}).ok());

        const QByteArray bytes = readAll(file("frame.fits"));
        EXPECT_TRUE(bytes.contains("OBSERVER= 'A. Person'"));
        EXPECT_TRUE(bytes.contains("HISTORY Deinterlaced"));
        ResultOf<FitsImage> after = decodeFits(bytes);
        ASSERT_TRUE(after.ok()) << after.error().toStdString();
        const QImage expected = filled(mono ? fitsDisplayImage(decodeFits(fits.value()).value()) : frame);
        EXPECT_TRUE(samePixels(fitsDisplayImage(after.value()), expected));
        EXPECT_TRUE(samePixels(area.picture(), expected)); // the area shows the filled frame
    }
}

TEST_F(DeinterlaceBatchTest, UnreadableFileStopsTheBatchThere)
{
    const QImage first = makeFrame(QStringLiteral("1.bmp"), 51);
    ASSERT_TRUE(test::writeAll(file("2.bmp"), "not a picture"));
    makeFrame(QStringLiteral("3.bmp"), 53);
    const QByteArray thirdBefore = readAll(file("3.bmp"));

    const Result result = run({file("1.bmp"), file("2.bmp"), file("3.bmp")});

    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.error().contains(file("2.bmp")));
    EXPECT_TRUE(samePixels(QImage(file("1.bmp")), filled(first)));
    EXPECT_EQ(readAll(file("2.bmp")), QByteArray("not a picture"));
    EXPECT_EQ(readAll(file("3.bmp")), thirdBefore);
    EXPECT_EQ(status, QStringLiteral("Stopped at ") + file("2.bmp"));
    EXPECT_FALSE(area.reserved());
}

TEST_F(DeinterlaceBatchTest, MissingFileStopsTheBatchThere)
{
    makeFrame(QStringLiteral("1.bmp"), 61);
    const QByteArray firstBefore = readAll(file("1.bmp"));
    makeFrame(QStringLiteral("3.bmp"), 63);
    const QByteArray thirdBefore = readAll(file("3.bmp"));

    const Result result = run({file("1.bmp"), file("gone.bmp"), file("3.bmp")});

    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.error().contains(file("gone.bmp")));
    EXPECT_NE(readAll(file("1.bmp")), firstBefore);
    EXPECT_FALSE(QFile::exists(file("gone.bmp")));
    EXPECT_EQ(readAll(file("3.bmp")), thirdBefore);
    EXPECT_FALSE(area.reserved());
}

TEST_F(DeinterlaceBatchTest, RefusedWhileSomeoneElseHoldsTheArea)
{
    makeFrame(QStringLiteral("1.bmp"), 71);
    const QByteArray before = readAll(file("1.bmp"));
    area.reserve(QStringLiteral("the imaging sequence"));

    const Result result = run({file("1.bmp")});

    ASSERT_FALSE(result.ok());
    EXPECT_TRUE(result.error().contains(QStringLiteral("the imaging sequence")));
    EXPECT_EQ(readAll(file("1.bmp")), before);
    EXPECT_EQ(area.holder(), QStringLiteral("the imaging sequence"));
}

} // namespace
} // namespace orvane

namespace orvane {
namespace {

TEST_F(DeinterlaceBatchTest, OnlyFormsTheToolWritesBackAreTakenAndTheRestIsNamed)
{
    // A PNG, even named .bmp, would come back as a BMP under its own name.
    makeFrame(QStringLiteral("1.bmp"), 81);
    for (const char *name : {"photo.png", "photo.bmp"}) {
        ASSERT_TRUE(test::noisePicture(640, 480, 82).save(file(name), "PNG"));
        const QByteArray before = readAll(file(name));
        const Result result = run({file("1.bmp"), file(name)});
        ASSERT_FALSE(result.ok()) << name;
        EXPECT_EQ(result.error(), "Cannot deinterlace " + file(name) +
                                      ": it is neither a BMP nor a FITS picture, the forms this tool writes back, so it "
                                      "was left as it is.");
        EXPECT_EQ(readAll(file(name)), before) << name;
        EXPECT_EQ(status, QStringLiteral("Stopped at ") + file(name));
    }
    EXPECT_EQ(DeinterlaceWindow::kFilter, QStringLiteral("BMP and FITS pictures (*.bmp *.fits *.fit *.fts)"));
}

} // namespace
} // namespace orvane
