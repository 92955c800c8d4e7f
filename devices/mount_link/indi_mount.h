#pragma once
// A mount on an INDI server, driven through the same LX200 guide commands the
// serial link carries: ":RG#" selects the slowest motion rate, ":M<d>#" starts
// motion (TELESCOPE_MOTION_NS/WE; a driver without them gets a timed pulse of
// the longest length it takes), ":Q<d>#" stops that axis, ":Mg<d>nnnnn#" is a
// guide pulse of nnnnn ms (TELESCOPE_TIMED_GUIDE_NS/WE where the driver has
// them, else a move the mount ends at nnnnn ms after sending it), and the probe
// byte (ACK) is answered while the device is connected with its guide
// properties defined.
//
// What the program sends is what counts, never the server's echo: a stop goes
// out for every axis the program started since its last stop, whether or not
// the server has yet said the motion runs; stop-all, the link's close, the
// mount's end and a lost device send it whatever the program believes. A motion
// property the driver deletes while its axis moves is told, and the stop goes
// to the deleted property (the driver may still act on it) and to
// TELESCOPE_ABORT_MOTION where there is one.

#include "clock.h"
#include "event_pump.h"
#include "indi_address.h"
#include "indi_session.h"
#include "serial_link.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>

#include <array>
#include <optional>

#include <memory>

namespace orvane {

// One mount device on one server, kept connected between openings of its comm port.
class IndiMount : public QObject {
    Q_OBJECT
public:
    static constexpr int64_t kMaxMountBlobBytes = 1 << 20; // a mount sends no frames
    static constexpr double kPulseCapMs = 60000;           // a timed pulse that stands for "until stopped", ms

    explicit IndiMount(IndiAddress address, QObject *parent = nullptr);
    // The motion still running is stopped on the way out.
    ~IndiMount() override;
    // What the connection to the server may bring (mounts send no frames: the frame limit stays small).
    void setLimits(const IndiLimits &limits) { limits_ = limits; limits_.maxBlobBytes = kMaxMountBlobBytes; }

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
    // A guide pulse of `ms`: timed by the driver where it can, else a move with
    // a stop the mount sends `ms` after the start; false when neither can go.
    bool guidePulse(char direction, int ms);
    // Both axes' motion off, whatever the program believes runs.
    void stopAll();
    // EQUATORIAL_EOD_COORD and TELESCOPE_PIER_SIDE as the server last told them.
    std::optional<MountPointing> pointing() const;

signals:
    void lost(const QString &sentence);
    // Something the user should know that does not end the link.
    void told(const QString &sentence);

private:
    // What the program last sent on one axis (0: north/south, 1: west/east).
    struct Axis {
        char direction = 0;      // started and not yet stopped, as far as sends go
        bool timed = false;      // started as a timed pulse
        qint64 pulseEndsMs = 0;  // a timed pulse's end, on since_
        bool stopSent = true;    // an off went out after the last start
        std::optional<IndiProperty> motion; // the motion property as last seen, kept when it is deleted
        QTimer pulseEnd;         // the stop of a pulse the mount times itself
    };
    void onChanged(const QString &device, const QString &name);
    bool has(const char *name) const;
    void startMotion(char direction);
    void stopAxis(char direction, bool always = false);
    void watchMotionProperties();
    Axis &axisOf(char direction) { return axes_[northSouth(direction) ? 0 : 1]; }
    static bool northSouth(char d) { return d == 'n' || d == 's'; }

    IndiAddress address_;
    IndiLimits limits_{.maxBlobBytes = kMaxMountBlobBytes};
    std::unique_ptr<IndiSession> session_;
    std::array<Axis, 2> axes_;
    QElapsedTimer since_;    // the steady clock of pulse ends, ms
    bool askedToConnect_ = false;
    bool calmed_ = false;    // motion turned off once after connecting
    bool guideRate_ = false; // ":RG" seen since the last motion started
};

// The comm port's link to an IndiMount.
class IndiMountConnection : public SerialConnection {
public:
    explicit IndiMountConnection(std::shared_ptr<IndiMount> mount) : mount_(std::move(mount)) {}
    ~IndiMountConnection() override;
    Result write(const QByteArray &bytes) override;
    QByteArray readAll() override;
    void close() override;
    void watchForLoss(std::function<void(const QString &)> tell) override;
    std::optional<MountPointing> pointing() const override { return mount_->pointing(); }

private:
    std::shared_ptr<IndiMount> mount_;
    QMetaObject::Connection lossWatch_, toldWatch_;
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
    // The limits every server connection opened from now on keeps to.
    void setLimits(const IndiLimits &limits) { limits_ = limits; }
    std::shared_ptr<IndiMount> mount(const QString &url) const;

private:
    std::optional<IndiWait> wait_;
    IndiLimits limits_;
    std::map<QString, std::shared_ptr<IndiMount>> mounts_;
};

} // namespace orvane
