#pragma once
// A mount on an INDI server, driven through the same LX200 guide commands the
// serial link carries: ":RG#" selects the slowest motion rate, ":M<d>#" starts
// motion (TELESCOPE_MOTION_NS/WE; a driver without them gets a timed pulse of
// the longest length it takes), ":Q<d>#" stops that axis, and the probe byte
// (ACK) is answered while the device is connected with its guide properties
// defined. Timed guide pulses (TELESCOPE_TIMED_GUIDE_NS/WE) are offered
// directly as well.

#include "clock.h"
#include "event_pump.h"
#include "indi_address.h"
#include "indi_session.h"
#include "serial_link.h"

#include <QByteArray>

#include <memory>

namespace orvane {

// One mount device on one server, kept connected between openings of its comm port.
class IndiMount : public QObject {
    Q_OBJECT
public:
    static constexpr int64_t kMaxMountBlobBytes = 1 << 20; // a mount sends no frames
    static constexpr double kPulseCapMs = 60000;           // a timed pulse that stands for "until stopped", ms

    explicit IndiMount(IndiAddress address, QObject *parent = nullptr);

    const IndiAddress &address() const { return address_; }
    // Connects to the server (again, after a loss) and asks the device to connect.
    Result start();
    // Connected, with motion or timed-guide properties on both axes.
    bool ready() const;
    // Why it is not ready, naming server, device and what is missing.
    QString notReadySentence() const;
    bool alive() const { return session_ && session_->alive(); }
    IndiSession *session() const { return session_.get(); }

    // One LX200 command without its '#' (":RG", ":Mn", ":Qw", "\x06"); the
    // reply, if the command has one.
    QByteArray command(const QByteArray &lx200);
    // A timed guide pulse; false when the driver has no timed guiding.
    bool pulse(char direction, int ms);
    // Both axes' motion off, whatever the program believes runs.
    void stopAll();

signals:
    void lost(const QString &sentence);

private:
    void onChanged(const QString &device, const QString &name);
    bool has(const char *name) const;
    void startMotion(char direction);
    void stopAxis(char direction);

    IndiAddress address_;
    std::unique_ptr<IndiSession> session_;
    bool askedToConnect_ = false;
    bool calmed_ = false;   // motion turned off once after connecting
    bool guideRate_ = false; // ":RG" seen since the last motion started
};

// The comm port's link to an IndiMount.
class IndiMountConnection : public SerialConnection {
public:
    explicit IndiMountConnection(std::shared_ptr<IndiMount> mount) : mount_(std::move(mount)) {}
    ~IndiMountConnection() override { QObject::disconnect(lossWatch_); }
    Result write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    void close() override;
    void watchForLoss(std::function<void(const QString &)> tell) override;

private:
    std::shared_ptr<IndiMount> mount_;
    QMetaObject::Connection lossWatch_;
    QByteArray replies_;
    QByteArray partial_; // a command not yet ended by '#'
    bool open_ = true;
};

// What an INDI opening may wait with: the program's clock and event pump.
struct IndiWait {
    Clock &clock;
    EventPump &pump;
};

// Opens INDI mounts by address, keeping one per address connected between openings.
class IndiMounts {
public:
    static constexpr uint32_t kFirstConnectMs = 3000; // a new server connection, events served meanwhile
    static constexpr uint32_t kReadyWithinMs = 200;   // a kept one: as the mount probe

    // Without `wait`, an opening does not wait for the device to be ready.
    explicit IndiMounts(std::optional<IndiWait> wait = std::nullopt) : wait_(wait) {}
    SerialOpening open(const QString &url);
    std::shared_ptr<IndiMount> mount(const QString &url) const;

private:
    std::optional<IndiWait> wait_;
    std::map<QString, std::shared_ptr<IndiMount>> mounts_;
};

} // namespace orvane
