#include "mount_probe.h"

#include <algorithm>

namespace orvane {

namespace {

constexpr char kAck = 0x06;

// "P" for a printable answer, else its bytes in hex.
QString shown(const QByteArray &answer)
{
    const bool printable = std::all_of(answer.begin(), answer.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
    return printable ? QStringLiteral("\"%1\"").arg(QString::fromLatin1(answer))
                     : QStringLiteral("the bytes %1").arg(QString::fromLatin1(answer.toHex(' ')));
}

} // namespace

MountProbe::MountProbe(SerialOpener &opener, Clock &clock, QObject *parent)
    : QObject(parent), opener_(opener), clock_(clock)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &MountProbe::check);
}

void MountProbe::start(int16_t commPort, const QString &device)
{
    if (running())
        return;
    where_ = QStringLiteral("Comm port %1 (%2)").arg(commPort).arg(device.isEmpty() ? opener_.describe(commPort) : device);
    SerialOpening opened = device.isEmpty() ? opener_.open(commPort) : opener_.openDevice(commPort, device);
    if (!opened) {
        finish(opened.error());
        return;
    }
    link_ = std::move(opened.value());
    if (const Result sent = link_->write(QByteArray(1, kAck)); !sent) {
        finish(sent.error());
        return;
    }
    deadlineMs_ = clock_.now() + kAnswerWithinMs;
    timer_.start(kLookEveryMs);
}

void MountProbe::check()
{
    if (!running())
        return;
    const QByteArray answer = link_->readAll();
    const uint32_t now = clock_.now();
    if (!answer.isEmpty())
        finish(QStringLiteral("%1: the mount answered %2.").arg(where_, shown(answer)));
    else if (reached(now, deadlineMs_))
        finish(QStringLiteral("%1: no answer within %2 ms. Is the mount switched on, its cable in and this "
                              "the right port?")
                   .arg(where_)
                   .arg(kAnswerWithinMs));
    else
        timer_.start(std::min(kLookEveryMs, int(elapsedMs(now, deadlineMs_))));
}

void MountProbe::finish(const QString &sentence)
{
    timer_.stop();
    if (link_) {
        link_->close();
        link_.reset();
    }
    emit finished(sentence);
}

} // namespace orvane
