// File > Load and File > Save: the dialog they share, the name it remembers,
// cancel, failures told by a message, and Load waiting while the area is held.

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
    chooser.singleReplies = {file("in.png"), file("copy")};

    menu.load(nullptr);
    menu.save(nullptr);

    EXPECT_EQ(chooser.filters, QStringList(2, QStringLiteral("pictures (*.bmp *.fits *.fit *.fts)")));
    EXPECT_EQ(chooser.kinds, (QStringList{"open", "save"}));
    EXPECT_TRUE(questions.isEmpty()) << "a new name is written without a question";
    // Each dialog opens on the name chosen last.
    EXPECT_EQ(chooser.initialNames, (QStringList{QString(), file("in.png")}));
    EXPECT_EQ(menu.lastName(), file("copy"));
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(test::readAll(file("copy")).size(), 921654);
    EXPECT_TRUE(samePixels(QImage(file("copy"), "BMP"), loaded));
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

} // namespace
} // namespace orvane
