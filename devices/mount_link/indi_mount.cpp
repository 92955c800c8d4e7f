#include "indi_mount.h"

#include <cmath>

namespace orvane {

namespace {

const QString kConnection = QStringLiteral("CONNECTION");
const QString kMotionNs = QStringLiteral("TELESCOPE_MOTION_NS");
const QString kMotionWe = QStringLiteral("TELESCOPE_MOTION_WE");
const QString kTimedNs = QStringLiteral("TELESCOPE_TIMED_GUIDE_NS");
const QString kTimedWe = QStringLiteral("TELESCOPE_TIMED_GUIDE_WE");
const QString kSlewRate = QStringLiteral("TELESCOPE_SLEW_RATE");
const QString kAbort = QStringLiteral("TELESCOPE_ABORT_MOTION");
constexpr char kAck = 0x06;

bool isDirection(char d) { return d == 'n' || d == 's' || d == 'w' || d == 'e'; }

QString directionWord(char d)
{
    switch (d) {
    case 'n': return QStringLiteral("north");
    case 's': return QStringLiteral("south");
    case 'w': return QStringLiteral("west");
    default: return QStringLiteral("east");
    }
}

// ":Mg" + direction + five digits of ms: the length, or nothing when the command is another.
std::optional<int> pulseMs(const QByteArray &lx200)
{
    if (lx200.size() != 9 || !lx200.startsWith(":Mg") || !isDirection(lx200[3]))
        return std::nullopt;
    bool ok = false;
    const int ms = lx200.mid(4).toInt(&ok);
    return ok && ms >= 0 ? std::optional<int>(ms) : std::nullopt;
}

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

IndiMount::IndiMount(IndiAddress address, QObject *parent) : QObject(parent), address_(std::move(address))
{
    since_.start();
    for (Axis &axis : axes_) {
        axis.pulseEnd.setSingleShot(true);
        axis.pulseEnd.setTimerType(Qt::PreciseTimer);
        connect(&axis.pulseEnd, &QTimer::timeout, this, [this, &axis] {
            if (axis.direction)
                stopAxis(axis.direction);
        });
    }
}

IndiMount::~IndiMount()
{
    stopAll(); // the session's end sends it on before the connection closes
}

Result IndiMount::start()
{
    if (alive())
        return Result::success();
    session_ = std::make_unique<IndiSession>(address_.server, limits_);
    askedToConnect_ = calmed_ = false;
    for (Axis &axis : axes_) {
        axis.pulseEnd.stop();
        axis.direction = 0;
        axis.stopSent = true;
        axis.motion.reset();
    }
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
    watchMotionProperties();
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

std::optional<MountPointing> IndiMount::pointing() const
{
    if (!session_)
        return std::nullopt;
    const IndiProperty *coord = session_->property(address_.device, QStringLiteral("EQUATORIAL_EOD_COORD"));
    if (!coord || !coord->numbers.contains(QStringLiteral("RA")) || !coord->numbers.contains(QStringLiteral("DEC")))
        return std::nullopt;
    MountPointing p{coord->numbers.value(QStringLiteral("RA")), coord->numbers.value(QStringLiteral("DEC"))};
    if (!std::isfinite(p.raHours) || !std::isfinite(p.decDeg) || std::fabs(p.decDeg) > 90)
        return std::nullopt;
    if (const IndiProperty *pier = session_->property(address_.device, QStringLiteral("TELESCOPE_PIER_SIDE"))) {
        if (pier->switches.value(QStringLiteral("PIER_EAST")))
            p.pier = PierSide::East;
        else if (pier->switches.value(QStringLiteral("PIER_WEST")))
            p.pier = PierSide::West;
    }
    return p;
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

// A motion property gone while its axis moves: told, and stopped by what remains.
void IndiMount::watchMotionProperties()
{
    for (Axis &axis : axes_) {
        const QString &name = &axis == &axes_[0] ? kMotionNs : kMotionWe;
        if (const IndiProperty *p = session_->property(address_.device, name)) {
            axis.motion = *p;
            continue;
        }
        if (!axis.motion)
            continue;
        const IndiProperty gone = *std::exchange(axis.motion, std::nullopt);
        if (!axis.direction || axis.timed)
            continue;
        const char moving = axis.direction;
        session_->sendSwitch(gone, QString()); // the driver may still act on the deleted property
        const bool abort = session_->property(address_.device, kAbort) != nullptr;
        if (abort)
            session_->sendSwitch(address_.device, kAbort, QStringLiteral("ABORT"));
        axis.pulseEnd.stop();
        axis.direction = 0;
        axis.stopSent = true;
        emit told(QStringLiteral("The INDI device \"%1\" on %2 deleted %3 while the mount moved %4; Orvane sent the "
                                 "stop to it%5.")
                      .arg(address_.device, address_.server.text(), name, directionWord(moving),
                           abort ? QStringLiteral(" and to TELESCOPE_ABORT_MOTION") : QString()));
    }
}

QByteArray IndiMount::command(const QByteArray &lx200)
{
    if (lx200 == QByteArray(1, kAck))
        return ready() ? QByteArrayLiteral("P") : QByteArray(); // answers as a polar-mounted LX200 does
    // A stop goes out whenever the server may hear it, ready or not.
    if (lx200.size() == 3 && lx200.startsWith(":Q") && isDirection(lx200[2])) {
        stopAxis(lx200[2]);
        return {};
    }
    if (lx200 == ":Q") {
        stopAll();
        return {};
    }
    if (!ready())
        return {};
    if (lx200 == ":RG") {
        guideRate_ = true;
        return {};
    }
    if (lx200.size() == 3 && lx200.startsWith(":M") && isDirection(lx200[2]))
        startMotion(lx200[2]);
    else if (const std::optional<int> ms = pulseMs(lx200))
        guidePulse(lx200[3], *ms);
    return {};
}

void IndiMount::startMotion(char d)
{
    const QString &motion = northSouth(d) ? kMotionNs : kMotionWe;
    Axis &axis = axisOf(d);
    axis.pulseEnd.stop();
    if (session_->property(address_.device, motion)) {
        if (guideRate_ && session_->property(address_.device, kSlewRate)) {
            // The slowest rate the driver offers stands for LX200's guide rate.
            const IndiProperty *rates = session_->property(address_.device, kSlewRate);
            if (!rates->switches.isEmpty() && !rates->switches.first())
                session_->sendSwitch(address_.device, kSlewRate, rates->switches.firstKey());
        }
        session_->sendSwitch(address_.device, motion, motionElement(d));
        axis.timed = false;
    } else {
        pulse(d, int(kPulseCapMs)); // ended by the stop
        axis.timed = true;
        axis.pulseEndsMs = since_.elapsed() + qint64(kPulseCapMs);
    }
    axis.direction = d;
    axis.stopSent = false;
    guideRate_ = false;
}

// A stop for this axis goes out when the program started it since the last
// stop (or `always`), whatever the server last said of it.
void IndiMount::stopAxis(char d, bool always)
{
    Axis &axis = axisOf(d);
    axis.pulseEnd.stop();
    if (!alive() || (axis.stopSent && !always)) {
        axis.direction = 0;
        return;
    }
    const QString &motion = northSouth(d) ? kMotionNs : kMotionWe;
    if (const IndiProperty *p = session_->property(address_.device, motion))
        session_->sendSwitch(*p, QString());
    else if (axis.motion)
        session_->sendSwitch(*axis.motion, QString());
    // A timed pulse still running is replaced by one of 1 ms.
    if (axis.direction && axis.timed && since_.elapsed() < axis.pulseEndsMs)
        pulse(axis.direction, 1);
    axis.direction = 0;
    axis.timed = false;
    axis.stopSent = true;
}

void IndiMount::stopAll()
{
    if (!alive())
        return;
    stopAxis('n', true);
    stopAxis('w', true);
}

bool IndiMount::pulse(char d, int ms)
{
    const QString &name = northSouth(d) ? kTimedNs : kTimedWe;
    if (!alive() || !session_->property(address_.device, name))
        return false;
    session_->sendNumbers(address_.device, name, {{timedElement(d), double(ms)}});
    return true;
}

bool IndiMount::guidePulse(char d, int ms)
{
    if (ms <= 0)
        return true; // nothing to move
    Axis &axis = axisOf(d);
    if (pulse(d, ms)) {
        axis.pulseEnd.stop();
        axis.direction = d;
        axis.timed = true;
        axis.pulseEndsMs = since_.elapsed() + ms;
        axis.stopSent = false;
        return true;
    }
    if (!session_->property(address_.device, northSouth(d) ? kMotionNs : kMotionWe))
        return false;
    startMotion(d);
    axis.pulseEnd.start(ms); // timed from the start just sent
    return true;
}

Result IndiMountConnection::write(const QByteArray &bytes)
{
    if (!open_)
        return Result::failure(QStringLiteral("The link to INDI mount \"%1\" is closed.").arg(mount_->address().device));
    if (!mount_->ready()) { // a command the mount cannot take is a lost send, told once by the link
        if (bytes.contains(":Q"))
            mount_->stopAll(); // a stop still goes wherever it can
        return Result::failure(mount_->notReadySentence());
    }
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

IndiMountConnection::~IndiMountConnection()
{
    close();
}

void IndiMountConnection::close()
{
    QObject::disconnect(lossWatch_); // a loss the stop below meets is no longer this link's news
    QObject::disconnect(toldWatch_);
    if (open_)
        mount_->stopAll(); // a closed link leaves nothing running
    open_ = false;
}

void IndiMountConnection::watchForLoss(std::function<void(const QString &)> tell)
{
    QObject::disconnect(lossWatch_);
    QObject::disconnect(toldWatch_);
    lossWatch_ = QObject::connect(mount_.get(), &IndiMount::lost, mount_.get(), tell);
    toldWatch_ = QObject::connect(mount_.get(), &IndiMount::told, mount_.get(), tell);
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
    mount->setLimits(limits_);
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
