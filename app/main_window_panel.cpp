// The main window as the sequence's panel: what the run reads from the entries and
// tells back through the boxes, the progress bar and the status line.

#include "main_window.h"

#include "guider_server.h"

#include "calibration.h"
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

// --- SequencePanel ---

bool MainWindow::guidingTicked() const { return check2_->isChecked(); }
bool MainWindow::lineDoublingTicked() const { return check3_->isChecked(); }
QString MainWindow::status() const { return text6_->text(); }
void MainWindow::setStatus(const QString &text) { text6_->setText(text); }
void MainWindow::showDrift(const QString &dx, const QString &dy)
{
    text7_->setText(dx);
    text8_->setText(dy);
}
QString MainWindow::fileStem() const { return text2_->text(); }
QString MainWindow::firstIndex() const { return text3_->text(); }
void MainWindow::setFirstIndex(const QString &text) { text3_->setText(text); }
void MainWindow::notify(const QString &sentence)
{
    notices_.append(sentence);
    told(sentence);
    if (guider_)
        guider_->alert(sentence); // the imaging programs hear of it too
    std::cerr << "orvane: " << sentence.toStdString() << std::endl;
}
void MainWindow::frameSaved(const QString &path) { saveFolder_->showSaved(path); }
void MainWindow::showActivity(const QString &text)
{
    runProgress_->setText(text);
    runProgress_->setVisible(!text.isEmpty());
    runProgress_->repaint(); // the mount probe waits without events: show it now
}
QString MainWindow::exposureText() const { return text1_->text(); }
QString MainWindow::guideText() const { return text4_->text(); }
QString MainWindow::frameCountText() const { return text5_->text(); }
bool MainWindow::saveTicked() const { return check1_->isChecked(); }
void MainWindow::setStartCaption(const QString &caption) { command1_->setText(caption); }
void MainWindow::setProgressMax(int32_t max)
{
    // A range of 0..0 would make the bar a busy indicator; an empty bar says it better.
    progressBar1_->setRange(0, max > 0 ? max : 1);
    progressBar1_->setValue(0);
}
void MainWindow::setProgressValue(int32_t value) { progressBar1_->setValue(std::clamp(value, 0, progressBar1_->maximum())); }
void MainWindow::beep() { QApplication::beep(); }
void MainWindow::askOkCancel(const QString &text, std::function<void(bool ok)> answered)
{
    openMessageBox(this, QMessageBox::NoIcon, text, QMessageBox::Ok | QMessageBox::Cancel,
                   [answered](QMessageBox::StandardButton button) { answered(button == QMessageBox::Ok); });
}
void MainWindow::showMessage(const QString &text)
{
    showMessageBox(text, QMessageBox::Warning);
    if (guider_)
        guider_->alert(text); // a warning box is a problem the imaging programs hear of too
}
void MainWindow::showPlainMessage(const QString &text) { showMessageBox(text, QMessageBox::NoIcon); }
void MainWindow::tell(const QString &text) { told(text); }

} // namespace orvane
