#pragma once
// One connection to an INDI server through the INDI client library. The
// library reads on its own thread; every callback is copied into a plain value
// and handed to the GUI thread (queued), where the session keeps the newest
// state of each property and tells listeners. Nothing here waits on the
// network: callers look at the state and wait on the program's event pump.

#include "indi_address.h"
#include "indi_stream_guard.h"
#include "result.h"

#include <QHash>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

#include <memory>

namespace orvane {

class IndiGate;

enum class IndiState { Idle, Ok, Busy, Alert };

// A property as the server last sent it.
struct IndiProperty {
    QString device, name;
    QString type;                 // "number", "switch", "text", "light", "BLOB"
    IndiState state = IndiState::Idle;
    QMap<QString, double> numbers; // element -> value
    QMap<QString, bool> switches;  // element -> on
    QMap<QString, QString> texts;  // element -> text
    QByteArray blob;               // the newest BLOB's bytes
    QString blobFormat;            // ".fits"
};

class IndiSession : public QObject {
    Q_OBJECT
public:
    // A server that passes one of `limits` is told and its connection closed.
    IndiSession(IndiServer server, IndiLimits limits, QObject *parent = nullptr);
    // A frame larger than `maxBlobBytes` (decoded bytes) closes the connection; other limits as by default.
    IndiSession(IndiServer server, int64_t maxBlobBytes, QObject *parent = nullptr)
        : IndiSession(std::move(server), IndiLimits{.maxBlobBytes = maxBlobBytes}, parent) {}
    ~IndiSession() override;

    // Starts connecting; the outcome comes as properties arriving, or `lost`.
    Result start();
    const IndiServer &server() const { return server_; }
    // True from start() until the connection is lost.
    bool alive() const { return alive_; }
    // Why the connection ended; empty while alive.
    const QString &lostSentence() const { return lost_; }

    QSet<QString> devices() const { return devices_; }
    // Devices whose DRIVER_INFO says they are cameras (CCD interface).
    QStringList cameras() const;
    const IndiProperty *property(const QString &device, const QString &name) const;

    // Requests sent to the server, built from the properties as the session
    // last saw them; a lost session, or a property not yet seen, drops them.
    // Each goes to the server at once, in the call: the moment it was sent is now.
    void connectDevice(const QString &device);
    void receiveBlobs(const QString &device);
    void sendNumbers(const QString &device, const QString &name, const QMap<QString, double> &values);
    // Turns `on` on and every other element of the property off; an empty `on` turns all off.
    void sendSwitch(const QString &device, const QString &name, const QString &on);
    // As sendSwitch, from a copy the caller kept: a property the server has
    // since deleted can still be asked (a driver may still act on it).
    void sendSwitch(const IndiProperty &kept, const QString &on);
    qint64 bytesFromServer() const;

signals:
    void propertyChanged(const QString &device, const QString &name);
    void blobArrived(const QString &device, const QString &name);
    // Once, with the sentence naming the server and the cause.
    void lost(const QString &sentence);

private:
    class Client;
    friend class Client;
    struct Backlog;
    void take(IndiProperty property, bool blob);
    void drop(const QString &device, const QString &name);
    void loseWith(const QString &sentence);
    void send(const QByteArray &message);

    IndiServer server_;
    IndiLimits limits_;
    std::shared_ptr<Backlog> backlog_;
    std::unique_ptr<IndiGate> gate_;
    std::unique_ptr<Client> client_;
    QHash<QString, IndiProperty> properties_; // key: device + '\n' + name
    QSet<QString> devices_;
    QString lost_;
    bool alive_ = false;
};

} // namespace orvane
