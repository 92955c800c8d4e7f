#pragma once
// The Options window (Form2): one box per file-backed setting in a camera and a
// telescope column, the four direction letters as a cross with Rotate and
// Mirror, and DONE, which stores every box, rewrites orvane.cfg and closes.
// Modeless; it deletes itself when closed, by DONE or by its frame (the frame
// applies nothing).

#include "settings.h"
#include "settings_fields.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvane {

class MSComm;

class OptionsDialog : public QWidget {
    Q_OBJECT
public:
    // `configPath` is orvane.cfg, `iniPath` orvane.ini (which serial device each
    // comm port number names). The boxes are filled from `settings` at once.
    OptionsDialog(Settings &settings, QString configPath, QString iniPath, MSComm &comm,
                  QWidget *parent = nullptr);

    // One box per settings field, numbered as the fields' `box` says.
    static constexpr int kBoxes = int(kSettingsFields.size());

    // Box TextN (1..kBoxes), as the window lays it out.
    QLineEdit *box(int number) const;

    // Replaces the serial devices offered for the comm port number (normally the
    // devices the system has when the window opens).
    void setSerialDeviceChoices(const QStringList &devices);
    // The device picker beside "Comm Port".
    QComboBox *commDevicePicker() const { return commDevice_; }

    // Tells the user about a refused DONE or a failed save. The default shows a
    // message box that does not block the event loop, so a running sequence goes on.
    std::function<void(const QString &)> showMessage;

    // DONE: store every box, save, recompute PortAddress, close. Refuses the whole
    // DONE (nothing stored or written, window stays open) when a box cannot be stored.
    void Command1Click();
    // Rotate: the letters move a quarter turn clockwise around the cross.
    void Command2Click();
    // Mirror: left and right exchange their letters.
    void Command3Click();

signals:
    // The record has taken the boxes' values and the file is written.
    void applied();

private:
    void buildLayout();
    void fillBoxes();
    void updateCommDevice();
    void refuse(int boxNumber, const QString &sentence);

    Settings &settings_;
    const QString configPath_;
    const QString iniPath_;
    MSComm &comm_;
    QLineEdit *boxes_[kBoxes + 1] = {}; // [1..kBoxes]
    QComboBox *commDevice_ = nullptr;
    QStringList serialDevices_;
};

} // namespace orvane
