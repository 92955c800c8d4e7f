#include "main_window.h"

#include "assistant_window.h"
#include "calibration.h"
#include "guider_server.h"
#include "rehearsal_window.h"

#include "capture_dialogs.h"
#include "config_file.h"
#include "message_box.h"
#include "deinterlace_window.h"
#include "device_dialog.h"
#include "directory_dialog.h"
#include "frame_header.h"
#include "guide_graph_window.h"
#include "help_window.h"
#include "numbers.h"
#include "options_dialog.h"
#include "picture_display_window.h"
#include "picture_file_menu.h"
#include "rehearsal_window.h"
#include "save_folder_label.h"
#include "optics_window.h"
#include "save_format_dialog.h"
#include "serial_devices.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include <iostream>

namespace orvane {

namespace {

constexpr int kClientWidth = 788;  // pixels
constexpr int kClientHeight = 536; // pixels

QFont sequenceFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(13.5);
    return font;
}

template <typename W>
W *place(QWidget *parent, const char *name, int left, int top, int width, int height)
{
    auto *w = new W(parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(left, top, width, height);
    return w;
}

} // namespace

MainWindow::MainWindow(MainWindowParts parts, QWidget *parent) : QMainWindow(parent), parts_(std::move(parts))
{
    setObjectName(QStringLiteral("frmCapTest"));
    setWindowTitle(QStringLiteral("Orvane 4.0"));
    buildControls();
    display_ = std::make_unique<PictureDisplay>(parts_.picture, parts_.iniPath, *this);
    picture1_->setDisplay(display_.get());
    buildMenus();
    setUpKeyboardAndNames();

    rig_ = std::make_unique<Rig>(RigContext{parts_.settings, parts_.sequence, parts_.guiding, parts_.clock,
                                            parts_.pump, parts_.port, parts_.comm, parts_.camera,
                                            parts_.picture, *this});
    sequence_ = std::make_unique<ImagingSequence>(*rig_, *this);
    frameLoop_ = std::make_unique<FrameLoop>(*rig_, *this);
    guideLog_ = std::make_unique<GuideLog>(rig_->context(), guideLogOptionsFromIni(parts_.iniPath, guideLogNotes_));
    sequence_->addGuideObserver(guideLog_.get());
    calibration_ = std::make_unique<Calibration>(*rig_);
    calibration_->writeLog = [this](const QStringList &lines) { guideLog_->writeCalibration(lines); };
    buildLoopCommand();
    buildGuiderServer();
    fileMenu_ = std::make_unique<PictureFileMenu>(parts_.picture, parts_.files);
    picture1_->onMouseDown = [this](double x, double y) { sequence_->onPictureMouseDown(x, y, frameLoop_->running()); };
    parts_.comm.onLinkLost = [this](const QString &sentence) { notify(sentence); };
    parts_.camera.setProblemNotifier(this);
    connectCamera();

    showMessageBox = [this](const QString &text, QMessageBox::Icon icon) { openMessageBox(this, icon, text); };
    connect(&parts_.picture, &PictureArea::reservationChanged, this, &MainWindow::updateStartButton);
    connect(&parts_.camera, &CaptureDevices::deviceChanged, this, &MainWindow::updateSimulatedParts);
    parts_.port.onRealPortChanged = [this] {
        // A real port lost while in use (a write failed) is told here; a retry tells its own outcome.
        const bool real = parts_.port.realPortInUse();
        if (portWasReal_ && !real && !retryingPort_)
            notify(QStringLiteral("%1 The camera lines are simulated from now on.").arg(parts_.port.realPortNote()));
        portWasReal_ = real;
        updateSimulatedParts();
    };
    portWasReal_ = parts_.port.realPortInUse();
}

MainWindow::~MainWindow()
{
    delete rehearsal_; // a rehearsal still running ends first and gives back the picture area
    guider_->stop();
    sequence_->removeGuideObserver(guider_.get());
    guider_->mode().removeGuideObserver(guideLog_.get());
    guider_->mode().showGuidingFor = nullptr;
    guider_->mode().ended = nullptr;
    sequence_->removeGuideObserver(guideLog_.get());
    guideLog_.reset(); // "Log closed at ...", while the window can still tell a problem
    // The views that paint through the display go before it does.
    delete pictureDisplay_;
    delete guideGraph_; // it stops following the sequence before the sequence goes
    picture1_->setDisplay(nullptr);
    parts_.port.onRealPortChanged = nullptr;
    parts_.camera.setProblemNotifier(nullptr);
}

void MainWindow::buildControls()
{
    auto *client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    client->setFixedSize(kClientWidth, kClientHeight);
    setCentralWidget(client);
    const QFont big = sequenceFont();

    auto label = [&](const char *name, const char *caption, int l, int t, int w, int h, bool bigFont) {
        auto *lab = place<QLabel>(client, name, l, t, w, h);
        lab->setText(QLatin1String(caption));
        lab->setWordWrap(true);
        lab->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (bigFont)
            lab->setFont(big);
        return lab;
    };
    auto text = [&](const char *name, const char *initial, int l, int t, int w, int h, bool bigFont) {
        auto *box = place<QLineEdit>(client, name, l, t, w, h);
        box->setText(QLatin1String(initial));
        if (bigFont)
            box->setFont(big);
        return box;
    };

    label("Label5", "Exposure sec", 8, 8, 81, 49, true);
    text1_ = text("Text1", "2", 24, 64, 57, 33, true);
    label("Label7", "Number of expsures", 0, 112, 113, 57, true);
    text5_ = text("Text5", "1", 24, 168, 57, 33, true);
    place<QWidget>(client, "ezVidCap1", 104, 192, 3, 3); // the capture layer has no face of its own
    command1_ = place<QPushButton>(client, "Command1", 8, 232, 97, 33);
    command1_->setText(QStringLiteral("Start"));
    command1_->setFont(big);
    text6_ = text("Text6", "Ready", 8, 288, 97, 33, true);
    progressBar1_ = place<QProgressBar>(client, "ProgressBar1", 8, 336, 97, 17);
    progressBar1_->setTextVisible(false);
    progressBar1_->setRange(0, 100);
    progressBar1_->setValue(0);
    label("Label6", "Guide sec", 8, 376, 105, 41, true);
    text4_ = text("Text4", "1", 8, 408, 57, 33, true);
    check2_ = place<QCheckBox>(client, "Check2", 88, 408, 17, 23);
    check2_->setFont(big);
    label("Label8", "dx", 16, 440, 33, 25, true);
    label("Label9", "dy", 64, 440, 33, 25, true);
    text7_ = text("Text7", "", 8, 472, 33, 19, false);
    text8_ = text("Text8", "", 56, 472, 33, 19, false);
    label("Label10", "2x1 Bin", 8, 504, 73, 25, true);
    check3_ = place<QCheckBox>(client, "Check3", 88, 504, 17, 17);
    check3_->setText(QStringLiteral("Check3")); // clipped by its width
    picture1_ = new PictureView(parts_.picture, client);
    picture1_->setObjectName(QStringLiteral("Picture1"));
    picture1_->setGeometry(128, 8, 641, 481);
    label("Label1", "Dir", 232, 496, 25, 25, true);
    command2_ = place<QPushButton>(client, "Command2", 272, 496, 33, 25);
    command2_->setText(QStringLiteral("..."));
    label("Label2", "File Name", 320, 496, 97, 25, true);
    text2_ = text("Text2", "Image", 424, 496, 121, 33, true);
    label("Label3", "Index", 560, 496, 65, 25, true);
    text3_ = text("Text3", "0", 632, 496, 49, 33, true);
    label("Label4", "Save", 688, 496, 41, 25, true);
    check1_ = place<QCheckBox>(client, "Check1", 744, 504, 17, 17);

    connect(command1_, &QPushButton::clicked, this, &MainWindow::onStartStop);
    connect(command2_, &QPushButton::clicked, this, &MainWindow::showDirectoryDialog);
    // The Index box follows the series of the File Name in the save folder.
    connect(text2_, &QLineEdit::editingFinished, this, [this] { rig_->showNextFirstIndex(); });
    statusBar()->setObjectName(QStringLiteral("notices"));
    simulatedParts_ = new QLabel(statusBar());
    simulatedParts_->setObjectName(QStringLiteral("simulatedParts"));
    simulatedParts_->hide();
    statusBar()->addPermanentWidget(simulatedParts_);
    saveFolder_ = new SaveFolderLabel(parts_.sequence.SaveDir, statusBar());
    statusBar()->addPermanentWidget(saveFolder_);
    runProgress_ = new QLabel(statusBar());
    runProgress_->setObjectName(QStringLiteral("runProgress"));
    runProgress_->hide();
    statusBar()->insertPermanentWidget(0, runProgress_);
}

void MainWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    QMenu *file = bar->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("File"));
    QAction *load = file->addAction(QStringLiteral("Load"), this, [this] { fileMenu_->load(this); });
    load->setObjectName(QStringLiteral("Load"));
    QAction *save = file->addAction(QStringLiteral("Save"), this, [this] { fileMenu_->save(this); });
    save->setObjectName(QStringLiteral("Save"));
    QAction *exit = file->addAction(QStringLiteral("Exit"), this, &QWidget::close);
    exit->setObjectName(QStringLiteral("Exit"));

    QMenu *camera = bar->addMenu(QStringLiteral("Camera"));
    camera->setObjectName(QStringLiteral("Camera"));
    camera->addAction(QStringLiteral("Device"), this, &MainWindow::showDeviceDialog)->setObjectName("Device");
    const auto showDialog = [this](CaptureDialog which) {
        return [this, which] { showCaptureDialog(parts_.camera.sourceInUse(), which, this); };
    };
    camera->addAction(QStringLiteral("Format"), this, showDialog(CaptureDialog::Format))->setObjectName("Format");
    camera->addAction(QStringLiteral("Source"), this, showDialog(CaptureDialog::Source))->setObjectName("Source");
    camera->addAction(QStringLiteral("Compression"), this, showDialog(CaptureDialog::Compression))
        ->setObjectName("Compression");

    bar->addAction(QStringLiteral("Options"), this, &MainWindow::showOptions)->setObjectName("Options");
    bar->addAction(QStringLiteral("Deinterlace"), this, &MainWindow::showDeinterlace)->setObjectName("deinterlace");
    bar->addAction(QStringLiteral("About"), this, &MainWindow::showAbout)->setObjectName("About");

    QMenu *help = bar->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("Help"));
    QAction *page = help->addAction(QStringLiteral("Orvane help"), this, &MainWindow::showHelp);
    page->setObjectName(QStringLiteral("helpPage"));
    page->setShortcut(QKeySequence::HelpContents);

    imagingMenu()->addAction(QStringLiteral("Picture display"), this, &MainWindow::showPictureDisplay)
        ->setObjectName(QStringLiteral("showPictureDisplay"));
    addSaveFormatCommand();
    addGuideCommands();
    buildMessages();
}

