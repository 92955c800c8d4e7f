#include "indi_mount.h"

namespace orvane {

namespace {

const QString kConnection = QStringLiteral("CONNECTION");
const QString kMotionNs = QStringLiteral("TELESCOPE_MOTION_NS");
const QString kMotionWe = QStringLiteral("TELESCOPE_MOTION_WE");
const QString kTimedNs = QStringLiteral("TELESCOPE_TIMED_GUIDE_NS");
const QString kTimedWe = QStringLiteral("TELESCOPE_TIMED_GUIDE_WE");
const QString kSlewRate = QStringLiteral("TELESCOPE_SLEW_RATE");
constexpr char kAck = 0x06;

bool northSouth(char d) { return d == 'n' || d == 's'; }

QString motionElement(char d)
{
    switch (d) {
    case 'n': return QStringLiteral("MOTION_NORTH");
    case 's': return QStringLiteral("MOTION_SOUTH");
    case 'w': return QStringLiteral("MOTION_WEST");
    default: return QStringLiteral("MOTION_EAST");
    }
}

QString timedElement(char d)
{
    return QStringLiteral("TIMED_GUIDE_") + QChar(QLatin1Char(char(d - 'a' + 'A')));
}

} // namespace

IndiMount::IndiMount(IndiAddress address, QObject *parent) : QObject(parent), address_(std::move(address)) {}

Result IndiMount::start()
{
    if (alive())
        return Result::success();
    session_ = std::make_unique<IndiSession>(address_.server, kMaxMountBlobBytes);
    askedToConnect_ = calmed_ = false;
    connect(session_.get(), &IndiSession::propertyChanged, this, &IndiMount::onChanged);
    connect(session_.get(), &IndiSession::lost, this, &IndiMount::lost);
    return session_->start();
}

bool IndiMount::has(const char *name) const
{
    return session_ && session_->property(address_.device, QString::fromLatin1(name));
}

void IndiMount::onChanged(const QString &device, const QString &name)
{
    if (device != address_.device)
        return;
    const IndiProperty *connection = session_->property(device, kConnection);
    if (name == kConnection && connection && !askedToConnect_ && !connection->switches.value(QStringLiteral("CONNECT"))) {
        askedToConnect_ = true;
        session_->connectDevice(device);
    }
    if (!calmed_ && ready()) {
        // A motion left running by an earlier client, or before the server went away, ends here.
        calmed_ = true;
        stopAll();
    }
}

bool IndiMount::ready() const
{
    if (!alive())
        return false;
    const IndiProperty *connection = session_->property(address_.device, kConnection);
    const bool motion = has("TELESCOPE_MOTION_NS") && has("TELESCOPE_MOTION_WE");
    const bool timed = has("TELESCOPE_TIMED_GUIDE_NS") && has("TELESCOPE_TIMED_GUIDE_WE");
    return connection && connection->switches.value(QStringLiteral("CONNECT")) && (motion || timed);
}

QString IndiMount::notReadySentence() const
{
    const QString server = address_.server.text(), device = address_.device;
    if (!session_)
        return QStringLiteral("The INDI server at %1 has not been asked for \"%2\" yet.").arg(server, device);
    if (!session_->alive())
        return session_->lostSentence();
    const QSet<QString> devices = session_->devices();
    if (devices.isEmpty())
        return QStringLiteral("The INDI server at %1 listed no devices in time.").arg(server);
    if (!devices.contains(device)) {
        QStringList names = devices.values();
        names.sort();
        return QStringLiteral("The INDI server at %1 has no device \"%2\" (it has: %3).").arg(server, device, names.join(QStringLiteral(", ")));
    }
    const IndiProperty *connection = session_->property(device, kConnection);
    if (!connection || !connection->switches.value(QStringLiteral("CONNECT")))
        return QStringLiteral("The INDI device \"%1\" on %2 did not connect in time.").arg(device, server);
    return QStringLiteral("The INDI device \"%1\" on %2 has neither TELESCOPE_MOTION_NS/WE nor "
                          "TELESCOPE_TIMED_GUIDE_NS/WE: it cannot guide.")
        .arg(device, server);
}

QByteArray IndiMount::command(const QByteArray &lx200)
{
    if (lx200 == QByteArray(1, kAck))
        return ready() ? QByteArrayLiteral("P") : QByteArray(); // answers as a polar-mounted LX200 does
    if (!ready())
        return {};
    if (lx200 == ":RG") {
        guideRate_ = true;
        return {};
    }
    if (lx200.size() == 3 && lx200.startsWith(":M") && QByteArrayLiteral("nswe").contains(lx200[2]))
        startMotion(lx200[2]);
    else if (lx200.size() == 3 && lx200.startsWith(":Q") && QByteArrayLiteral("nswe").contains(lx200[2]))
        stopAxis(lx200[2]);
    else if (lx200 == ":Q")
        stopAll();
    return {};
}

void IndiMount::startMotion(char d)
{
    const QString &motion = northSouth(d) ? kMotionNs : kMotionWe;
    if (session_->property(address_.device, motion)) {
        if (guideRate_ && session_->property(address_.device, kSlewRate)) {
            // The slowest rate the driver offers stands for LX200's guide rate.
            const IndiProperty *rates = session_->property(address_.device, kSlewRate);
            if (!rates->switches.isEmpty() && !rates->switches.first())
                session_->sendSwitch(address_.device, kSlewRate, rates->switches.firstKey());
        }
        session_->sendSwitch(address_.device, motion, motionElement(d));
    } else {
        pulse(d, int(kPulseCapMs)); // ended by the stop below
    }
    guideRate_ = false;
}

void IndiMount::stopAxis(char d)
{
    const QString &motion = northSouth(d) ? kMotionNs : kMotionWe;
    if (const IndiProperty *p = session_->property(address_.device, motion)) {
        if (p->switches.value(motionElement(d)))
            session_->sendSwitch(address_.device, motion, QString());
        return;
    }
    // Without motion properties a new 1 ms pulse replaces the running one.
    const IndiProperty *timed = session_->property(address_.device, northSouth(d) ? kTimedNs : kTimedWe);
    if (timed && timed->state == IndiState::Busy)
        pulse(d, 1);
}

void IndiMount::stopAll()
{
    if (!alive())
        return;
    for (const QString &motion : {kMotionNs, kMotionWe})
        if (session_->property(address_.device, motion))
            session_->sendSwitch(address_.device, motion, QString());
}

bool IndiMount::pulse(char d, int ms)
{
    const QString &name = northSouth(d) ? kTimedNs : kTimedWe;
    if (!alive() || !session_->property(address_.device, name))
        return false;
    session_->sendNumbers(address_.device, name, {{timedElement(d), double(ms)}});
    return true;
}

Result IndiMountConnection::write(const QByteArray &bytes)
{
    if (!open_)
        return Result::failure(QStringLiteral("The link to INDI mount \"%1\" is closed.").arg(mount_->address().device));
    if (!mount_->ready()) // a command the mount cannot take is a lost send, told once by the link
        return Result::failure(mount_->notReadySentence());
    partial_ += bytes;
    qsizetype start = 0;
    for (qsizetype i = 0; i < partial_.size(); ++i) {
        if (partial_[i] == kAck) { // the probe byte stands alone, no '#'
            replies_ += mount_->command(QByteArray(1, kAck));
            start = i + 1;
        } else if (partial_[i] == '#') {
            replies_ += mount_->command(partial_.mid(start, i - start));
            start = i + 1;
        }
    }
    partial_.remove(0, start);
    return Result::success();
}

void IndiMountConnection::close()
{
    open_ = false;
    QObject::disconnect(lossWatch_);
}

void IndiMountConnection::watchForLoss(std::function<void(const QString &)> tell)
{
    QObject::disconnect(lossWatch_);
    lossWatch_ = QObject::connect(mount_.get(), &IndiMount::lost, mount_.get(), std::move(tell));
}

QByteArray IndiMountConnection::readAll()
{
    return std::exchange(replies_, QByteArray());
}

std::shared_ptr<IndiMount> IndiMounts::mount(const QString &url) const
{
    const auto it = mounts_.find(url.trimmed());
    return it == mounts_.end() ? nullptr : it->second;
}

SerialOpening IndiMounts::open(const QString &url)
{
    const ResultOf<IndiAddress> address = parseIndiUrl(url);
    if (!address.ok())
        return SerialOpening::failure(address.error());
    std::shared_ptr<IndiMount> &mount = mounts_[url.trimmed()];
    const bool fresh = !mount || !mount->alive();
    if (!mount)
        mount = std::make_shared<IndiMount>(address.value());
    if (Result started = mount->start(); !started)
        return SerialOpening::failure(started.error());
    if (wait_) {
        // The window keeps running meanwhile: the pump serves every event.
        const uint32_t until = wait_->clock.now() + (fresh ? kFirstConnectMs : kReadyWithinMs);
        while (!mount->ready() && mount->alive() && !reached(wait_->clock.now(), until))
            wait_->pump.processEventsOrSleep(until);
    }
    if (!mount->ready())
        return SerialOpening::failure(mount->notReadySentence());
    return std::unique_ptr<SerialConnection>(std::make_unique<IndiMountConnection>(mount));
}

} // namespace orvane
