// The picture display: the stretch, histogram and zoom change what is painted,
// never the picture's pixels or the files saved from it.
#include "main_window.h"

#include "nested_loop_watch.h"
#include "picture_display_window.h"
#include "sequence_fixture.h"
#include "test_support.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace orvane;

namespace {

// A capture device that keeps a copy of the last frame it gave.
class KeptFrames : public CaptureSource {
public:
    explicit KeptFrames(std::unique_ptr<CaptureSource> inner) : inner_(std::move(inner)) {}
    QImage last;
    QString name() const override { return inner_->name(); }
    bool simulated() const override { return inner_->simulated(); }
    Result connect() override { return inner_->connect(); }
    void disconnect() override { inner_->disconnect(); }
    void setSequencing(bool on) override { inner_->setSequencing(on); }
    void setWaitService(WaitService *service) override { inner_->setWaitService(service); }
    std::optional<QImage> copyFrame() override
    {
        std::optional<QImage> frame = inner_->copyFrame();
        if (frame)
            last = frame->copy();
        return frame;
    }

private:
    std::unique_ptr<CaptureSource> inner_;
};

// The main window from the shipped orvane.cfg on the simulated sky, with the
// picture display open as the user opens it.
struct DisplayWindow : test::TestRig {
    // A still sky unless told: the stars stay round over an unguided exposure.
    explicit DisplayWindow(const QString &folder = {}, SkyMotion motion = {0, 0, 0, 480, 0, 0})
        : test::TestRig({.startMs = 20000, .link = test::RigLink::SimulatedMount, .sky = motion}),
          folder(folder.isEmpty() ? dir.path() : folder)
    {
        std::unique_ptr<SimCamera> sim = makeSimCamera();
        simCamera = sim.get();
        kept = useCamera(std::make_unique<KeptFrames>(std::move(sim)));
        EXPECT_TRUE(test::writeAll(this->folder + "/orvane.cfg", test::readAll(ORVANE_DEFAULT_CFG)));
        window = test::windowOn(*this, files, this->folder);
        window->showMessageBox = [](const QString &, QMessageBox::Icon) {};
        EXPECT_TRUE(window->load());
        state.SaveDir = dir.path();
        window->findChild<QAction *>("showPictureDisplay")->trigger();
        display = window->findChild<PictureDisplayWindow *>("pictureDisplay");
    }
    template <class W> W *in(const char *name) const { return display->findChild<W *>(name); }
    template <class W> W *on(const char *name) const { return window->findChild<W *>(name); }