QMenu *MainWindow::menuBeforeHelp(const QString &title)
{
    QMenuBar *bar = menuBar();
    if (auto *menu = bar->findChild<QMenu *>(title, Qt::FindDirectChildrenOnly))
        return menu;
    auto *menu = new QMenu(title, bar);
    menu->setObjectName(title);
    const auto *help = bar->findChild<QMenu *>(QStringLiteral("Help"), Qt::FindDirectChildrenOnly);
    bar->insertMenu(help ? help->menuAction() : nullptr, menu);
    return menu;
}

QMenu *MainWindow::imagingMenu()
{
    return menuBeforeHelp(QStringLiteral("Imaging"));
}

void MainWindow::connectCamera()
{
    CaptureDevices &cam = parts_.camera;
    cam.setObjectName(QStringLiteral("ezVidCap1"));
    connect(&cam, &CaptureDevices::yieldRequested, this, [this] { parts_.pump.processEvents(); });
    connect(&cam, &CaptureDevices::frameEvent, this, [this](const FrameHeader &header) { lastFrameHeader_ = header; });
    connect(&cam, &CaptureDevices::preRoll, this, [this] {
        askOkCancel(kPreRollText, [this](bool go) {
            if (go)
                parts_.camera.preRollGo();
            else
                parts_.camera.preRollCancel();
        });
    });
    // The text and notification events carry nothing the program acts on.
}

