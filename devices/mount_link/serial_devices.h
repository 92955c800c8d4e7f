#pragma once
// Which serial device a comm port number names. 0 is the built-in simulated
// mount; N >= 1 is the device orvane.ini maps to N ([serial] portN=/dev/ttyUSB0),
// else /dev/ttyS(N-1).

#include <QString>
#include <QStringList>

#include <cstdint>

namespace orvane {

inline constexpr int16_t kSimulatedMountPort = 0;

// The device path for a comm port number >= 1 (empty for 0 and negative numbers).
QString serialDeviceFor(int16_t commPort, const QString &iniPath);
// Stores the device for a comm port number in orvane.ini (an empty device removes the entry).
bool setSerialDeviceFor(int16_t commPort, const QString &device, const QString &iniPath);
// The serial devices the system has now, USB adapters included (/dev/ttyUSB0, ...).
QStringList availableSerialDevices();
// The INDI mounts orvane.ini names under any comm port ("indi://host:port/Device").
QStringList indiMountEntries(const QString &iniPath);
// For the user: "the simulated mount", "/dev/ttyUSB0" ...
QString describeCommPort(int16_t commPort, const QString &iniPath);

} // namespace orvane
