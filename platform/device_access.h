#pragma once
// Advice for a user who cannot reach the mount's serial line or the camera's
// printer port: Debian gives those device nodes to the groups dialout and lp,
// and the printer port needs the ppdev driver. Orvane never asks for root; it
// names the command that fixes it.

#include <QList>
#include <QString>
#include <QStringList>

namespace orvane {

struct DeviceNode {
    QString path;   // /dev/ttyS0, /dev/parport0 ...
    QString group;  // the group that owns it
    bool permitted; // this user may open it for reading and writing
};

struct DeviceFacts {
    QList<DeviceNode> serial;   // serial devices, USB adapters included
    QList<DeviceNode> parports; // ppdev's printer-port devices
    bool parportHardware = false; // the kernel knows a printer port
};

// One sentence per problem, each with the command that fixes it; empty when
// every device can be opened.
QStringList deviceAccessAdvice(const DeviceFacts &facts);

// The facts of this machine, from `devDir` (normally /dev) and `parportClassDir`
// (normally /proc/sys/dev/parport, which lists the ports the kernel found).
DeviceFacts gatherDeviceFacts(const QString &devDir = QStringLiteral("/dev"),
                              const QString &parportClassDir = QStringLiteral("/proc/sys/dev/parport"));

} // namespace orvane
