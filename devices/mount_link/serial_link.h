#pragma once
// The serial link to the mount. MountLink keeps the member names of the serial
// control the program was written for (CommPort, PortOpen, Output, Input).
// Comm port 0 is the built-in simulated mount; N >= 1 names the device that
// orvane.ini maps to N, else /dev/ttyS(N-1).

#include "mount_pointing.h"
#include "result.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace orvane {

inline constexpr int kMountBaud = 9600; // the mount's line speed; 8 data bits, no parity, 1 stop bit

// One opened link.
class SerialConnection {
public:
    virtual ~SerialConnection() = default;
    // Sends the bytes in one write; the sentence names the device and the cause.
    virtual Result write(const QByteArray &bytes) = 0;
    // Everything received since the last read.
    virtual QByteArray readAll() = 0;
    virtual void close() = 0;
    // `tell` hears, with a sentence, of a far end that goes away between sends,
    // where the link can know it; others tell it at the next send.
    virtual void watchForLoss(std::function<void(const QString &)> tell) { (void)tell; }
    // Where the mount points, where the link knows it without asking on the wire.
    virtual std::optional<MountPointing> pointing() const { return std::nullopt; }
};

// An opened link, or the sentence naming the device and why it would not open.
using SerialOpening = ResultOf<std::unique_ptr<SerialConnection>>;

// Opens the link a comm port number names.
class SerialOpener {
public:
    virtual ~SerialOpener() = default;
    virtual SerialOpening open(int16_t commPort) = 0;
    // Opens `device` as comm port `commPort` would once orvane.ini named it (a
    // device picked but not yet stored); openers that know no devices open the port.
    virtual SerialOpening openDevice(int16_t commPort, const QString &device)
    {
        (void)device;
        return open(commPort);
    }
    // The device a number names, for the user ("simulated mount", "/dev/ttyUSB0").
    virtual QString describe(int16_t commPort) const = 0;
};

class MountLink {
public:
    explicit MountLink(SerialOpener &opener) : opener_(opener) {}
    ~MountLink();

    void setCommPort(int16_t port) { commPort_ = port; } // takes effect at the next opening
    int16_t CommPort() const { return commPort_; }
    // What opens the links: a test of the mount goes through it too.
    SerialOpener &opener() const { return opener_; }
    // The device the comm port number names, for the user ("/dev/ttyS0", "the simulated mount").
    QString device() const { return opener_.describe(commPort_); }

    // PortOpen = true / false. Opening an open port, or closing a closed one, is ok.
    Result setPortOpen(bool open);
    bool PortOpen() const { return connection_ != nullptr; }

    // Sends the text as its bytes, nothing appended. A send while closed, or one
    // that fails, is dropped; the loss is reported once (onLinkLost) per opening
    // of the link, and once per closed spell.
    void Output(const QByteArray &text);
    // All characters received so far (empty when closed).
    QByteArray Input();

    // Where the mount points: told by the link (an INDI mount), else the last
    // answer to ":GR#:GD#" handed in by notePointing; nothing when unknown.
    std::optional<MountPointing> pointing() const;
    void notePointing(std::optional<MountPointing> pointing) { asked_ = pointing; }
    // The open link knows the pointing without being asked (an INDI mount).
    bool tellsPointing() const { return connection_ && connection_->pointing(); }

    // Called once with a sentence when a send is lost.
    std::function<void(const QString &)> onLinkLost;

private:
    void reportLoss(const QString &sentence);

    SerialOpener &opener_;
    int16_t commPort_ = 0;
    std::unique_ptr<SerialConnection> connection_;
    bool lossReported_ = false;
    std::optional<MountPointing> asked_;
};

} // namespace orvane
