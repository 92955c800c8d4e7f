#include "serial_devices.h"

#include "file_rewrite.h"
#include "indi_address.h"
#include "ini_lines.h"

#include <QSerialPortInfo>

namespace orvane {

namespace {
const QString kGroup = QStringLiteral("serial");
QString keyFor(int16_t commPort) { return QStringLiteral("port%1").arg(commPort); }

QByteArray iniText(const QString &iniPath) { return readIniFile(iniPath).text; }
} // namespace

QString serialDeviceFor(int16_t commPort, const QString &iniPath)
{
    if (commPort <= 0)
        return {};
    const QString mapped = iniValue(iniText(iniPath), kGroup, keyFor(commPort)).value_or(QString()).trimmed();
    return mapped.isEmpty() ? QStringLiteral("/dev/ttyS%1").arg(commPort - 1) : mapped;
}

bool setSerialDeviceFor(int16_t commPort, const QString &device, const QString &iniPath)
{
    if (commPort <= 0)
        return false;
    // The user's own lines, comments and other groups stay as they are.
    const IniFileText existing = readIniFile(iniPath);
    if (!existing.problem.isEmpty())
        return false;
    const QByteArray &before = existing.text;
    const QString wanted = device.trimmed();
    const QByteArray after = withIniValue(before, kGroup, keyFor(commPort),
                                          wanted.isEmpty() ? std::nullopt : std::optional(wanted));
    if (after == before)
        return true;
    return writeWholeFile(iniPath, after).ok();
}

QStringList availableSerialDevices()
{
    QStringList devices;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        devices.append(info.systemLocation());
    devices.sort();
    return devices;
}

QStringList indiMountEntries(const QString &iniPath)
{
    constexpr int16_t kLastPortLooked = 99; // comm port numbers people write
    const QByteArray text = iniText(iniPath);
    QStringList entries;
    for (int16_t port = 1; port <= kLastPortLooked; ++port) {
        const QString value = iniValue(text, kGroup, keyFor(port)).value_or(QString()).trimmed();
        if (isIndiUrl(value) && !entries.contains(value))
            entries.append(value);
    }
    return entries;
}

QString describeCommPort(int16_t commPort, const QString &iniPath)
{
    if (commPort == kSimulatedMountPort)
        return QStringLiteral("the simulated mount");
    if (commPort < 0)
        return QStringLiteral("comm port %1 (no such port)").arg(commPort);
    const QString device = serialDeviceFor(commPort, iniPath);
    if (const ResultOf<IndiAddress> indi = parseIndiUrl(device); indi.ok())
        return QStringLiteral("INDI mount \"%1\" at %2").arg(indi.value().device, indi.value().server.text());
    return device;
}

} // namespace orvane
