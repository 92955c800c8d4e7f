// File > Load and File > Save: the dialog they share, the name it remembers,
// cancel, failures told by a message, and Load waiting while the area is held.

#include "fits_file.h"
#include "picture_file_menu.h"
#include "picture_test_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QTemporaryDir>

namespace orvane {
namespace {

using test::noisePicture;
using test::samePixels;

class PictureFileMenuTest : public ::testing::Test {
protected:
    QString file(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    PictureArea area;
    test::ScriptedChooser chooser;
    QStringList messages;
    QStringList questions;
    bool answerYes = false;
    PictureFileMenu menu{area, chooser, [this](QWidget *, const QString &sentence) { messages.append(sentence); },
                         [this](QWidget *, const QString &question, std::function<void(bool)> answered) {
                             questions.append(question);
                             answered(answerYes);
                         }};
};

TEST_F(PictureFileMenuTest, LoadThenSaveUnderAnotherNameWritesABmpCopy)
{
    const QImage loaded = noisePicture(640, 480, 1);
    ASSERT_TRUE(loaded.save(file("in.png"), "PNG"));
    chooser.singleReplies = {file("in.png"), file("copy.bmp")};

    menu.load(nullptr);
    menu.save(nullptr);

    EXPECT_EQ(chooser.filters, QStringList(2, QStringLiteral("pictures (*.bmp *.fits *.fit *.fts)")));
    EXPECT_EQ(chooser.kinds, (QStringList{"open", "save"}));
    EXPECT_TRUE(questions.isEmpty()) << "a new name is written without a question";
    // Each dialog opens on the name chosen last.
    EXPECT_EQ(chooser.initialNames, (QStringList{QString(), file("in.png")}));
    EXPECT_EQ(menu.lastName(), file("copy.bmp"));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(test::readAll(file("copy.bmp")).size(), 921654);
    EXPECT_TRUE(samePixels(QImage(file("copy.bmp"), "BMP"), loaded));
}

TEST_F(PictureFileMenuTest, CancelDoesNothing)
{
    const QImage before = noisePicture(640, 480, 2);
    area.setPicture(before);
    chooser.singleReplies = {QString(), QString()};
    menu.load(nullptr);
    menu.save(nullptr);
    EXPECT_TRUE(samePixels(area.picture(), before));
    EXPECT_TRUE(menu.lastName().isEmpty());
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(PictureFileMenuTest, LargerPictureIsSavedWhole)
{
    const QImage large = noisePicture(1024, 768, 3);
    ASSERT_TRUE(large.save(file("large.bmp"), "BMP"));
    chooser.singleReplies = {file("large.bmp"), file("large.bmp")};
    answerYes = true;
    menu.load(nullptr);
    menu.save(nullptr); // the remembered name, confirmed unchanged, replace answered Yes
    EXPECT_EQ(questions.size(), 1);
    EXPECT_TRUE(samePixels(QImage(file("large.bmp")), large));
}

TEST_F(PictureFileMenuTest, FailuresAreToldNamingTheFile)
{
    const QImage before = noisePicture(640, 480, 4);
    area.setPicture(before);
    chooser.singleReplies = {file("missing.bmp"), file("no such folder/out.bmp")};

    menu.load(nullptr);
    menu.save(nullptr);

    ASSERT_EQ(messages.size(), 2);
    EXPECT_TRUE(messages[0].contains(file("missing.bmp")));
    EXPECT_TRUE(messages[1].contains(file("no such folder/out.bmp")));
    EXPECT_TRUE(samePixels(area.picture(), before));
}

TEST_F(PictureFileMenuTest, LoadWaitsWhileAnotherHolderWorksOnTheArea)
{
    ASSERT_TRUE(noisePicture(64, 64, 5).save(file("in.bmp"), "BMP"));
    const QImage before = area.picture();
    area.reserve(QStringLiteral("the deinterlace tool"));
    chooser.singleReplies = {file("in.bmp")};

    menu.load(nullptr);

    EXPECT_EQ(chooser.calls, 0);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("the deinterlace tool")));
    EXPECT_TRUE(samePixels(area.picture(), before));
}

TEST_F(PictureFileMenuTest, SaveOntoAnExistingFileAsksAndNoLeavesItByteForByte)
{
    area.setPicture(noisePicture(640, 480, 6));
    for (const bool yes : {false, true}) {
        const QByteArray before = "not a picture, yet";
        ASSERT_TRUE(test::writeAll(file("night.bmp"), before));
        questions.clear();
        answerYes = yes;
        chooser.singleReplies = {file("night.bmp")};
        menu.save(nullptr);
        ASSERT_EQ(questions.size(), 1) << yes;
        EXPECT_TRUE(questions[0].contains(file("night.bmp"))) << questions[0].toStdString();
        const QByteArray after = test::readAll(file("night.bmp"));
        EXPECT_EQ(after == before, !yes) << yes;
        EXPECT_EQ(after.size(), yes ? 921654 : before.size()) << yes;
    }
    EXPECT_TRUE(messages.isEmpty());
}

// The program's own dialogs: Save is a save dialog that leaves the replace
// question to the menu (Qt's own would run a nested loop); Load an open dialog.
TEST(QtFileChooserTest, SaveIsASaveDialogAndLoadAnOpenOne)
{
    QWidget parent;
    QtFileChooser chooser;
    chooser.chooseSaveFile(&parent, PictureFileMenu::kFilter, QString(), [](const QString &) {});
    chooser.chooseOpenFile(&parent, PictureFileMenu::kFilter, QString(), [](const QString &) {});
    const auto dialogs = parent.findChildren<QFileDialog *>();
    ASSERT_EQ(dialogs.size(), 2);
    EXPECT_EQ(dialogs[0]->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialogs[0]->windowTitle(), "Save picture");
    EXPECT_EQ(dialogs[0]->labelText(QFileDialog::Accept), "Save");
    EXPECT_TRUE(dialogs[0]->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dialogs[1]->acceptMode(), QFileDialog::AcceptOpen);
    for (QFileDialog *d : dialogs) {
        EXPECT_EQ(d->windowModality(), Qt::WindowModal);
        d->reject();
    }
}

TEST_F(PictureFileMenuTest, SaveWritesTheFormTheNameSaysAndRefusesOtherEndings)
{
    // A 16-bit FITS frame as loaded: saved as FITS it keeps all its bits and
    // its header, even over its own name; as BMP it becomes the 8-bit picture shown.
    // Written card by card as another program would: 16-bit, BZERO 32768.
    QByteArray frame;
    for (const char *card : {"SIMPLE  =                    T", "BITPIX  =                   16",
                             "NAXIS   =                    2", "NAXIS1  =                   64",
                             "NAXIS2  =                   48", "BZERO   =                32768",
                             "OBSERVER= 'A. Person'", "END"})
        frame += QByteArray(card).leftJustified(80, ' ');
    frame = frame.leftJustified(2880, ' ');
    std::vector<int32_t> values;
    for (int i = 0; i < 64 * 48; ++i) {
        values.push_back((i * 37) % 65536 - 32768);
        frame += char((values.back() >> 8) & 0xFF);
        frame += char(values.back() & 0xFF);
    }
    frame = frame.leftJustified(2880 * 4, '\0');
    ASSERT_TRUE(test::writeAll(file("m31.fits"), frame));
    answerYes = true;
    chooser.singleReplies = {file("m31.fits"), file("m31.fits"), file("copy.FIT"), file("copy.fts"), file("view.bmp"),
                             file("view.png"), file("view")};
    menu.load(nullptr);
    for (int i = 0; i < 6; ++i)
        menu.save(nullptr);
    EXPECT_EQ(questions, QStringList{file("m31.fits") + " exists already. Replace it?"});
    for (const char *name : {"m31.fits", "copy.FIT", "copy.fts"}) {
        const ResultOf<FitsImage> saved = decodeFits(test::readAll(file(name)));
        ASSERT_TRUE(saved.ok()) << name;
        EXPECT_EQ(saved.value().bitpix, 16) << name;
        EXPECT_EQ(saved.value().stored, values) << name;
        EXPECT_TRUE(test::readAll(file(name)).contains("OBSERVER= 'A. Person'")) << name;
    }
    EXPECT_TRUE(test::readAll(file("view.bmp")).startsWith("BM"));
    EXPECT_TRUE(samePixels(QImage(file("view.bmp"), "BMP"), area.picture()));
    EXPECT_FALSE(QFileInfo::exists(file("view.png")));
    EXPECT_FALSE(QFileInfo::exists(file("view")));
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], file("view.png") + " was not saved: a picture is saved as BMP under a name ending in .bmp, "
                                              "or as FITS under a name ending in .fits, .fit or .fts.");

    // Another picture shown since: FITS of what is shown, three 8-bit planes.
    const QImage other = noisePicture(320, 240, 9);
    area.setPicture(other);
    chooser.singleReplies = {file("other.fits")};
    menu.save(nullptr);
    const ResultOf<FitsImage> saved = decodeFits(test::readAll(file("other.fits")));
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved.value().bitpix, 8);
    EXPECT_EQ(saved.value().planes, 3);
    EXPECT_TRUE(samePixels(fitsDisplayImage(saved.value()), other));
}

} // namespace
} // namespace orvane
