// The deinterlace window: its controls, the status texts a user sees, the
// button that waits while the picture area is held, and Exit.

#include "deinterlace_window.h"
#include "picture_test_support.h"
#include "test_support.h"

#include "clock.h"
#include "event_pump.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

namespace orvane {
namespace {

using test::noisePicture;

class DeinterlaceWindowTest : public ::testing::Test {
protected:
    DeinterlaceWindowTest()
    {
        QObject::connect(text1(), &QLineEdit::textChanged, [this](const QString &t) { statuses.append(t); });
    }
    QPushButton *command1() { return window.findChild<QPushButton *>(QStringLiteral("Command1")); }
    QPushButton *command2() { return window.findChild<QPushButton *>(QStringLiteral("Command2")); }
    QLineEdit *text1() { return window.findChild<QLineEdit *>(QStringLiteral("text1")); }
    QString file(const QString &name) const { return dir.filePath(name); }
    QString makeFrame(const QString &name, uint32_t seed)
    {
        EXPECT_TRUE(noisePicture(640, 480, seed).save(file(name), "BMP"));
        return file(name);
    }

    QTemporaryDir dir;
    PictureArea area;
    SimClock clock;
    SimEventPump pump{clock};
    test::ScriptedChooser chooser;
    QStringList messages;
    QStringList statuses;
    DeinterlaceWindow window{area, pump, chooser, nullptr,
                             [this](QWidget *, const QString &sentence) { messages.append(sentence); }};
};

TEST_F(DeinterlaceWindowTest, ControlsStandWhereTheUserExpectsThem)
{
    EXPECT_EQ(window.objectName(), QStringLiteral("hello"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Deinterlace Utility"));
    EXPECT_EQ(window.size(), QSize(312, 213));
    ASSERT_TRUE(command1() && text1() && command2());
    EXPECT_EQ(command1()->text(), QStringLiteral("Deinterlace"));
    EXPECT_EQ(command1()->geometry(), QRect(24, 128, 97, 41));
    EXPECT_EQ(text1()->text(), QStringLiteral("Ready"));
    EXPECT_EQ(text1()->geometry(), QRect(56, 64, 201, 33));
    EXPECT_EQ(command2()->text(), QStringLiteral("Exit"));
    EXPECT_EQ(command2()->geometry(), QRect(184, 128, 97, 41));
    EXPECT_EQ(command1()->nextInFocusChain(), text1());
    EXPECT_EQ(text1()->nextInFocusChain(), command2());
}

TEST_F(DeinterlaceWindowTest, CancelShowsNoFilesSelected)
{
    command1()->click();
    EXPECT_EQ(chooser.filters, QStringList{DeinterlaceWindow::kFilter});
    EXPECT_EQ(window.status(), QStringLiteral(" 0Files selected "));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(DeinterlaceWindowTest, OneFileShowsItsPathThenDeinterlacingThenReady)
{
    const QString path = makeFrame(QStringLiteral("with space.bmp"), 1);
    chooser.listReplies = {{path}};
    command1()->click();
    EXPECT_EQ(statuses, (QStringList{QStringLiteral(" 1Files selected ") + path, QStringLiteral("Deinterlacing"),
                                     QStringLiteral("Ready")}));
    EXPECT_EQ(pump.passes(), 2);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(DeinterlaceWindowTest, ThreeFilesCountUpThenReady)
{
    chooser.listReplies = {{makeFrame(QStringLiteral("a.bmp"), 1), makeFrame(QStringLiteral("b.bmp"), 2),
                            makeFrame(QStringLiteral("c.bmp"), 3)}};
    command1()->click();
    EXPECT_EQ(statuses, (QStringList{QStringLiteral(" 3Files selected ") + dir.path(), QStringLiteral("File  1/ 3"),
                                     QStringLiteral("File  2/ 3"), QStringLiteral("File  3/ 3"),
                                     QStringLiteral("Ready")}));
    EXPECT_EQ(pump.passes(), 9);
}

TEST_F(DeinterlaceWindowTest, ButtonWaitsWhileTheAreaIsHeldAndSaysWhy)
{
    area.reserve(QStringLiteral("the imaging sequence"));
    EXPECT_FALSE(command1()->isEnabled());
    EXPECT_TRUE(command1()->toolTip().contains(QStringLiteral("the imaging sequence")));
    area.release();
    EXPECT_TRUE(command1()->isEnabled());
    EXPECT_TRUE(command1()->toolTip().isEmpty());
}

TEST_F(DeinterlaceWindowTest, NoBatchWhileTheImagingSequenceRuns)
{
    const QString path = makeFrame(QStringLiteral("a.bmp"), 1);
    const QByteArray before = test::readAll(path);
    chooser.listReplies = {{path}};
    area.setSequenceWriting(true);
    EXPECT_FALSE(command1()->isEnabled());
    EXPECT_TRUE(command1()->toolTip().contains(QStringLiteral("the imaging sequence")));

    window.deinterlace();

    EXPECT_EQ(chooser.calls, 0);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("the imaging sequence")));
    EXPECT_EQ(test::readAll(path), before);
    area.setSequenceWriting(false);
    EXPECT_TRUE(command1()->isEnabled());
}

TEST_F(DeinterlaceWindowTest, SecondBatchIsRefusedWhileOneRuns)
{
    const QString path = makeFrame(QStringLiteral("a.bmp"), 1);
    chooser.listReplies = {{path}, {path}};
    bool enabledDuringBatch = true;
    pump.afterPasses(0, [&] {
        enabledDuringBatch = command1()->isEnabled();
        window.deinterlace(); // as if clicked while the batch yields
    });
    command1()->click();

    EXPECT_FALSE(enabledDuringBatch);
    EXPECT_EQ(chooser.calls, 1);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(DeinterlaceBatch::kHolder));
    EXPECT_EQ(window.status(), QStringLiteral("Ready"));
    EXPECT_FALSE(area.reserved());
    EXPECT_TRUE(command1()->isEnabled());
}

TEST_F(DeinterlaceWindowTest, FailureIsToldAndTheWindowGoesOn)
{
    chooser.listReplies = {{file("missing.bmp")}};
    command1()->click();
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(file("missing.bmp")));
    EXPECT_TRUE(command1()->isEnabled());
}

TEST_F(DeinterlaceWindowTest, ExitClosesAndTheNextOpeningStartsReady)
{
    window.show();
    command1()->click(); // cancelled dialog leaves " 0Files selected "
    command2()->click();
    EXPECT_FALSE(window.isVisible());
    window.show();
    EXPECT_EQ(window.status(), QStringLiteral("Ready"));
}

} // namespace
} // namespace orvane
