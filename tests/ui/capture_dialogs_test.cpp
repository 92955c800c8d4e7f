// The Camera menu's dialogs for the simulated camera: each is a box with the
// camera's own note, open without a loop of its own.
#include "capture_dialogs.h"
#include "nested_loop_watch.h"
#include "sim_camera.h"

#include <QMessageBox>

#include <gtest/gtest.h>

namespace orvane {
namespace {

TEST(CaptureDialogs, SimulatedCameraShowsItsNoteInABox)
{
    SimClock clock;
    CameraLines port(clock);
    Settings settings;
    SimSky sky(clock.now());
    SimCamera camera(clock, port, settings, sky);
    QWidget window;
    const std::pair<CaptureDialog, const char *> cases[] = {
        {CaptureDialog::Format, "The simulated camera always delivers 640 x 480 grey frames."},
        {CaptureDialog::Source, "The simulated camera's settings are in the [camera] group of orvane.ini."},
        {CaptureDialog::Compression, "The simulated camera delivers uncompressed frames."},
    };
    for (const auto &[which, text] : cases) {
        test::NestedLoopWatch watch;
        showCaptureDialog(&camera, which, &window);
        EXPECT_EQ(watch.nestedLoops(), 0);
        const QList<QMessageBox *> open = test::openDialogs<QMessageBox>(&window);
        ASSERT_EQ(open.size(), 1);
        EXPECT_EQ(open[0]->text(), QString::fromUtf8(text));
        open[0]->reject();
    }
}

} // namespace
} // namespace orvane
