#include "indi_session.h"

#include "indi_gate.h"

#include <baseclient.h>
#include <indiproperty.h>

#include <QMetaObject>

#include <condition_variable>
#include <numeric>
#include <mutex>

namespace orvane {

namespace {

QString key(const QString &device, const QString &name) { return device + QLatin1Char('\n') + name; }

IndiState stateOf(IPState s)
{
    switch (s) {
    case IPS_OK: return IndiState::Ok;
    case IPS_BUSY: return IndiState::Busy;
    case IPS_ALERT: return IndiState::Alert;
    default: return IndiState::Idle;
    }
}

// A plain copy of what the library holds, made on its thread.
IndiProperty copyOf(INDI::Property p)
{
    IndiProperty out;
    out.device = QString::fromUtf8(p.getDeviceName());
    out.name = QString::fromUtf8(p.getName());
    out.state = stateOf(p.getState());
    switch (p.getType()) {
    case INDI_NUMBER:
        out.type = QStringLiteral("number");
        for (const auto &n : *p.getNumber())
            out.numbers.insert(QString::fromUtf8(n.getName()), n.getValue());
        break;
    case INDI_SWITCH:
        out.type = QStringLiteral("switch");
        for (const auto &s : *p.getSwitch())
            out.switches.insert(QString::fromUtf8(s.getName()), s.getState() == ISS_ON);
        break;
    case INDI_TEXT:
        out.type = QStringLiteral("text");
        for (const auto &t : *p.getText())
            out.texts.insert(QString::fromUtf8(t.getName()), QString::fromUtf8(t.getText()));
        break;
    case INDI_LIGHT:
        out.type = QStringLiteral("light");
        break;
    case INDI_BLOB:
        out.type = QStringLiteral("BLOB");
        for (const auto &b : *p.getBLOB()) {
            if (b.getBlobLen() <= 0 || !b.getBlob())
                continue;
            out.blob = QByteArray(static_cast<const char *>(b.getBlob()), b.getBlobLen());
            out.blobFormat = QString::fromUtf8(b.getFormat());
        }
        break;
    default:
        break;
    }
    return out;
}

// Roughly what a copy holds, bytes.
qint64 sizeOf(const IndiProperty &p)
{
    constexpr qint64 kPerElementBytes = 96;
    return 256 + p.blob.size() + kPerElementBytes * (p.numbers.size() + p.switches.size() + p.texts.size()) +
           std::accumulate(p.texts.cbegin(), p.texts.cend(), qint64(0), [](qint64 sum, const QString &t) { return sum + 2 * t.size(); });
}

QByteArray attribute(const QString &text) { return text.toHtmlEscaped().toUtf8(); }

} // namespace

// Copies handed to the GUI thread and not yet taken: the library's thread waits
// while they hold more than kMaxBytes, so it reads no more from its socket, the
// gate reads no more from the server, and the server waits (memory stays bounded).
struct IndiSession::Backlog {
    static constexpr qint64 kMaxBytes = 32 << 20;
    std::mutex mutex;
    std::condition_variable drained;
    qint64 bytes = 0;
    bool closing = false;

