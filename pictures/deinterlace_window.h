#pragma once
// The deinterlace tool's window "hello": a "Deinterlace" button that runs one
// batch over files chosen in a dialog, a status line, and "Exit". The main
// window creates it on first use and shows the same one again later.

#include "deinterlace.h"
#include "file_chooser.h"
#include "user_message.h"

#include "event_pump.h"
#include "picture_area.h"

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace orvane {

class DeinterlaceWindow : public QWidget {
    Q_OBJECT
public:
    // Only the forms the batch writes back.
    static inline const QString kFilter = QStringLiteral("BMP and FITS pictures (*.bmp *.fits *.fit *.fts)");

    DeinterlaceWindow(PictureArea &area, EventPump &pump, FileChooser &chooser, QWidget *parent = nullptr,
                      MessageFunction message = messageBox());

    QString status() const;
    bool running() const { return running_; }

    // Command1: asks for files and runs one batch to its end.
    void deinterlace();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void setStatus(const QString &text);
    void updateButton();

    PictureArea &area_;
    EventPump &pump_;
    FileChooser &chooser_;
    MessageFunction message_;
    QPushButton *command1_;
    QLineEdit *text1_;
    QPushButton *command2_;
    bool running_ = false;
    bool closed_ = false; // Exit was used: the next opening starts with "Ready"
};

} // namespace orvane
