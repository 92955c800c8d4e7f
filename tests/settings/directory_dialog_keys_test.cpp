// The save-folder window and its "New folder" box driven by real mouse and key
// events: a double-click on the list, the OK button, Return in the typed path,
// Escape, and the name typed into the box with Return or Escape. Each window
// lives until it has finished with the event that closes it.

#include "directory_dialog.h"
#include "nested_loop_watch.h"
#include "real_dialogs.h"

#include <QDir>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orvane;

namespace {

class DirectoryDialogKeysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        root = QFileInfo(dir.path()).canonicalFilePath();
        for (const char *name : {"darks", "lights"})
            ASSERT_TRUE(QDir(root).mkdir(QString::fromLatin1(name)));
        previousWorkingDir = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(root));
        dialog = new DirectoryDialog(saveDir);
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    }
    void TearDown() override
    {
        delete dialog.data();
        QDir::setCurrent(previousWorkingDir);
    }
    QPoint centreOf(const QString &name) const
    {
        const auto found = dialog->Dir1->findItems(name, Qt::MatchExactly);
        return found.isEmpty() ? QPoint(-1, -1) : dialog->Dir1->visualItemRect(found.first()).center();
    }
    QInputDialog *newFolderBox()
    {
        QTest::mouseClick(dialog->newFolderButton, Qt::LeftButton);
        const auto boxes = test::openDialogs<QInputDialog>(dialog);
        return boxes.size() == 1 ? boxes.front() : nullptr;
    }
    bool closed() { return test::waitUntil([this] { return dialog.isNull(); }); }

    QTemporaryDir dir;
    QString root;
    QString previousWorkingDir;
    QString saveDir = QStringLiteral("/previous/choice");
    QPointer<DirectoryDialog> dialog;
};

TEST_F(DirectoryDialogKeysTest, DoubleClickOpensAFolderAndTheOkButtonTakesIt)
{
    const QPoint at = centreOf("lights");
    QTest::mouseClick(dialog->Dir1->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(dialog->Dir1->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(dialog->currentPath(), root + "/lights");
    QTest::mouseClick(dialog->Command1, Qt::LeftButton);
    ASSERT_TRUE(closed());
    EXPECT_EQ(saveDir, root + "/lights");
}

TEST_F(DirectoryDialogKeysTest, ReturnInTheTypedPathTakesItAndEscapeTakesNothing)
{
    QTest::keyClicks(dialog->pathEdit, "darks");
    QTest::keyClick(dialog->pathEdit, Qt::Key_Return);
    ASSERT_TRUE(closed());
    EXPECT_EQ(saveDir, root + "/darks");

    dialog = new DirectoryDialog(saveDir);
    dialog->show();
    QTest::keyClicks(dialog->pathEdit, "lights");
    QTest::keyClick(dialog->pathEdit, Qt::Key_Escape);
    ASSERT_TRUE(closed());
    EXPECT_EQ(saveDir, root + "/darks");
}

TEST_F(DirectoryDialogKeysTest, NewFolderTakesTheTypedNameOnReturnAndNothingOnEscape)
{
    QPointer<QInputDialog> box = newFolderBox();
    ASSERT_TRUE(box);
    QLineEdit *name = box->findChild<QLineEdit *>();
    ASSERT_NE(name, nullptr);
    QTest::keyClicks(name, "2026-01-12");
    QTest::keyClick(name, Qt::Key_Return);
    ASSERT_TRUE(test::waitUntil([&] { return box.isNull(); }));
    EXPECT_TRUE(QFileInfo(root + "/2026-01-12").isDir());
    EXPECT_EQ(dialog->pathLabel->text(), root + "/2026-01-12");

    box = newFolderBox();
    ASSERT_TRUE(box);
    QTest::keyClicks(box->findChild<QLineEdit *>(), "never");
    QTest::keyClick(box->findChild<QLineEdit *>(), Qt::Key_Escape);
    ASSERT_TRUE(test::waitUntil([&] { return box.isNull(); }));
    EXPECT_FALSE(QFileInfo::exists(root + "/never"));
    EXPECT_FALSE(dialog.isNull()) << "the save-folder window stays open behind the box";
}

} // namespace
