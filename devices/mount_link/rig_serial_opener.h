#pragma once
// The serial links of the program: comm port 0 is the built-in simulated mount,
// reached in-process; N >= 1 is a real serial device (orvane.ini maps N to a
// path, else /dev/ttyS(N-1)).

#include "serial_link.h"
#include "serial_qt.h"
#include "sim_mount.h"

namespace orvane {

// A link straight into the simulated mount: writes arrive at once, replies are
// read as they are made.
class SimMountConnection : public SerialConnection {
public:
    explicit SimMountConnection(SimMount &mount) : mount_(mount) {}
    Result write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    void close() override { open_ = false; }

private:
    SimMount &mount_;
    bool open_ = true;
};

class RigSerialOpener : public SerialOpener {
public:
    RigSerialOpener(SimMount &mount, QString iniPath);
    SerialOpening open(int16_t commPort) override;
    QString describe(int16_t commPort) const override;

private:
    SimMount &mount_;
    QString iniPath_;
    QtSerialOpener devices_;
};

} // namespace orvane
