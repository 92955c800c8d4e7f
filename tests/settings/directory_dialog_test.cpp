#include "directory_dialog.h"
#include "nested_loop_watch.h"
#include "test_support.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>

#include <functional>

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
    // Types `text` into `w` key by key, as the user would.
    static void type(QWidget *w, const QString &text)
    {
        for (QChar c : text) {
            QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QCoreApplication::sendEvent(w, &key);
        }
    }
    static void press(QWidget *w, Qt::Key k)
    {
        QKeyEvent key(QEvent::KeyPress, k, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &key);
    }

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

TEST_F(DirectoryDialogTest, OkTakesTheFolderTheWindowShowsHighlightedOpenedOrTyped)
{
    const QString parent = QFileInfo(root).path();
    const struct {
        const char *what;
        std::function<void(DirectoryDialog &)> choose;
        QString expected;
    } cases[] = {
        {"nothing touched", [](DirectoryDialog &) {}, root},
        {"opened", [&](DirectoryDialog &d) { ASSERT_TRUE(d.Dir1->openRow(rowOf("flats"))); }, root + "/flats"},
        {"highlighted", [&](DirectoryDialog &d) { d.Dir1->setCurrentRow(rowOf("lights")); }, root + "/lights"},
        {"parent highlighted", [&](DirectoryDialog &d) { d.Dir1->setCurrentRow(rowOf("..")); }, parent},
        {"typed relative", [](DirectoryDialog &d) { type(d.pathEdit, " darks/ "); }, root + "/darks"},
        {"typed absolute", [&](DirectoryDialog &d) { type(d.pathEdit, root + "/flats/../lights"); }, root + "/lights"},
        {"highlight after typing", [&](DirectoryDialog &d) {
             type(d.pathEdit, "darks");
             d.Dir1->setCurrentRow(rowOf("flats"));
         }, root + "/flats"},
    };
    for (const auto &c : cases) {
        saveDir = QStringLiteral("/previous/choice");
        delete dialog.data();
        dialog = new DirectoryDialog(saveDir);
        dialog->show();
        c.choose(*dialog);
        EXPECT_EQ(dialog->pathLabel->text(), c.expected) << c.what;
        dialog->Command1->click();
        EXPECT_EQ(saveDir, c.expected) << c.what;
        runDeferredDeletes();
        EXPECT_TRUE(dialog.isNull()) << c.what;
    }
}

TEST_F(DirectoryDialogTest, EnterTakesATypedFolderAndWhatIsNoFolderIsRefusedByName)
{
    dialog->show();
    for (const char *bad : {"missing", "notes.txt"}) {
        dialog->pathEdit->clear();
        type(dialog->pathEdit, bad);
        press(dialog->pathEdit, Qt::Key_Return);
        EXPECT_EQ(saveDir, "/previous/choice") << bad;
        EXPECT_TRUE(dialog->isVisible()) << bad;
        EXPECT_TRUE(dialog->problemLabel->text().contains(root + "/" + bad)) << dialog->problemLabel->text().toStdString();
    }
    dialog->pathEdit->clear();
    type(dialog->pathEdit, "lights");
    press(dialog->pathEdit, Qt::Key_Return);
    EXPECT_EQ(saveDir, root + "/lights");
}

TEST_F(DirectoryDialogTest, CancelAndEscapeCloseWithoutAChange)
{
    for (bool escape : {false, true}) {
        delete dialog.data();
        dialog = new DirectoryDialog(saveDir);
        dialog->show();
        dialog->Dir1->setCurrentRow(rowOf("lights"));
        if (escape)
            press(dialog->Dir1, Qt::Key_Escape); // from the list, where the focus usually is
        else
            dialog->cancelButton->click();
        runDeferredDeletes();
        EXPECT_TRUE(dialog.isNull()) << escape;
        EXPECT_EQ(saveDir, "/previous/choice") << escape;
    }
}

TEST_F(DirectoryDialogTest, ANewFolderIsMadeInTheOpenedDirectoryAndHighlighted)
{
    test::NestedLoopWatch watch;
    dialog->show();
    dialog->newFolderButton->click();
    const auto asks = test::openDialogs<QInputDialog>(dialog);
    ASSERT_EQ(asks.size(), 1);
    EXPECT_EQ(asks[0]->windowModality(), Qt::WindowModal);
    asks[0]->setTextValue("2026-01-12");
    asks[0]->accept();
    EXPECT_EQ(watch.nestedLoops(), 0);
    EXPECT_TRUE(QFileInfo(root + "/2026-01-12").isDir());
    EXPECT_EQ(dialog->pathLabel->text(), root + "/2026-01-12");

    const std::pair<const char *, QString> refused[] = {
        {"darks", "Cannot make the folder " + root + "/darks: it exists already."},
        {"a/b", "Cannot make the folder \"a/b\": a name cannot be \".\" or \"..\" or hold \"/\"."},
        {"  ", "A new folder needs a name."},
    };
    for (const auto &[name, sentence] : refused) {
        EXPECT_FALSE(dialog->makeFolder(name)) << name;
        EXPECT_EQ(dialog->problemLabel->text(), sentence);
        EXPECT_FALSE(dialog->problemLabel->isHidden());
    }
    EXPECT_EQ(dialog->pathLabel->text(), root + "/2026-01-12") << "a refusal leaves the choice";
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
    EXPECT_EQ(saveDir, "/previous/choice") << "OK refuses a folder that is gone";
    EXPECT_TRUE(dialog->problemLabel->text().contains(root + "/lights")) << dialog->problemLabel->text().toStdString();
}

} // namespace
