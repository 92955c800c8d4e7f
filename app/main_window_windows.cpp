// The main window's other windows, made on first use, the commands that open
// them, and Imaging > Loop.

#include "main_window.h"

#include "guider_server.h"

#include "assistant_window.h"
#include "calibration.h"
#include "optics_window.h"
#include "rehearsal_window.h"
#include "save_format_dialog.h"

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
#include "optics_window.h"
#include "rehearsal_window.h"
#include "save_format_dialog.h"
#include "save_folder_label.h"
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

DeviceDialog *MainWindow::deviceDialog()
{
    if (!deviceDialog_) {
        deviceDialog_ = new DeviceDialog(parts_.camera, this, this);
        deviceDialog_->setWindowFlag(Qt::Window);
    }
    return deviceDialog_;
}

DirectoryDialog *MainWindow::directoryDialog()
{
    if (!directoryDialog_) {
        directoryDialog_ = new DirectoryDialog(parts_.sequence.SaveDir, this);
        directoryDialog_->setWindowFlag(Qt::Window);
        saveFolder_->follow(directoryDialog_);
        connect(directoryDialog_, &DirectoryDialog::saveFolderChosen, this, [this] { rig_->showNextFirstIndex(); });
    }
    return directoryDialog_;
}

OptionsDialog *MainWindow::optionsDialog()
{
    if (!optionsDialog_) {
        optionsDialog_ = new OptionsDialog(parts_.settings, parts_.configPath, parts_.iniPath, parts_.comm, parts_.clock, this);
        optionsDialog_->setWindowFlag(Qt::Window);
        connect(optionsDialog_, &OptionsDialog::applied, this, [this] {
            if (parts_.port.hasRealPortDriver() && uint16_t(parts_.settings.PortAddress) != triedPortAddress_)
                retryPrinterPort();
            updateSimulatedParts();
        });
    }
    return optionsDialog_;
}

DeinterlaceWindow *MainWindow::deinterlaceWindow()
{
    if (!deinterlaceWindow_) {
        deinterlaceWindow_ = new DeinterlaceWindow(parts_.picture, parts_.pump, parts_.files, this);
        deinterlaceWindow_->setWindowFlag(Qt::Window);
    }
    return deinterlaceWindow_;
}

void MainWindow::showDeviceDialog()
{
    const bool fresh = !deviceDialog_;
    DeviceDialog *dialog = deviceDialog();
    if (fresh)
        dialog->fillDeviceList();
    dialog->show();
    dialog->raise();
}

void MainWindow::showDirectoryDialog()
{
    directoryDialog()->show();
    directoryDialog()->raise();
}

void MainWindow::showOptions()
{
    optionsDialog()->show();
    optionsDialog()->raise();
    optionsDialog()->activateWindow();
}

HelpWindow *MainWindow::helpWindow()
{
    if (!help_)
        help_ = new HelpWindow(parts_.configPath, parts_.iniPath, this);
    return help_;
}

void MainWindow::showHelp()
{
    helpWindow()->show();
    helpWindow()->raise();
    helpWindow()->activateWindow();
}

PictureDisplayWindow *MainWindow::pictureDisplayWindow()
{
    if (!pictureDisplay_) {
        pictureDisplay_ = new PictureDisplayWindow(*display_, this);
        pictureDisplay_->zoomView()->mark = [this]() -> std::optional<QPoint> {
            const SequenceState &seq = parts_.sequence;
            return seq.StarMarked ? std::optional(QPoint(seq.StarX, seq.StarY)) : std::nullopt;
        };
        connect(picture1_, &PictureView::pressed, pictureDisplay_->zoomView(), qOverload<>(&QWidget::update));
    }
    return pictureDisplay_;
}

void MainWindow::showPictureDisplay()
{
    pictureDisplayWindow()->show();
    pictureDisplayWindow()->raise();
    pictureDisplayWindow()->activateWindow();
}

void MainWindow::showAbout()
{
    // The text stays as it is; its Help button leads to the page the text names.
    QMessageBox *box = openMessageBox(this, QMessageBox::NoIcon, kAboutText, QMessageBox::Ok | QMessageBox::Help,
                                      [this](QMessageBox::StandardButton pressed) {
                                          if (pressed == QMessageBox::Help)
                                              showHelp();
                                      });
    box->setObjectName(QStringLiteral("aboutBox"));
}

void MainWindow::showDeinterlace()
{
    deinterlaceWindow()->show();
    deinterlaceWindow()->raise();
}

void MainWindow::buildLoopCommand()
{
    loop_ = imagingMenu()->addAction(QStringLiteral("Loop"), this, &MainWindow::onLoop);
    loop_->setObjectName(QStringLiteral("Loop"));
    loop_->setCheckable(true);
    loop_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    starProfile_ = new QLabel(statusBar());
    starProfile_->setObjectName(QStringLiteral("starProfile"));
    starProfile_->hide();
    statusBar()->addPermanentWidget(starProfile_);
    frameLoop_->showStarProfile = [this](const QString &text) {
        starProfile_->setText(text);
        starProfile_->setVisible(!text.isEmpty());
    };
}

void MainWindow::onLoop()
{
    if (calibration_->running() || (assistant_ && assistant_->running())) { // the camera is busy
        loop_->setChecked(false);
        return;
    }
    if (guider_->mode().active()) { // the camera takes a client's guide frames
        notify(QStringLiteral("Orvane is guiding for %1; Stop ends that, then Loop.").arg(guider_->mode().client()));
        loop_->setChecked(false);
        return;
    }
    // Returns at once when it only asks a running loop to end.
    frameLoop_->onLoopCommand();
    loop_->setChecked(frameLoop_->running());
    if (closeWhenStopped_ && !frameLoop_->running())
        close();
}

void MainWindow::addSaveFormatCommand()
{
    imagingMenu()->addAction(QStringLiteral("Save format..."), this, [this] {
        if (!saveFormat_) { // modeless: a running sequence and its Stop button stay within reach
            saveFormat_ = new SaveFormatDialog(parts_.sequence.SaveFormat, parts_.iniPath, this);
            saveFormat_->setAttribute(Qt::WA_DeleteOnClose);
        }
        saveFormat_->show();
        saveFormat_->raise();
    })->setObjectName(QStringLiteral("saveFormat"));
    imagingMenu()->addAction(QStringLiteral("Optics..."), this, [this] {
        if (!optics_)
            optics_ = new OpticsWindow(parts_.sequence.optics, parts_.iniPath, this);
        optics_->showOptics();
        optics_->show();
        optics_->raise();
    })->setObjectName(QStringLiteral("showOptics"));
}

} // namespace orvane
