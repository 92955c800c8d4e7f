// The main window on the simulated camera's sky, the way a user meets it: clicks
// on the picture and commands from the menus, on the simulated clock.
#include "main_window.h"

#include "sequence_fixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace orvane;

namespace {

struct SkyWindow : test::TestRig {
    SkyWindow() : test::TestRig({.startMs = 20000, .camera = test::RigCamera::SimulatedSky})
    {
        opener.reply = "P"; // the mount answers the probe
        window = test::windowOn(*this, files, dir.path());
        window->showMessageBox = [this](const QString &text, QMessageBox::Icon) { messages.append(text); };
        state.SaveDir = dir.path();
    }

    template <class W>
    W *child(const char *name) const { return window->findChild<W *>(QLatin1String(name)); }
    QString told() const { return window->statusBar()->currentMessage(); }
    // Where the guide star stands now, pixels.
    QPointF guideStar() { return simCamera->starField().guideStar() + sky.offsetAt(clock.now()); }
    // A left click on Picture1 at picture pixel (x, y).
    void click(double x, double y)
    {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(x, y), QPointF(x, y), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(window->pictureView(), &press);
    }
    // Runs `then` at the first 50 ms look at which the status box reads `status`.
    void whenStatus(const QString &status, std::function<void()> then)
    {
        pump.at(clock.now() + 50, [this, status, then] {
            if (window->status() == status)
                return then();
            whenStatus(status, then);
        });
    }
    // A point of the picture at least a guide box away from every star.
    QPointF emptySky()
    {
        const QPointF offset = sky.offsetAt(clock.now());
        for (int y = 60; y < 420; y += 10)
            for (int x = 60; x < 580; x += 10) {
                bool clear = true;
                for (const Star &s : simCamera->starField().stars())
                    clear = clear && std::hypot(s.x + offset.x() - x, s.y + offset.y() - y) > 45;
                if (clear)
                    return QPointF(x, y);
            }
        return {};
    }

    QTemporaryDir dir;
    test::NoFiles files;
    std::unique_ptr<MainWindow> window;
    QStringList messages;
};

} // namespace

TEST(WindowOnTheSky, AClickBesideTheStarMarksItsCentreAndEmptySkyKeepsTheMark)
{
    SkyWindow w;
    w.child<QCheckBox>("Check2")->setChecked(true);
    w.child<QLineEdit>("Text1")->setText("3");
    QPointF star;
    QString toldAtMark, toldOnEmptySky;
    int16_t markX = 0, markY = 0;
    w.whenStatus("Mark Star", [&] {
        star = w.guideStar();
        w.click(star.x() + 2, star.y()); // two pixels right of the star
        markX = w.state.StarX;
        markY = w.state.StarY;
        toldAtMark = w.told();
    });
    w.whenStatus("Image 1", [&] {
        w.pump.at(w.clock.now() + 500, [&] {
            const QPointF empty = w.emptySky();
            ASSERT_FALSE(empty.isNull());
            w.click(empty.x(), empty.y());
            toldOnEmptySky = w.told();
        });
    });
    w.child<QPushButton>("Command1")->click();

    EXPECT_TRUE(w.messages.isEmpty()) << w.messages.join("; ").toStdString();
    // The search's centre of a star lies within a pixel of its true centre.
    EXPECT_NEAR(markX, star.x(), 1.0);
    EXPECT_NEAR(markY, star.y(), 1.0);
    EXPECT_EQ(toldAtMark, QStringLiteral("Guide star marked at %1, %2").arg(markX).arg(markY));
    EXPECT_EQ(toldOnEmptySky, "No star here");
    EXPECT_EQ(w.state.StarX, markX);
    EXPECT_EQ(w.state.StarY, markY);
    // Two guide steps, each a stop-all and no move, then the run's stop-all.
    EXPECT_EQ(w.opener.writes, (QByteArrayList{QByteArray(1, '\x06'), kStopAll, kStopAll, kStopAll}));
    EXPECT_EQ(w.window->findChild<QLineEdit *>("Text7")->text(), " 0");
}
