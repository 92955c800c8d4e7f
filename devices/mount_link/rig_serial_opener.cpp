#include "rig_serial_opener.h"

#include "serial_devices.h"

namespace orvane {

Result SimMountConnection::write(const QByteArray &bytes)
{
    if (!open_)
        return Result::failure(QStringLiteral("The link to the simulated mount is closed."));
    mount_.receive(bytes);
    return Result::success();
}

QByteArray SimMountConnection::readAll()
{
    // A closed link hears nothing; replies made meanwhile stay with the mount.
    return open_ ? mount_.takeReplies() : QByteArray();
}

RigSerialOpener::RigSerialOpener(SimMount &mount, QString iniPath, std::optional<IndiWait> indiWait)
    : mount_(mount), iniPath_(iniPath), devices_(std::move(iniPath)), indi_(indiWait)
{
}

SerialOpening RigSerialOpener::open(int16_t commPort)
{
    if (commPort == kSimulatedMountPort) {
        mount_.takeReplies(); // a fresh link does not hear what an old one left unread
        return std::unique_ptr<SerialConnection>(std::make_unique<SimMountConnection>(mount_));
    }
    if (commPort < 0)
        return SerialOpening::failure(
            QStringLiteral("Comm port %1 names no serial port; use 0 for the simulated mount or 1 and up for a serial device.")
                .arg(commPort));
    if (const QString entry = serialDeviceFor(commPort, iniPath_); isIndiUrl(entry))
        return indi_.open(entry);
    return devices_.open(commPort);
}

SerialOpening RigSerialOpener::openDevice(int16_t commPort, const QString &device)
{
    if (commPort <= kSimulatedMountPort || device.isEmpty())
        return open(commPort);
    return isIndiUrl(device) ? indi_.open(device) : QtSerialConnection::open(device);
}

QString RigSerialOpener::describe(int16_t commPort) const
{
    return describeCommPort(commPort, iniPath_);
}

} // namespace orvane