    // One unguided exposure of `seconds`, run with the Start button.
    void expose(const char *seconds, bool save)
    {
        on<QLineEdit>("Text1")->setText(seconds);
        on<QCheckBox>("Check1")->setChecked(save);
        on<QPushButton>("Command1")->click();
    }
    QImage painted() const { return on<QWidget>("Picture1")->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    QTemporaryDir dir;
    QString folder;
    test::NoFiles files;
    KeptFrames *kept = nullptr;
    std::unique_ptr<MainWindow> window;
    PictureDisplayWindow *display = nullptr;
};

int grey(QRgb pixel) { return qGray(pixel); }

} // namespace

TEST(PictureDisplay, StretchLeavesTheAreaAndTheSavedFrameAsTheCameraGaveThem)
{
    DisplayWindow w({}, SkyMotion{});
    ASSERT_TRUE(w.in<QCheckBox>("autoStretch")->isChecked()); // the default
    w.expose("60", true);

    const QImage frame = w.kept->last.convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(frame.isNull());
    EXPECT_EQ(w.picture.picture().convertToFormat(QImage::Format_RGB32), frame);
    EXPECT_EQ(QImage(QDir(w.dir.path()).filePath("Image001.bmp")).convertToFormat(QImage::Format_RGB32), frame);
    EXPECT_NE(w.painted().copy(0, 0, frame.width(), frame.height()), frame); // what is painted is stretched
}

TEST(PictureDisplay, AutoStretchPaintsTheSkyBlackAndTheGuideStarWhite)
{
    DisplayWindow w({}, SkyMotion{}); // the star trails a little, as on the night
    const uint32_t start = w.clock.now();
    w.expose("60", false);

    const QImage shown = w.painted();
    const QImage &raw = w.picture.picture();
    std::vector<int> sky;
    for (int y = 0; y < raw.height(); y += 4)
        for (int x = 0; x < raw.width(); x += 4)
            sky.push_back(grey(shown.pixel(x, y)));
    std::nth_element(sky.begin(), sky.begin() + sky.size() / 2, sky.end());
    EXPECT_LE(sky[sky.size() / 2], 10);

    // The guide star's brightest pixel along its trail, as the camera gave it and as painted.
    const QPoint star = (w.simCamera->starField().guideStar() + w.sky.offsetAt(start + 30000)).toPoint();
    QPoint brightest = star;
    for (int dy = -8; dy <= 8; ++dy)
        for (int dx = -8; dx <= 8; ++dx)
            if (grey(raw.pixel(star + QPoint(dx, dy))) > grey(raw.pixel(brightest)))
                brightest = star + QPoint(dx, dy);
    EXPECT_LT(grey(raw.pixel(brightest)), 128); // nearly black as it comes
    EXPECT_GE(grey(shown.pixel(brightest)), 200);
}

TEST(PictureDisplay, UserPointsPaintAsSetAndTheGuideBoxStaysRed)
{
    DisplayWindow w;
    QImage ramp(PictureArea::kWidth, PictureArea::kHeight, QImage::Format_RGB32);
    for (int y = 0; y < ramp.height(); ++y)
        for (int x = 0; x < ramp.width(); ++x)
            ramp.setPixel(x, y, qRgb(x % 256, x % 256, x % 256));
    w.picture.setPicture(ramp);
    w.picture.drawBox(300, 300, 340, 340, 255);
    w.in<QCheckBox>("autoStretch")->setChecked(false);
    EXPECT_TRUE(w.in<QSpinBox>("blackPoint")->isEnabled());

    auto *histogram = w.in<QWidget>("histogram");
    // The histogram's marker of a level, looked for on its middle row.
    const auto histogramMarks = [histogram](int level, QColor colour) {
        const QImage drawn = histogram->grab().toImage();
        const int x = int((level + 0.5) * drawn.width() / 256);
        for (int dx = -1; dx <= 1; ++dx)
            if (drawn.pixelColor(x + dx, drawn.height() / 2) == colour)
                return true;
        return false;
    };
    struct Row {
        int black, white, level, painted;
    } rows[] = {{20, 120, 10, 0}, {20, 120, 20, 0}, {20, 120, 70, 128}, {20, 120, 120, 255}, {20, 120, 200, 255},
                {0, 255, 77, 77}, {100, 101, 100, 0}, {100, 101, 101, 255}};
    for (const Row &r : rows) {
        // Set so that black always stays below white on the way.
        w.in<QSpinBox>("whitePoint")->setValue(255);
        w.in<QSpinBox>("blackPoint")->setValue(r.black);
        w.in<QSpinBox>("whitePoint")->setValue(r.white);
        const QImage shown = w.painted();
        EXPECT_EQ(shown.pixel(r.level, 10), qRgb(r.painted, r.painted, r.painted))
            << r.black << ".." << r.white << " level " << r.level;
        EXPECT_EQ(shown.pixel(320, 300), qRgb(255, 0, 0));
        EXPECT_TRUE(histogramMarks(r.black, QColor(0, 90, 200))) << "black point " << r.black;
    }
    EXPECT_EQ(w.picture.picture(), ramp);
}

TEST(PictureDisplay, ZoomCentresThePixelUnderTheMark)
{
    DisplayWindow w;
    // A 3 x 3 star centred on (300, 200), on black, marked there (a click would snap
    // the mark to where the guide search measures the star, not to its middle).
    w.picture.setPicture(test::DarkCamera::withStar(300, 200));
    w.state.StarX = 300;
    w.state.StarY = 200;
    w.state.StarMarked = 1;

    auto *view = w.in<QWidget>("zoomView");
    for (const auto &[choice, zoom] : {std::pair{"1:1", 1}, {"2:1", 2}, {"4:1", 4}}) {
        w.in<QComboBox>("zoom")->setCurrentText(choice);
        const QImage shown = view->grab().toImage();
        const QPoint middle(view->width() / 2, view->height() / 2);
        // Two picture pixels either way along each axis: black, star, star (middle), star, black.
        for (int step = -2; step <= 2; ++step) {
            const int expected = std::abs(step) == 2 ? 0 : 255;
            EXPECT_EQ(grey(shown.pixel(middle + QPoint(step * zoom, 0))), expected) << choice << " x step " << step;
            EXPECT_EQ(grey(shown.pixel(middle + QPoint(0, step * zoom))), expected) << choice << " y step " << step;
        }
    }
}

TEST(PictureDisplay, ChoicesStayAcrossRestartsAndBadStoredOnesAreNamed)
{
    QTemporaryDir folder;
    {
        DisplayWindow w(folder.path());
        w.in<QCheckBox>("autoStretch")->setChecked(false);
        w.in<QSpinBox>("whitePoint")->setValue(90);
        w.in<QSpinBox>("blackPoint")->setValue(12);
        w.in<QComboBox>("zoom")->setCurrentText("4:1");
    }
    const QString ini = folder.filePath("orvane.ini");
    {
        DisplayWindow again(folder.path());
        EXPECT_FALSE(again.in<QCheckBox>("autoStretch")->isChecked());
        EXPECT_EQ(again.in<QSpinBox>("blackPoint")->value(), 12);
        EXPECT_EQ(again.in<QSpinBox>("whitePoint")->value(), 90);
        EXPECT_EQ(again.in<QComboBox>("zoom")->currentText(), "4:1");
        EXPECT_TRUE(again.window->notices().isEmpty());
    }
    ASSERT_TRUE(test::writeAll(ini, "; mine\n[display]\nautoStretch=maybe\nblackPoint=40\nwhitePoint=30\nzoom=3\n"));
    DisplayWindow bad(folder.path());
    EXPECT_TRUE(bad.in<QCheckBox>("autoStretch")->isChecked());
    EXPECT_EQ(bad.in<QComboBox>("zoom")->currentText(), "Fit");
    const QStringList notices = bad.window->notices();
    for (const char *key : {"autoStretch: \"maybe\"", "whitePoint: \"30\"", "zoom: \"3\""})
        EXPECT_EQ(notices.filter(ini + " line ").filter(QString("[display] ") + key).size(), 1) << key;
    bad.in<QCheckBox>("autoStretch")->setChecked(false);
    EXPECT_TRUE(test::readAll(ini).startsWith("; mine\n[display]\nautoStretch=false\n"));
}