bool MainWindow::load()
{
    CameraLines &port = parts_.port;
    if (!port.InitializeWinIo()) {
        (void)port.ShutdownWinIo();
        (void)port.InitializeWinIo();
    }
    try {
        parts_.settings = LoadConfig(parts_.configPath);
    } catch (const ConfigError &e) {
        showMessageBox(QStringLiteral("Orvane cannot start: %1").arg(QString::fromUtf8(e.what())),
                       QMessageBox::Critical);
        return false;
    }
    parts_.comm.setCommPort(parts_.settings.CommPort);
    rig_->writePort(parts_.settings.GetGuideState);
    triedPortAddress_ = uint16_t(parts_.settings.PortAddress);

    updateSimulatedParts();
    show();
    repaint();

    // Said once the window shows; the simulated camera, when listed, stands in.
    if (!deviceDialog()->fillDeviceList() || !parts_.camera.hasRealDevice())
        showMessageBox(QStringLiteral("No Video Capture Device!"), QMessageBox::Information);
    parts_.sequence.SaveDir = directoryDialog()->currentPath();
    recallWindow();
    for (const QString &note : guideLogNotes_)
        notify(note);
    if (guider_->options().enabled)
        switchGuiderServer(true);
    loadGuideDarks();
    return true;
}

WindowMemory MainWindow::windowValues() const
{
    return {text1_->text(),         text5_->text(),         text4_->text(),
            check2_->isChecked(),   check1_->isChecked(),   check3_->isChecked(),
            text2_->text(),         text3_->text(),         parts_.sequence.SaveDir};
}

