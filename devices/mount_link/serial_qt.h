#pragma once
// The serial link over a real serial device (QSerialPort): 9600 baud, 8 data
// bits, no parity, 1 stop bit, no flow control. Works without a running event
// loop: writes are pushed out before write() returns and readAll() picks up
// whatever has arrived.

#include "serial_link.h"

#include <QSerialPort>

namespace orvane {

class QtSerialConnection : public SerialConnection {
public:
    // Opens `device` (a path such as /dev/ttyUSB0).
    static SerialOpening open(const QString &device);
    ~QtSerialConnection() override;

    Result write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    void close() override;

    const QString &device() const { return device_; }

private:
    explicit QtSerialConnection(const QString &device);
    QString lostSentence(const QString &cause) const;

    QString device_;
    QSerialPort port_;
    QString lost_; // set once a write failed: the link is gone
};

// Opens comm port N >= 1 on the device orvane.ini maps to N, else /dev/ttyS(N-1).
class QtSerialOpener : public SerialOpener {
public:
    explicit QtSerialOpener(QString iniPath) : iniPath_(std::move(iniPath)) {}
    SerialOpening open(int16_t commPort) override;
    QString describe(int16_t commPort) const override;

private:
    QString iniPath_;
};

// The sentence for a device that would not open. `permissionDenied` is true when
// the device file refuses this user; `qtError` is what QSerialPort reported.
QString serialOpenErrorSentence(const QString &device, bool exists, bool permissionDenied,
                                QSerialPort::SerialPortError qtError, const QString &qtText);

} // namespace orvane
