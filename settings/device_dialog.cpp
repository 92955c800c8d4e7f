#include "device_dialog.h"

#include "capture_device.h"

#include <QComboBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

namespace orvane {

DeviceDialog::DeviceDialog(CaptureDevices &camera, Notifier *notifier, QWidget *parent)
    : QWidget(parent, Qt::Window), camera_(camera), notifier_(notifier)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Select Device"));
    setAttribute(Qt::WA_DeleteOnClose);

    cbDriver = new QComboBox(this);
    cbDriver->setObjectName(QStringLiteral("cbDriver"));
    cbDriver->setMinimumWidth(280);
    cbDriver->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    connect(Command1, &QPushButton::clicked, this, &DeviceDialog::Command1Click);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(cbDriver);
    layout->addWidget(Command1, 0, Qt::AlignHCenter);
}

bool DeviceDialog::fillDeviceList()
{
    cbDriver->clear();
    const int32_t count = camera_.deviceCount();
    if (count < 1) {
        cbDriver->addItem(QStringLiteral("<none>"));
        cbDriver->setCurrentIndex(0);
        return false;
    }
    for (int32_t i = 0; i < count; ++i)
        cbDriver->addItem(camera_.deviceName(i));
    cbDriver->setCurrentIndex(camera_.currentDevice());
    return true;
}

QString DeviceDialog::deviceLabel(int32_t index) const
{
    const QString name = camera_.deviceName(index);
    return name.isEmpty() ? QStringLiteral("device %1").arg(index) : QStringLiteral("\"%1\"").arg(name);
}

void DeviceDialog::Command1Click()
{
    const int32_t previous = camera_.currentDevice();
    // The selection is a 16-bit index; -1 when nothing is selected.
    const int chosen = cbDriver->currentIndex();
    const int32_t index = chosen >= std::numeric_limits<int16_t>::min() && chosen <= std::numeric_limits<int16_t>::max()
                              ? chosen
                              : -1;
    const Result switched = camera_.setCurrentDevice(index);
    if (switched && notifier_ && camera_.sourceInUse() && !camera_.sourceInUse()->usageNote().isEmpty())
        notifier_->notify(camera_.sourceInUse()->usageNote());
    if (!switched) {
        QString sentence;
        if (camera_.deviceCount() < 1)
            sentence = QStringLiteral("There is no video capture device to switch to.");
        else if (index < 0)
            sentence = QStringLiteral("No capture device was selected.");
        else
            sentence = QStringLiteral("The capture device %1 cannot be used: %2")
                           .arg(deviceLabel(index), switched.error());
        // Switching away already let the previous device go; take it up again.
        if (previous >= 0) {
            if (const Result restored = camera_.setCurrentDevice(previous); restored)
                sentence += QStringLiteral(" Still using %1.").arg(deviceLabel(previous));
            else
                sentence += QStringLiteral(" Going back to %1 failed too: %2")
                                .arg(deviceLabel(previous), restored.error());
        }
        if (camera_.deviceCount() >= 1) // "<none>" stays as it is
            cbDriver->setCurrentIndex(previous);
        if (notifier_)
            notifier_->notify(sentence);
    }
    close();
}

} // namespace orvane
