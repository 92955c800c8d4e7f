// The picture tools with Qt's own file dialog in place, driven by keys and the
// mouse: Return in the name field, a double-click on a file, the Open and Save
// buttons, Escape. The dialog must outlive the event that closes it, whatever
// the tool then does (the deinterlace batch pumps events while it works).

#include "deinterlace_window.h"
#include "picture_file_menu.h"
#include "picture_test_support.h"
#include "real_dialogs.h"
#include "test_support.h"

#include "clock.h"
#include "event_pump.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTemporaryDir>

namespace orvane {
namespace {

using test::noisePicture;

class RealFileDialogTest : public ::testing::Test {
protected:
    QString file(const QString &name) const { return dir.filePath(name); }
    QString makeFrame(const QString &name, uint32_t seed)
    {
        EXPECT_TRUE(noisePicture(640, 480, seed).save(file(name), "BMP"));
        return file(name);
    }
    // The dialog the tool opened over `parent`, showing the test folder once `name` is listed.
    QFileDialog *dialogShowing(QWidget *parent, const QString &name, QModelIndex *entry = nullptr)
    {
        QFileDialog *dialog = test::openFileDialog(parent);
        EXPECT_NE(dialog, nullptr);
        if (!dialog)
            return nullptr;
        const QModelIndex found = test::showFolder(dialog, dir.path(), name);
        EXPECT_TRUE(found.isValid()) << name.toStdString();
        if (entry)
            *entry = found;
        return dialog;
    }

    QTemporaryDir dir;
    PictureArea area;
    SteadyClock clock;
    QtEventPump pump{clock};
    QtFileChooser chooser;
    QStringList messages;
    MessageFunction tell = [this](QWidget *, const QString &sentence) { messages.append(sentence); };
};

class RealDeinterlaceDialogTest : public RealFileDialogTest {
protected:
    RealDeinterlaceDialogTest() { window.show(); }
    QString status() const { return window.status(); }
    bool finished() { return test::waitUntil([this] { return !window.running(); }); }
    bool rewritten(const QString &path, const QByteArray &before) { return test::readAll(path) != before; }

    DeinterlaceWindow window{area, pump, chooser, nullptr, tell};
};

TEST_F(RealDeinterlaceDialogTest, ReturnInTheNameFieldRunsTheBatchAndTheDialogOutlivesTheKey)
{
    for (const QString &typed : {QStringLiteral("frame a.bmp"), QStringLiteral("\"frame a.bmp\" \"frame b.bmp\"")}) {
        const QString a = makeFrame(QStringLiteral("frame a.bmp"), 1), b = makeFrame(QStringLiteral("frame b.bmp"), 2);
        const QByteArray beforeA = test::readAll(a), beforeB = test::readAll(b);
        window.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        QPointer<QFileDialog> dialog = dialogShowing(&window, QStringLiteral("frame b.bmp"));
        ASSERT_TRUE(dialog);
        test::typeAndPress(dialog, typed, Qt::Key_Return);
        ASSERT_TRUE(finished()) << typed.toStdString();
        EXPECT_EQ(status(), QStringLiteral("Ready"));
        EXPECT_TRUE(rewritten(a, beforeA)) << typed.toStdString();
        EXPECT_EQ(rewritten(b, beforeB), typed.contains(QStringLiteral("b.bmp"))) << typed.toStdString();
        EXPECT_TRUE(messages.isEmpty());
        EXPECT_TRUE(test::waitUntil([&] { return dialog.isNull(); })) << "the closed dialog is deleted";
    }
}

TEST_F(RealDeinterlaceDialogTest, ADoubleClickOnAFileAndTheOpenButtonEachRunTheBatch)
{
    for (bool button : {false, true}) {
        const QString a = makeFrame(QStringLiteral("a.bmp"), 3);
        const QByteArray before = test::readAll(a);
        window.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
        QModelIndex entry;
        QFileDialog *dialog = dialogShowing(&window, QStringLiteral("a.bmp"), &entry);
        ASSERT_TRUE(dialog && entry.isValid());
        if (button) {
            test::typeAndPress(dialog, QStringLiteral("a.bmp"), Qt::Key_unknown);
            QTest::mouseClick(test::acceptButton(dialog), Qt::LeftButton);
        } else {
            test::doubleClickEntry(dialog, entry);
        }
        ASSERT_TRUE(finished()) << button;
        EXPECT_EQ(status(), QStringLiteral("Ready")) << button;
        EXPECT_TRUE(rewritten(a, before)) << button;
    }
}

TEST_F(RealDeinterlaceDialogTest, EscapeChoosesNothing)
{
    const QString a = makeFrame(QStringLiteral("a.bmp"), 4);
    const QByteArray before = test::readAll(a);
    window.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
    QFileDialog *dialog = dialogShowing(&window, QStringLiteral("a.bmp"));
    ASSERT_TRUE(dialog);
    test::typeAndPress(dialog, QStringLiteral("a.bmp"), Qt::Key_Escape);
    ASSERT_TRUE(finished());
    EXPECT_EQ(status(), QStringLiteral(" 0Files selected "));
    EXPECT_EQ(test::readAll(a), before);
}

class RealPictureMenuDialogTest : public RealFileDialogTest {
protected:
    RealPictureMenuDialogTest() { parent.show(); }