void MainWindow::recallWindow()
{
    WindowMemory values = windowValues();
    readWindowMemory(parts_.iniPath, values);
    text1_->setText(values.exposureS);
    text5_->setText(values.frameCount);
    text4_->setText(values.guideS);
    check2_->setChecked(values.guide);
    check1_->setChecked(values.save);
    check3_->setChecked(values.lineDoubling);
    text2_->setText(values.fileName);
    text3_->setText(values.index);
    const QString kept = values.saveFolder;
    if (kept != parts_.sequence.SaveDir && !kept.isEmpty()) {
        if (QFileInfo(kept).isDir() && directoryDialog()->Dir1->setPath(kept))
            parts_.sequence.SaveDir = directoryDialog()->currentPath();
        else
            notify(QStringLiteral("The save folder %1 of last time is not there any more; frames are saved in %2.")
                       .arg(kept, parts_.sequence.SaveDir));
    }
    saveFolder_->refresh();
    rig_->showNextFirstIndex();
    windowRecalled_ = true;
}

Result MainWindow::rememberWindow()
{
    if (!windowRecalled_)
        return Result::success(); // start-up did not get that far: what is stored stays
    Result written = writeWindowMemory(parts_.iniPath, windowValues());
    if (!written)
        return Result::failure(QStringLiteral("The window's entries were not kept in %1: %2.")
                                   .arg(parts_.iniPath, written.error()));
    return written;
}

