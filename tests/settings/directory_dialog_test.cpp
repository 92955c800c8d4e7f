#include "directory_dialog.h"
#include "test_support.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include <sys/inotify.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

class DirectoryDialogTest : public ::testing::Test {
protected:
    // The process works in a fresh directory holding "darks", "flats" and "lights".
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = QDir::cleanPath(QFileInfo(dir.path()).canonicalFilePath());
        for (const char *name : {"lights", "darks", "flats"})
            ASSERT_TRUE(QDir(root).mkdir(QString::fromLatin1(name)));
        ASSERT_TRUE(test::writeAll(root + "/notes.txt", "not a directory"));
        previousWorkingDir = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(root));
        saveDir = QStringLiteral("/previous/choice");
        dialog = new DirectoryDialog(saveDir);
    }
    void TearDown() override
    {
        delete dialog.data();
        QDir::setCurrent(previousWorkingDir);
    }

    int rowOf(const QString &name) const
    {
        const auto found = dialog->Dir1->findItems(name, Qt::MatchExactly);
        return found.isEmpty() ? -1 : dialog->Dir1->row(found.first());
    }
    QStringList entries() const
    {
        QStringList out;
        for (int i = 0; i < dialog->Dir1->count(); ++i)
            out.append(dialog->Dir1->item(i)->text());
        return out;
    }
    static void runDeferredDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    QTemporaryDir dir;
    QString root;
    QString previousWorkingDir;
    QString saveDir;
    QPointer<DirectoryDialog> dialog;
};

TEST_F(DirectoryDialogTest, StartsHiddenAtTheWorkingDirectoryListingItsSubdirectories)
{
    EXPECT_EQ(dialog->objectName(), "Form3");
    EXPECT_EQ(dialog->windowTitle(), "Select directory to save to.");
    EXPECT_EQ(dialog->Drive1->objectName(), "Drive1");
    EXPECT_EQ(dialog->Dir1->objectName(), "Dir1");
    EXPECT_EQ(dialog->Command1->text(), "OK");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->currentPath(), root);
    EXPECT_EQ(entries(), QStringList({"..", "darks", "flats", "lights"}));
    EXPECT_EQ(saveDir, "/previous/choice") << "creating the window does not set SaveDir";
}

TEST_F(DirectoryDialogTest, OkTakesTheOpenedDirectoryNotTheHighlightedOne)
{
    dialog->show();
    ASSERT_TRUE(dialog->Dir1->openRow(rowOf("flats")));
    EXPECT_EQ(dialog->currentPath(), root + "/flats");
    EXPECT_EQ(dialog->pathLabel->text(), root + "/flats");
    ASSERT_TRUE(dialog->Dir1->openRow(rowOf("..")));
    dialog->Dir1->setCurrentRow(rowOf("lights")); // highlighted only
    EXPECT_EQ(dialog->currentPath(), root);
    dialog->Command1->click();
    EXPECT_EQ(saveDir, root);
    runDeferredDeletes();
    EXPECT_TRUE(dialog.isNull());
}

TEST_F(DirectoryDialogTest, DoubleClickAndEnterOpenAnEntry)
{
    emit dialog->Dir1->itemDoubleClicked(dialog->Dir1->item(rowOf("darks")));
    EXPECT_EQ(dialog->currentPath(), root + "/darks");
    ASSERT_TRUE(dialog->Dir1->setPath(root));
    dialog->Dir1->setCurrentRow(rowOf("lights"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog->Dir1, &enter);
    EXPECT_EQ(dialog->currentPath(), root + "/lights");
}

TEST_F(DirectoryDialogTest, ClosingByTheFrameLeavesSaveDirAsItWas)
{
    dialog->show();
    ASSERT_TRUE(dialog->Dir1->openRow(rowOf("lights")));
    dialog->close();
    runDeferredDeletes();
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(saveDir, "/previous/choice");
}

TEST_F(DirectoryDialogTest, TheRootHasOneSeparatorAndNoParentEntry)
{
    ASSERT_TRUE(dialog->Dir1->setPath(root + "/../../../../../../../.."));
    EXPECT_EQ(dialog->currentPath(), "/");
    EXPECT_FALSE(entries().contains(".."));
    ASSERT_TRUE(dialog->Dir1->setPath(root + "/flats/"));
    EXPECT_EQ(dialog->currentPath(), root + "/flats") << "no trailing separator below the root";
}

TEST_F(DirectoryDialogTest, ChoosingAVolumeOpensItsRoot)
{
    ASSERT_GE(dialog->Drive1->count(), 1);
    EXPECT_EQ(dialog->Drive1->itemText(0), "/");
    dialog->Drive1->setCurrentIndex(0);
    dialog->Drive1Change();
    EXPECT_EQ(dialog->currentPath(), "/");
    EXPECT_EQ(saveDir, "/previous/choice");
}

TEST_F(DirectoryDialogTest, WhatCannotBeOpenedIsSaidAndThePathStays)
{
    EXPECT_FALSE(dialog->Dir1->setPath(root + "/notes.txt"));
    EXPECT_FALSE(dialog->Dir1->setPath(root + "/missing"));
    EXPECT_EQ(dialog->currentPath(), root);
    EXPECT_FALSE(dialog->problemLabel->isHidden());
    EXPECT_TRUE(dialog->problemLabel->text().contains("does not exist")) << dialog->problemLabel->text().toStdString();
    ASSERT_TRUE(dialog->Dir1->openRow(rowOf("darks")));
    EXPECT_TRUE(dialog->problemLabel->isHidden()) << "a writable directory shows no problem";
}

TEST_F(DirectoryDialogTest, SaveDirectoryProblemNamesTheDirectoryAndTheCause)
{
    EXPECT_EQ(DirectoryDialog::saveDirectoryProblem(root), QString());
    EXPECT_EQ(DirectoryDialog::saveDirectoryProblem(root + "/missing"),
              "You cannot save frames in " + root + "/missing: it does not exist.");
    EXPECT_EQ(DirectoryDialog::saveDirectoryProblem(root + "/notes.txt"),
              "You cannot save frames in " + root + "/notes.txt: it is not a directory.");
    // Nothing is made in the user's folder, not even an unnamed file (which
    // some file systems give a name): the folder is not even opened.
    const int watch = inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, QFile::encodeName(root).constData(), IN_CREATE | IN_OPEN), 0);
    EXPECT_EQ(DirectoryDialog::saveDirectoryProblem(root), QString());
    char event[4096];
    EXPECT_LT(read(watch, event, sizeof event), 0) << "a file was made in the folder, or the folder opened";
    close(watch);
}

TEST_F(DirectoryDialogTest, ADirectoryGoneWhileHiddenIsFlaggedWhenShown)
{
    ASSERT_TRUE(dialog->Dir1->openRow(rowOf("lights")));
    ASSERT_TRUE(QDir(root).rmdir("lights"));
    dialog->show();
    EXPECT_FALSE(dialog->problemLabel->isHidden());
    EXPECT_EQ(dialog->problemLabel->text(),
              "You cannot save frames in " + root + "/lights: it does not exist.");
    dialog->Command1Click();
    EXPECT_EQ(saveDir, root + "/lights") << "OK still takes the opened directory; saving frames reports the fault";
}

} // namespace
