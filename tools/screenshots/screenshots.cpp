// Makes the pictures of docs/: the main window idle and during a guided
// exposure, the picture display beside a stretched frame, the Options window
// (also with a box's tooltip shown), the device and save-directory windows,
// the guide graph during a guided run, a rehearsal's report, the calibration
// window after a calibration, the guiding settings window and a night's guide
// log opened in the guide log window.
// The main window runs on the simulated rig and a simulated clock, so every run
// gives the same pictures.
#include "calibration_log_lines.h"
#include "calibration_window.h"
#include "device_dialog.h"
#include "directory_dialog.h"
#include "file_chooser.h"
#include "guide_graph_window.h"
#include "guide_log.h"
#include "guide_log_window.h"
#include "guiding_settings_dialog.h"
#include "main_window.h"
#include "options_dialog.h"
#include "picture_display_window.h"
#include "rehearsal_window.h"
#include "sequence_fixture.h"
#include "test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QPainter>
#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QEventLoop>
#include <QLayout>
#include <QTimer>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolTip>

#include <cmath>
#include <iostream>

using namespace orvane;
using test::NamedSource;
using test::NoFiles;

namespace {

QByteArray defaultSettings()
{
    QByteArray out = "Orvane Config file\r\n \r\nDate\r\n12-08-2026\r\n \r\n";
    const QList<QByteArray> values = {" 3 ", " 0 ", " 2 ", " 250 ", " 1 ", " 0 ", "n", "s", "e", "w",
                                      " 5 ", " 40 ", " 0 ", " 1 ", " 100 "};
    for (int i = 0; i < values.size(); ++i)
        out += "label\r\n" + values[i] + "\r\n" + (i + 1 < values.size() ? " \r\n" : "");
    return out;
}

// The main window on the simulated rig, on a simulated clock.
struct SimulatedWindow : test::TestRig {
    SimulatedWindow()
        : test::TestRig({.startMs = 100000, .camera = test::RigCamera::SimulatedSky, .link = test::RigLink::SimulatedMount})
    {
        test::writeAll(dir.filePath("orvane.cfg"), defaultSettings());
        test::writeAll(dir.filePath("orvane.ini"), "[guidelog]\nenabled=false\n"); // no log beside the pictures
        window = test::windowOn(*this, files, dir.path());
        window->showMessageBox = [](const QString &, QMessageBox::Icon) {};
    }
    QTemporaryDir dir;
    NoFiles files;
    std::unique_ptr<MainWindow> window;
};

bool save(QWidget &widget, const QDir &out, const char *name)
{
    const QString path = out.filePath(QLatin1String(name));
    if (widget.grab().save(path)) {
        std::cout << "wrote " << path.toStdString() << '\n';
        return true;
    }
    std::cerr << "orvane_screenshots: could not write " << path.toStdString() << '\n';
    return false;
}

bool idleWindow(const QDir &out)
{
    SimulatedWindow w;
    if (!w.window->load())
        return false;
    w.picture.setPicture(*w.camera.copyFrame());
    return save(*w.window, out, "main-window.png");
}

// Halfway through a 30 s guided exposure, after a few guide steps.
bool guidingWindow(const QDir &out)
{
    SimulatedWindow w;
    if (!w.window->load())
        return false;
    w.window->findChild<QCheckBox *>("Check2")->setChecked(true);
    w.window->findChild<QLineEdit *>("Text1")->setText("30");
    bool saved = false;
    std::function<void()> markWhenAsked = [&] {
        if (w.window->status() != "Mark Star") {
            w.pump.at(w.clock.now() + 100, markWhenAsked);
            return;
        }
        const QPointF star = w.simCamera->starField().guideStar() + w.sky.offsetAt(w.clock.now());
        w.window->sequence().onPictureMouseDown(std::round(star.x()), std::round(star.y()));
        const uint32_t shotAt = w.clock.now() + 12500;
        w.pump.at(shotAt, [&] { saved = save(*w.window, out, "main-window-guiding.png"); });
        w.pump.at(shotAt + 1, [&] { w.window->findChild<QPushButton *>("Command1")->click(); });
    };
    w.pump.at(w.clock.now() + 100, markWhenAsked);
    w.window->findChild<QPushButton *>("Command1")->click();
    return saved;
}

// Two minutes into a guided 3 min exposure, the guide graph beside it; the
// mark stands 2 pixels off the star, so the first steps pull it in.
bool guideGraph(const QDir &out)
{
    SimulatedWindow w;
    if (!w.window->load())
        return false;
    w.window->findChild<QCheckBox *>("Check2")->setChecked(true);
    w.window->findChild<QLineEdit *>("Text1")->setText("180");
    GuideGraphWindow *graph = w.window->guideGraphWindow();
    graph->resize(900, 560);
    graph->show();
    bool saved = false;
    std::function<void()> markWhenAsked = [&] {
        if (w.window->status() != "Mark Star") {
            w.pump.at(w.clock.now() + 100, markWhenAsked);
            return;
        }
        const QPointF star = w.simCamera->starField().guideStar() + w.sky.offsetAt(w.clock.now());
        w.window->sequence().onPictureMouseDown(std::round(star.x()), std::round(star.y()));
        w.state.StarX = int16_t(w.state.StarX + 2);
        const uint32_t shotAt = w.clock.now() + 120000;
        w.pump.at(shotAt, [&] {
            QCoreApplication::processEvents(); // the chart lays out its legend in a posted event
            saved = save(*graph, out, "guide-graph.png");
        });
        w.pump.at(shotAt + 1, [&] { w.window->findChild<QPushButton *>("Command1")->click(); });
    };
    w.pump.at(w.clock.now() + 100, markWhenAsked);
    w.window->findChild<QPushButton *>("Command1")->click();
    return saved;
}

// A 60 s frame of the simulated sky, stretched, with the picture display
// beside the main window zoomed 2:1 on the guide star.
bool pictureDisplay(const QDir &out)
{
    SimulatedWindow w;
    if (!w.window->load())
        return false;
    w.window->findChild<QLineEdit *>("Text1")->setText("60");
    w.window->findChild<QPushButton *>("Command1")->click();
    const QPointF star = w.simCamera->starField().guideStar() + w.sky.offsetAt(w.clock.now() - 30000);
    w.window->sequence().onPictureMouseDown(std::round(star.x()), std::round(star.y()));
    w.window->findChild<QAction *>("showPictureDisplay")->trigger();
    PictureDisplayWindow *display = w.window->pictureDisplayWindow();
    display->findChild<QComboBox *>("zoom")->setCurrentText("2:1");
    display->adjustSize();

    const QPixmap main = w.window->grab(), side = display->grab();
    constexpr int kGap = 12; // pixels between the two windows
    QImage both(main.width() + kGap + side.width(), std::max(main.height(), side.height()), QImage::Format_RGB32);
    both.fill(QColor(0xe0, 0xe0, 0xe0));
    QPainter painter(&both);
    painter.drawPixmap(0, 0, main);
    painter.drawPixmap(main.width() + kGap, 0, side);
    painter.end();
    const QString path = out.filePath(QStringLiteral("picture-display.png"));
    if (!both.save(path)) {
        std::cerr << "orvane_screenshots: could not write " << path.toStdString() << '\n';
        return false;
    }
    std::cout << "wrote " << path.toStdString() << '\n';
    return true;
}

// The Options window; with `tipBox` > 0 also the tooltip of box Text<tipBox>,
// drawn onto the picture where it stands (a tooltip is a window of its own).
bool optionsWindow(const QDir &out, const char *name, int tipBox)
{
    test::TestRig rig({.link = test::RigLink::SimulatedMount});
    Settings settings = test::simulatedRigSettings();
    settings.CommPort = 1;
    // Names only: nothing is written unless DONE is pressed.
    const QString folder = QStringLiteral("/home/observer/.config/orvane/");
    OptionsDialog dialog(settings, folder + "orvane.cfg", folder + "orvane.ini", rig.comm, rig.clock);
    dialog.setSerialDeviceChoices({});
    dialog.show();
    dialog.adjustSize();
    if (tipBox <= 0)
        return save(dialog, out, name);
    QLineEdit *box = dialog.box(tipBox);
    QToolTip::showText(box->mapToGlobal(QPoint(box->width() / 2, box->height())), box->toolTip(), box);
    QWidget *tip = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            tip = w;
    if (!tip) {
        std::cerr << "orvane_screenshots: the tooltip did not show\n";
        return false;
    }
    const QPoint at = tip->pos() - dialog.mapToGlobal(QPoint(0, 0));
    const QPixmap tipPicture = tip->grab();
    QPixmap picture(dialog.size().expandedTo(QSize(at.x() + tipPicture.width(), at.y() + tipPicture.height())));
    picture.fill(dialog.palette().color(QPalette::Window));
    QPainter painter(&picture);
    painter.drawPixmap(0, 0, dialog.grab());
    painter.drawPixmap(at, tipPicture);
    painter.end();
    QToolTip::hideText();
    const QString path = out.filePath(QLatin1String(name));
    const bool saved = picture.save(path);
    std::cout << (saved ? "wrote " : "could not write ") << path.toStdString() << '\n';
    return saved;
}

bool optionsPlain(const QDir &out) { return optionsWindow(out, "options-dialog.png", 0); }
bool optionsTooltip(const QDir &out) { return optionsWindow(out, "options-tooltips.png", 6); }

bool deviceWindow(const QDir &out)
{
    CaptureDevices camera;
    for (const char *name : {"Cam A", "Cam B", "Sim camera"})
        camera.addSource(std::make_unique<NamedSource>(QString::fromLatin1(name)));
    (void)camera.setCurrentDevice(0);
    DeviceDialog dialog(camera);
    dialog.fillDeviceList();
    dialog.show();
    dialog.adjustSize();
    return save(dialog, out, "device-dialog.png");
}

bool directoryWindow(const QDir &out)
{
    QTemporaryDir dir;
    for (const char *name : {"lights", "darks", "flats"})
        QDir(dir.path()).mkdir(QString::fromLatin1(name));
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QString saveDir = QStringLiteral("/previous/choice");
    bool saved = false;
    {
        DirectoryDialog dialog(saveDir);
        dialog.show(); // lists the folder again: the highlight comes after
        const auto lights = dialog.Dir1->findItems(QStringLiteral("lights"), Qt::MatchExactly);
        if (!lights.isEmpty())
            dialog.Dir1->setCurrentRow(dialog.Dir1->row(lights.first()));
        dialog.adjustSize();
        saved = save(dialog, out, "directory-dialog.png");
    }
    QDir::setCurrent(before);
    return saved;
}

// The report of a rehearsed ten-frame night with a passing cloud every four minutes.
bool rehearsalReport(const QDir &out)
{
    SimulatedWindow w;
    if (!w.window->load())
        return false;
    w.state.SaveDir = w.dir.path(); // the report goes beside the guide logs, in the scratch folder
    w.window->findChild<QCheckBox *>("Check2")->setChecked(true);
    w.window->findChild<QLineEdit *>("Text1")->setText("60");
    w.window->findChild<QLineEdit *>("Text4")->setText("2");
    w.window->findChild<QLineEdit *>("Text5")->setText("10");
    RehearsalWindow *rehearsal = w.window->rehearsalWindow();
    rehearsal->findChild<QDoubleSpinBox *>("cloudLength")->setValue(20);
    rehearsal->findChild<QDoubleSpinBox *>("cloudStart")->setValue(200);
    rehearsal->findChild<QDoubleSpinBox *>("cloudEvery")->setValue(240);
    rehearsal->resize(1280, 860);
    rehearsal->show();
    QEventLoop waiting;
    QObject::connect(rehearsal, &RehearsalWindow::finished, &waiting, &QEventLoop::quit);
    QTimer::singleShot(120000, &waiting, &QEventLoop::quit); // a deadline, should the run never end
    rehearsal->start();
    waiting.exec();
    return !rehearsal->running() && save(*rehearsal, out, "rehearsal-report.png");
}

// The calibration window after a calibration around the marked guide star.
bool calibrationWindow(const QDir &out)
{
    SimulatedWindow w;
    if (!w.window->load() || !w.window->rig().TakeFrame())
        return false;
    w.state.SaveDir = w.dir.path();
    const QPointF star = w.simCamera->starField().guideStar() + w.sky.offsetAt(w.clock.now());
    w.window->sequence().onPictureMouseDown(std::round(star.x()), std::round(star.y()));
    w.window->findChild<QAction *>("calibrate")->trigger();
    auto *calibration = w.window->findChild<CalibrationWindow *>("calibrationWindow");
    if (!calibration)
        return false;
    calibration->findChild<QPushButton *>("calibrationStart")->click(); // returns when it has ended
    calibration->layout()->activate(); // the event loop would lay out the result's lines before the next paint
    return calibration->lastRun().ok() && save(*calibration, out, "calibration-window.png");
}

bool guidingSettingsWindow(const QDir &out)
{
    SimulatedWindow w;
    if (!w.window->load())
        return false;
    w.window->findChild<QAction *>("guidingSettings")->trigger();
    auto *dialog = w.window->findChild<GuidingSettingsDialog *>("GuidingSettings");
    return dialog && save(*dialog, out, "guiding-settings.png");
}

// A dithered night of twelve 60 s frames guided by the centroid way, its guide
// log opened in the guide log window with the night's frames.csv beside it.
bool guideLogNight(const QDir &out)
{
    test::SequenceTestRig rig({.startMs = 10000, .camera = test::RigCamera::SimulatedSky, .link = test::RigLink::SimulatedMount});
    QTemporaryDir dir;
    rig.guiding.chooseAlgorithm("centroid");
    rig.guiding.Options.algorithm = "centroid";
    rig.guiding.Options.dither = true;
    rig.sequence.seedDither(11);
    rig.state.optics = Optics{.guideFocalLengthMm = 400, .guidePixelUm = 5.6};
    rig.panel.controls.guiding = true;
    rig.panel.guide = "2";
    rig.panel.exposure = "60";
    rig.panel.frameCount = "12";
    rig.panel.save = true;
    rig.state.SaveDir = dir.path();
    std::function<void()> markWhenAsked = [&] {
        if (rig.panel.status() != "Mark Star") {
            rig.pump.at(rig.clock.now() + 100, markWhenAsked);
            return;
        }
        const QPointF star = rig.simCamera->starField().guideStar() + rig.sky.offsetAt(rig.clock.now());
        rig.sequence.onPictureMouseDown(std::round(star.x()), std::round(star.y()));
    };
    rig.pump.at(rig.clock.now() + 100, markWhenAsked);
    auto log = std::make_unique<GuideLog>(rig.rig.context(), GuideLogOptions{});
    // The calibration of the evening before the run, as Guide > Calibrate... writes it.
    QStringList calibration = calibrationLogBegins(QDateTime::fromMSecsSinceEpoch(rig.clock.utcMs(rig.clock.now())),
                                                   "simulated", 1000, 15);
    for (const char *direction : {"West", "North"})
        for (int i = 0; i <= 3; ++i) {
            const QPointF step = QString(direction) == "West" ? QPointF(5.0 * i, 0.2 * i) : QPointF(-0.2 * i, 5.0 * i);
            calibration << calibrationLogRow(direction, i, step, QPointF(320, 240) + step);
        }
    calibration << calibrationLogAxis("West", 2.3) << calibrationLogAxis("North", 92.3) << calibrationLogSpeeds(5, 5)
                << calibrationLogEnds({});
    log->writeCalibration(calibration);
    rig.sequence.addGuideObserver(log.get());
    rig.sequence.onCommand1Click();
    rig.sequence.removeGuideObserver(log.get());
    const QString path = log->filePath();
    log.reset();
    GuideLogWindow window;
    if (!window.openFile(path))
        return false;
    window.setSpan(2, 8);
    window.resize(1200, 680);
    window.show();
    QCoreApplication::processEvents(); // the chart lays out its legend in a posted event
    return save(window, out, "guide-log-window.png");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: orvane_screenshots <folder for the pictures>\n";
        return 2;
    }
    const QDir out(QDir(QString::fromLocal8Bit(argv[1])).absolutePath()); // the windows change the working folder
    bool ok = true;
    for (auto make : {idleWindow, guidingWindow, pictureDisplay, optionsPlain, optionsTooltip, deviceWindow,
                      directoryWindow, guideGraph, rehearsalReport, calibrationWindow, guidingSettingsWindow,
                      guideLogNight})
        ok = make(out) && ok;
    return ok ? 0 : 1;
}