void MainWindow::onStartStop()
{
    if (assistant_ && assistant_->running()) { // Stop ends the assistant's watch; no run starts meanwhile
        assistant_->stop();
        return;
    }
    if (calibration_->running()) { // Stop ends the calibration; no run starts while it calibrates
        calibration_->requestStop();
        return;
    }
    if (frameLoop_->running()) { // Stop ends the loop; no run starts while it loops
        frameLoop_->requestStop();
        return;
    }
    if (guider_->mode().active()) { // Stop ends guiding for a client, who hears GuidingStopped
        guider_->mode().stop();
        return;
    }
    const bool starting = !sequence_->running() && parts_.sequence.SequenceRunning == 0;
    if (starting) {
        statusBar()->clearMessage(); // what the last run had to say is over
        // Kept now too, so a crash at the telescope loses nothing the user typed.
        if (Result kept = rememberWindow(); !kept)
            notify(kept.error());
        if (guidingTicked())
            adviseCalibration();
    }
    if (starting && parts_.port.hasRealPortDriver() && !parts_.port.realPortInUse())
        retryPrinterPort();
    loop_->setEnabled(false);
    sequence_->onCommand1Click();
    loop_->setEnabled(!sequence_->running());
    if (closeWhenStopped_ && !sequence_->running())
        close();
}

void MainWindow::updateStartButton()
{
    const PictureArea &area = parts_.picture;
    const bool blocked = area.reserved();
    command1_->setEnabled(!blocked);
    command1_->setToolTip(blocked ? QStringLiteral("The picture area is in use by %1.").arg(area.holder()) : QString());
}

QString MainWindow::simulatedPartsText() const
{
    const QStringList simulated = simulatedParts(parts_.camera, parts_.settings, parts_.port);
    return simulated.isEmpty() ? QString() : QStringLiteral("Simulated: %1").arg(simulated.join(QStringLiteral(", ")));
}

void MainWindow::updateSimulatedParts()
{
    const QString text = simulatedPartsText();
    simulatedParts_->setText(text);
    simulatedParts_->setVisible(!text.isEmpty());
}

void MainWindow::retryPrinterPort()
{
    const uint16_t address = uint16_t(parts_.settings.PortAddress);
    triedPortAddress_ = address;
    const QString noteBefore = parts_.port.realPortNote();
    retryingPort_ = true;
    const bool works = parts_.port.retryRealPort(address);
    retryingPort_ = false;
    if (works)
        notify(QStringLiteral("The printer port at 0x%1 works now: the camera lines are real.").arg(address, 0, 16));
    else if (parts_.port.realPortNote() != noteBefore) // failing as before was said already
        notify(QStringLiteral("%1 The camera lines stay simulated.").arg(parts_.port.realPortNote()));
    updateSimulatedParts();
}

void MainWindow::stopAndClose()
{
    closeWhenStopped_ = true;
    // A run ends first, with its end steps (camera lines at rest, mount stopped,
    // link closed); the window closes when the run returns.
    if (sequence_->running())
        sequence_->requestStop();
    else
        close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (assistant_ && assistant_->running()) { // the watch ends first, the camera lines at rest
        closeWhenStopped_ = true;
        assistant_->stop();
        event->ignore();
        return;
    }
    if (calibration_->running()) { // the mount stops first; the window closes when the calibration returns
        closeWhenStopped_ = true;
        calibration_->requestStop();
        event->ignore();
        return;
    }
    if (frameLoop_->running()) { // the loop ends first, the port at rest
        closeWhenStopped_ = true;
        frameLoop_->requestStop();
        event->ignore();
        return;
    }
    if (guider_->mode().active()) { // guiding for a client ends first: port at rest, mount stopped
        closeWhenStopped_ = true;
        guider_->mode().stop();
        event->ignore();
        return;
    }
    if (sequence_->running()) {
        event->ignore();
        if (closeWhenStopped_) // the run is ending already; the window closes when it returns
            return;
        if (closeQuestion_) {
            closeQuestion_->raise();
            return;
        }
        closeQuestion_ = openMessageBox(this, QMessageBox::Question, kStopAndCloseText,
                                        QMessageBox::Ok | QMessageBox::Cancel,
                                        [this](QMessageBox::StandardButton button) {
                                            if (button == QMessageBox::Ok)
                                                stopAndClose();
                                        });
        return;
    }
    if (Result kept = rememberWindow(); !kept)
        std::cerr << "orvane: " << kept.error().toStdString() << std::endl; // the window is going: no status line
    guider_->stop();
    (void)parts_.port.ShutdownWinIo();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible())
            w->close();
    event->accept();
}

} // namespace orvane
