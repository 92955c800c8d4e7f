#include "indi_session.h"

#include "indi_gate.h"

#include <baseclient.h>
#include <indiproperty.h>
#include <indipropertynumber.h>
#include <indipropertyswitch.h>

#include <QMetaObject>

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

} // namespace

// The library's side: runs on the library's thread and only posts copies.
class IndiSession::Client : public INDI::BaseClient {
public:
    explicit Client(IndiSession &session) : session_(session) {}

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
        QMetaObject::invokeMethod(&session_, [s = &session_, p = std::move(p), blob]() mutable { s->take(std::move(p), blob); },
                                  Qt::QueuedConnection);
    }
    IndiSession &session_;
};

IndiSession::IndiSession(IndiServer server, int64_t maxBlobBytes, QObject *parent)
    : QObject(parent), server_(std::move(server)), maxBlobBytes_(maxBlobBytes)
{
}

IndiSession::~IndiSession()
{
    // The gate goes first, so the library's thread sees its socket end and stops at once.
    if (gate_)
        gate_->close();
    if (client_)
        client_->disconnectServer();
    client_.reset();
}

Result IndiSession::start()
{
    gate_ = std::make_unique<IndiGate>(server_, maxBlobBytes_);
    connect(gate_.get(), &IndiGate::failed, this, [this](const QString &cause) {
        loseWith(QStringLiteral("The INDI server at %1 %2.").arg(server_.text(), cause));
    });
    const ResultOf<quint16> port = gate_->listen();
    if (!port.ok())
        return Result::failure(port.error());
    client_ = std::make_unique<Client>(*this);
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

void IndiSession::sendNumbers(const QString &device, const QString &name, const QMap<QString, double> &values)
{
    const IndiProperty *kept = alive_ ? property(device, name) : nullptr;
    if (!kept || kept->type != QLatin1String("number"))
        return;
    INDI::PropertyNumber numbers(kept->numbers.size());
    numbers.setDeviceName(device.toUtf8().constData());
    numbers.setName(name.toUtf8().constData());
    size_t i = 0;
    for (const QString &element : kept->numbers.keys()) {
        numbers[i].setName(element.toUtf8().constData());
        numbers[i].setValue(values.value(element, 0.0)); // elements not named are sent as 0 (a pulse not given)
        ++i;
    }
    client_->sendNewNumber(numbers);
}

void IndiSession::sendSwitch(const QString &device, const QString &name, const QString &on)
{
    const IndiProperty *kept = alive_ ? property(device, name) : nullptr;
    if (!kept || kept->type != QLatin1String("switch"))
        return;
    INDI::PropertySwitch switches(kept->switches.size());
    switches.setDeviceName(device.toUtf8().constData());
    switches.setName(name.toUtf8().constData());
    size_t i = 0;
    for (const QString &element : kept->switches.keys()) {
        switches[i].setName(element.toUtf8().constData());
        switches[i].setState(element == on ? ISS_ON : ISS_OFF);
        ++i;
    }
    client_->sendNewSwitch(switches);
}

qint64 IndiSession::bytesFromServer() const
{
    return gate_ ? gate_->bytesFromServer() : 0;
}

} // namespace orvane
