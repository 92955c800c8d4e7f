#pragma once
// The serial links of the program: comm port 0 is the built-in simulated mount,
// reached in-process; N >= 1 is a real serial device (orvane.ini maps N to a
// path, else /dev/ttyS(N-1)); an entry "indi://host:port/Device Name" reaches
// that mount on an INDI server instead.

#include "indi_mount.h"
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
    // `indiWait`: what an INDI opening waits with for its device (none: no wait).
    RigSerialOpener(SimMount &mount, QString iniPath, std::optional<IndiWait> indiWait = std::nullopt);
    SerialOpening open(int16_t commPort) override;
    SerialOpening openDevice(int16_t commPort, const QString &device) override;
    QString describe(int16_t commPort) const override;
    IndiMounts &indiMounts() { return indi_; }

private:
    SimMount &mount_;
    QString iniPath_;
    QtSerialOpener devices_;
    IndiMounts indi_;
};

} // namespace orvane
