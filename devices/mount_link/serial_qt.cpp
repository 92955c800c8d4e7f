#include "serial_qt.h"

#include "serial_devices.h"

#include <QFileInfo>

#include <unistd.h>

#include <cerrno>

namespace orvane {

namespace {
constexpr int kWriteTimeoutMs = 500; // a 16-byte command takes 17 ms at 9600 baud
constexpr int kMaxReadPasses = 64;   // bounds readAll() on a line that never goes quiet
} // namespace

QString serialOpenErrorSentence(const QString &device, bool exists, bool permissionDenied,
                                QSerialPort::SerialPortError qtError, const QString &qtText)
{
    if (!exists || qtError == QSerialPort::DeviceNotFoundError)
        return QStringLiteral("Cannot open %1: there is no such device — is the adapter plugged in and the comm port number right?")
            .arg(device);
    if (permissionDenied)
        return QStringLiteral("Permission denied opening %1 — is your user in the dialout group?").arg(device);
    if (qtError == QSerialPort::PermissionError)
        return QStringLiteral("Cannot open %1: the device is busy — another program is using it.").arg(device);
    return QStringLiteral("Cannot open %1: %2.").arg(device, qtText.isEmpty() ? QStringLiteral("unknown error") : qtText);
}

QtSerialConnection::QtSerialConnection(const QString &device) : device_(device) {}

QtSerialConnection::~QtSerialConnection()
{
    close();
}

SerialOpening QtSerialConnection::open(const QString &device)
{
    std::unique_ptr<QtSerialConnection> link(new QtSerialConnection(device));
    QSerialPort &port = link->port_;
    port.setPortName(device);
    port.setBaudRate(kMountBaud);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (port.open(QIODevice::ReadWrite))
        return std::unique_ptr<SerialConnection>(std::move(link));

    const QByteArray path = QFile::encodeName(device);
    const bool exists = QFileInfo::exists(device);
    const bool denied = exists && ::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES;
    return SerialOpening::failure(serialOpenErrorSentence(device, exists, denied, port.error(), port.errorString()));
}

QString QtSerialConnection::lostSentence(const QString &cause) const
{
    return QStringLiteral("The telescope link on %1 was lost: %2").arg(device_, cause);
}

Result QtSerialConnection::write(const QByteArray &bytes)
{
    if (!lost_.isEmpty())
        return Result::failure(lost_);
    if (!port_.isOpen())
        return Result::failure(lostSentence(QStringLiteral("the port is closed.")));
    port_.clearError();
    // One write call per text; it is pushed to the device before returning, so
    // no event loop is needed and the bytes go out back to back.
    bool sent = port_.write(bytes) == bytes.size();
    while (sent && port_.bytesToWrite() > 0)
        sent = port_.waitForBytesWritten(kWriteTimeoutMs);
    if (sent && port_.error() == QSerialPort::NoError)
        return Result::success();
    // The device is gone or stuck (adapter pulled out, mount switched off): let
    // it go, so nothing piles up in the write buffer and the device is free for
    // the next opening. Later writes fail at once with the same sentence.
    lost_ = lostSentence(QStringLiteral("the device no longer takes data — is the cable unplugged or the mount switched off?"));
    port_.close();
    return Result::failure(lost_);
}

QByteArray QtSerialConnection::readAll()
{
    if (!port_.isOpen())
        return {};
    // Without a running event loop, bytes reach the buffer only when asked for.
    for (int pass = 0; pass < kMaxReadPasses && port_.waitForReadyRead(0); ++pass) {
    }
    return port_.readAll();
}

void QtSerialConnection::close()
{
    if (port_.isOpen())
        port_.close();
}

SerialOpening QtSerialOpener::open(int16_t commPort)
{
    const QString device = serialDeviceFor(commPort, iniPath_);
    if (device.isEmpty())
        return SerialOpening::failure(
            QStringLiteral("Comm port %1 names no serial device; use 1 or more for a serial port.").arg(commPort));
    return QtSerialConnection::open(device);
}

QString QtSerialOpener::describe(int16_t commPort) const
{
    return describeCommPort(commPort, iniPath_);
}

} // namespace orvane
