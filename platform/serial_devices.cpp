#include "serial_devices.h"

#include <QSerialPortInfo>
#include <QSettings>

namespace orvane {

namespace {
QString keyFor(int16_t commPort) { return QStringLiteral("serial/port%1").arg(commPort); }
} // namespace

QString serialDeviceFor(int16_t commPort, const QString &iniPath)
{
    if (commPort <= 0)
        return {};
    const QSettings ini(iniPath, QSettings::IniFormat);
    const QString mapped = ini.value(keyFor(commPort)).toString().trimmed();
    return mapped.isEmpty() ? QStringLiteral("/dev/ttyS%1").arg(commPort - 1) : mapped;
}

bool setSerialDeviceFor(int16_t commPort, const QString &device, const QString &iniPath)
{
    if (commPort <= 0)
        return false;
    QSettings ini(iniPath, QSettings::IniFormat);
    if (device.trimmed().isEmpty())
        ini.remove(keyFor(commPort));
    else
        ini.setValue(keyFor(commPort), device.trimmed());
    ini.sync();
    return ini.status() == QSettings::NoError;
}

QStringList availableSerialDevices()
{
    QStringList devices;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        devices.append(info.systemLocation());
    devices.sort();
    return devices;
}

QString describeCommPort(int16_t commPort, const QString &iniPath)
{
    if (commPort == kSimulatedMountPort)
        return QStringLiteral("the simulated mount");
    if (commPort < 0)
        return QStringLiteral("comm port %1 (no such port)").arg(commPort);
    return serialDeviceFor(commPort, iniPath);
}

} // namespace orvane