    bool admit(qint64 size)
    {
        std::unique_lock lock(mutex);
        drained.wait(lock, [&] { return closing || bytes == 0 || bytes + size <= kMaxBytes; });
        if (closing)
            return false;
        bytes += size;
        return true;
    }
    void taken(qint64 size)
    {
        const std::lock_guard lock(mutex);
        bytes -= size;
        drained.notify_all();
    }
    void close()
    {
        const std::lock_guard lock(mutex);
        closing = true;
        drained.notify_all();
    }
};

// The library's side: runs on the library's thread and only posts copies.
class IndiSession::Client : public INDI::BaseClient {
public:
    Client(IndiSession &session, std::shared_ptr<Backlog> backlog) : session_(session), backlog_(std::move(backlog)) {}

protected:
    void newProperty(INDI::Property p) override { post(copyOf(p), false); }
    void updateProperty(INDI::Property p) override { post(copyOf(p), p.getType() == INDI_BLOB); }
    void removeProperty(INDI::Property p) override
    {
        const QString device = QString::fromUtf8(p.getDeviceName()), name = QString::fromUtf8(p.getName());
        QMetaObject::invokeMethod(&session_, [s = &session_, device, name] { s->drop(device, name); },
                                  Qt::QueuedConnection);
    }
    void serverDisconnected(int) override
    {
        QMetaObject::invokeMethod(&session_, [s = &session_] {
            s->loseWith(QStringLiteral("The INDI server at %1 closed the connection.").arg(s->server_.text()));
        }, Qt::QueuedConnection);
    }

private:
    void post(IndiProperty p, bool blob)
    {
        const qint64 size = sizeOf(p);
        if (!backlog_->admit(size))
            return;
        QMetaObject::invokeMethod(&session_, [s = &session_, b = backlog_, p = std::move(p), blob, size]() mutable {
            b->taken(size);
            s->take(std::move(p), blob);
        }, Qt::QueuedConnection);
    }
    IndiSession &session_;
    std::shared_ptr<Backlog> backlog_;
};

IndiSession::IndiSession(IndiServer server, IndiLimits limits, QObject *parent)
    : QObject(parent), server_(std::move(server)), limits_(limits), backlog_(std::make_shared<Backlog>())
{
}

IndiSession::~IndiSession()
{
    backlog_->close(); // the library's thread waits no more for the GUI thread
    // The gate goes first, so the library's thread sees its socket end and stops at once.
    if (gate_)
        gate_->close();
    if (client_)
        client_->disconnectServer();
    client_.reset();
}

Result IndiSession::start()
{
    gate_ = std::make_unique<IndiGate>(server_, limits_);
    connect(gate_.get(), &IndiGate::failed, this, [this](const QString &cause) {
        loseWith(QStringLiteral("The INDI server at %1 %2.").arg(server_.text(), cause));
    });
    const ResultOf<quint16> port = gate_->listen();
    if (!port.ok())
        return Result::failure(port.error());
    client_ = std::make_unique<Client>(*this, backlog_);
    client_->setServer("127.0.0.1", port.value());
    client_->setConnectionTimeout(1, 0); // the loopback gate answers at once
    if (!client_->connectServer())
        return Result::failure(QStringLiteral("The INDI client library could not start for the server at %1.").arg(server_.text()));
    alive_ = true;
    return Result::success();
}

void IndiSession::take(IndiProperty property, bool blob)
{
    if (!alive_)
        return;
    const QString device = property.device, name = property.name;
    devices_.insert(device);
    IndiProperty &kept = properties_[key(device, name)];
    const QByteArray keptBlob = blob ? QByteArray() : kept.blob; // a new definition keeps the last frame
    kept = std::move(property);
    if (!blob)
        kept.blob = keptBlob;
    emit propertyChanged(device, name);
    if (blob)
        emit blobArrived(device, name);
}

void IndiSession::drop(const QString &device, const QString &name)
{
    if (name.isEmpty()) { // the whole device went
        devices_.remove(device);
        for (auto it = properties_.begin(); it != properties_.end();)
            it = it->device == device ? properties_.erase(it) : std::next(it);
    } else {
        properties_.remove(key(device, name));
    }
    emit propertyChanged(device, name);
}

void IndiSession::loseWith(const QString &sentence)
{
    if (!alive_)
        return;
    alive_ = false;
    lost_ = sentence;
    properties_.clear();
    if (gate_)
        gate_->close();
    emit lost(sentence);
}

QStringList IndiSession::cameras() const
{
    constexpr int kCcdInterface = 1 << 1;
    QStringList found;
    for (const QString &device : devices_) {
        const IndiProperty *info = property(device, QStringLiteral("DRIVER_INFO"));
        if (info && (info->texts.value(QStringLiteral("DRIVER_INTERFACE")).toInt() & kCcdInterface))
            found.append(device);
    }
    found.sort();
    return found;
}

const IndiProperty *IndiSession::property(const QString &device, const QString &name) const
{
    const auto it = properties_.constFind(key(device, name));
    return it == properties_.cend() ? nullptr : &*it;
}

// Requests are built from the session's own copy of the property, never from
// the library's records: its thread updates those as the server's messages come.
void IndiSession::connectDevice(const QString &device)
{
    sendSwitch(device, QStringLiteral("CONNECTION"), QStringLiteral("CONNECT"));
}

void IndiSession::receiveBlobs(const QString &device)
{
    if (alive_)
        client_->setBLOBMode(B_ALSO, device.toUtf8().constData(), nullptr);
}

void IndiSession::send(const QByteArray &message)
{
    if (alive_ && gate_)
        (void)gate_->sendToServer(message);
}

void IndiSession::sendNumbers(const QString &device, const QString &name, const QMap<QString, double> &values)
{
    const IndiProperty *kept = alive_ ? property(device, name) : nullptr;
    if (!kept || kept->type != QLatin1String("number"))
        return;
    QByteArray xml = "<newNumberVector device=\"" + attribute(device) + "\" name=\"" + attribute(name) + "\">\n";
    for (const QString &element : kept->numbers.keys()) // elements not named are sent as 0 (a pulse not given)
        xml += "  <oneNumber name=\"" + attribute(element) + "\">" + QByteArray::number(values.value(element, 0.0), 'g', 17) +
               "</oneNumber>\n";
    send(xml + "</newNumberVector>\n");
}

void IndiSession::sendSwitch(const QString &device, const QString &name, const QString &on)
{
    const IndiProperty *kept = alive_ ? property(device, name) : nullptr;
    if (kept)
        sendSwitch(*kept, on);
}

void IndiSession::sendSwitch(const IndiProperty &kept, const QString &on)
{
    if (kept.type != QLatin1String("switch"))
        return;
    QByteArray xml = "<newSwitchVector device=\"" + attribute(kept.device) + "\" name=\"" + attribute(kept.name) + "\">\n";
    for (const QString &element : kept.switches.keys())
        xml += "  <oneSwitch name=\"" + attribute(element) + "\">" + (element == on ? "On" : "Off") + "</oneSwitch>\n";
    send(xml + "</newSwitchVector>\n");
}

qint64 IndiSession::bytesFromServer() const
{
    return gate_ ? gate_->bytesFromServer() : 0;
}

} // namespace orvane
