#pragma once
// The Options window (Form2): one box per file-backed setting in a camera and a
// telescope column, the four direction letters as a cross with Rotate and
// Mirror, and DONE, which stores every box, rewrites orvane.cfg and closes.
// Modeless; it deletes itself when closed, by DONE or by Cancel, Escape or its
// frame (these apply nothing). "Test mount" sends the mount's presence probe on
// the comm port in the box and shows the answer in the window.

#include "clock.h"
#include "settings.h"
#include "settings_fields.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvane {

class MountLink;
class MountProbe;

class OptionsDialog : public QWidget {
    Q_OBJECT
public:
    // `configPath` is orvane.cfg, `iniPath` orvane.ini (which serial device each
    // comm port number names). The boxes are filled from `settings` at once.
    // `clock` times the mount test, whose link `comm`'s opener opens.
    OptionsDialog(Settings &settings, QString configPath, QString iniPath, MountLink &comm, Clock &clock,
                  QWidget *parent = nullptr);
    ~OptionsDialog() override;

    // One box per settings field, numbered as the fields' `box` says.
    static constexpr int kBoxes = int(kSettingsFields.size());

    // Box TextN (1..kBoxes), as the window lays it out.
    QLineEdit *box(int number) const;

    // Replaces the serial devices offered for the comm port number (normally the
    // devices the system has when the window opens).
    void setSerialDeviceChoices(const QStringList &devices);
    // The device picker beside "Comm Port".
    QComboBox *commDevicePicker() const { return commDevice_; }
    // "Test mount" and the line that shows its answer.
    QPushButton *testMountButton() const { return testMount_; }
    QLabel *mountAnswer() const { return mountAnswer_; }
    MountProbe &mountProbe() { return *probe_; }

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
    // Test mount: sends the probe on the comm port in box Text1, unless a run holds the link.
    void testMount();

protected:
    void keyPressEvent(QKeyEvent *event) override;

signals:
    // The record has taken the boxes' values and the file is written.
    void applied();

private:
    void buildLayout();
    void fillBoxes();
    void updateCommDevice();
    void refuse(int boxNumber, const QString &sentence);
    void addToolTips();

    Settings &settings_;
    const QString configPath_;
    const QString iniPath_;
    MountLink &comm_;
    QLineEdit *boxes_[kBoxes + 1] = {}; // [1..kBoxes]
    QComboBox *commDevice_ = nullptr;
    QPushButton *testMount_ = nullptr;
    QLabel *mountAnswer_ = nullptr;
    std::unique_ptr<MountProbe> probe_;
    QStringList serialDevices_;
};

} // namespace orvane