    QWidget parent;
    QStringList questions;
    PictureFileMenu menu{area, chooser, tell, [this](QWidget *, const QString &question, std::function<void(bool)> answered) {
                             questions.append(question);
                             answered(true);
                         }};
};

// The save dialog opens on the last name used, selected in its list: a name
// typed over it is what is written, whether Return or the Save button ends it.
TEST_F(RealPictureMenuDialogTest, LoadByDoubleClickThenSaveByTypedNameWithReturnOrTheSaveButton)
{
    const QImage picture = noisePicture(640, 480, 5);
    ASSERT_TRUE(picture.save(file("in.bmp"), "BMP"));
    const QByteArray original = test::readAll(file("in.bmp"));
    menu.load(&parent);
    QModelIndex entry;
    QFileDialog *open = dialogShowing(&parent, QStringLiteral("in.bmp"), &entry);
    ASSERT_TRUE(open && entry.isValid());
    test::doubleClickEntry(open, entry);
    ASSERT_TRUE(test::waitUntil([&] { return test::samePixels(area.picture(), picture); }));

    for (const QString &name : {QStringLiteral("out.bmp"), QStringLiteral("out.fits")}) {
        const bool button = name.endsWith(QLatin1String(".fits"));
        menu.save(&parent);
        QFileDialog *save = dialogShowing(&parent, QStringLiteral("in.bmp"));
        ASSERT_TRUE(save);
        test::typeAndPress(save, name, button ? Qt::Key_unknown : Qt::Key_Return);
        if (button)
            QTest::mouseClick(test::acceptButton(save), Qt::LeftButton);
        ASSERT_TRUE(test::waitUntil([&] { return QFileInfo::exists(file(name)); })) << name.toStdString();
        EXPECT_EQ(menu.lastName(), file(name));
    }
    EXPECT_TRUE(test::samePixels(QImage(file("out.bmp"), "BMP"), picture));
    EXPECT_TRUE(test::readAll(file("out.fits")).startsWith("SIMPLE  =                    T"));
    EXPECT_EQ(test::readAll(file("in.bmp")), original) << "the selected name is not the one written";

    // Return over the same name: asked, then replaced.
    ASSERT_TRUE(QFile::remove(file("out.bmp")) && QFile::copy(file("in.bmp"), file("out.bmp")));
    area.setPicture(noisePicture(640, 480, 7));
    menu.save(&parent);
    QFileDialog *save = dialogShowing(&parent, QStringLiteral("out.fits"));
    ASSERT_TRUE(save);
    test::typeAndPress(save, QStringLiteral("out.bmp"), Qt::Key_Return);
    ASSERT_TRUE(test::waitUntil([&] { return !questions.isEmpty(); }));
    EXPECT_EQ(questions, QStringList{QStringLiteral("%1 exists already. Replace it?").arg(file("out.bmp"))});
    EXPECT_TRUE(test::samePixels(QImage(file("out.bmp"), "BMP"), noisePicture(640, 480, 7)));
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}

TEST_F(RealPictureMenuDialogTest, EscapeInEitherDialogLeavesEverythingAsItWas)
{
    const QImage before = noisePicture(640, 480, 6);
    area.setPicture(before);
    ASSERT_TRUE(before.save(file("other.bmp"), "BMP"));
    for (bool load : {true, false}) {
        load ? menu.load(&parent) : menu.save(&parent);
        QPointer<QFileDialog> dialog = dialogShowing(&parent, QStringLiteral("other.bmp"));
        ASSERT_TRUE(dialog);
        test::typeAndPress(dialog, QStringLiteral("new.bmp"), Qt::Key_Escape);
        ASSERT_TRUE(test::waitUntil([&] { return dialog.isNull(); }));
    }
    EXPECT_TRUE(test::samePixels(area.picture(), before));
    EXPECT_TRUE(menu.lastName().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(file("new.bmp")));
    EXPECT_TRUE(messages.isEmpty());
}

} // namespace
} // namespace orvane
