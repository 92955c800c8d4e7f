#pragma once
// The capture-device window (Form1): the capture devices by name in cbDriver and
// an OK button that switches the capture layer to the selected one. A device that
// refuses leaves the previous one in use and selected, and the user is told why.
// The window deletes itself when closed; the next opening makes and fills a new one.

#include "notifier.h"

#include <QString>
#include <QWidget>

class QComboBox;
class QPushButton;

namespace orvane {

class CaptureDevices;

class DeviceDialog : public QWidget {
    Q_OBJECT
public:
    // A refusal of the chosen device is told to `notifier` (if any) as one sentence;
    // the window has closed by then, so it is a non-blocking notice.
    explicit DeviceDialog(CaptureDevices &camera, Notifier *notifier = nullptr, QWidget *parent = nullptr);

    // The devices' names in the capture layer's order (entry i = device i), with the
    // device in use selected. With no device at all the list holds "<none>",
    // selected, and the result is false so the caller can say so.
    bool fillDeviceList();

    // OK: switch to the selected device, put the previous one back if it is
    // refused, then close.
    void Command1Click();

    QComboBox *cbDriver = nullptr;
    QPushButton *Command1 = nullptr;

private:
    QString deviceLabel(int32_t index) const;

    CaptureDevices &camera_;
    Notifier *notifier_;
};

} // namespace orvane
