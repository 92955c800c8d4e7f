// The mount's commands. Each goes out as one write of its bytes, nothing appended;
// MountLink drops a send on a closed or lost link and reports the loss once.

#include "rig.h"

#include <algorithm>

namespace orvane {

void Rig::sendStopAll()
{
    c_.comm.Output(QByteArray(kStopAll));
}

void Rig::sendGuideMove(const QString &direction)
{
    // The direction text goes in verbatim, in the configuration file's encoding.
    c_.comm.Output(QByteArrayLiteral(":RG#:M") + direction.toLatin1() + '#');
}

QByteArray pulseCommand(const QString &direction, int32_t ms)
{
    const QByteArray digits = QByteArray::number(std::clamp(ms, 0, 99999)).rightJustified(5, '0');
    return QByteArrayLiteral(":Mg") + direction.toLatin1() + digits + '#';
}

void Rig::sendPulse(const QString &direction, int32_t ms)
{
    c_.comm.Output(pulseCommand(direction, ms));
}

void Rig::sendAxisStop(const QString &direction)
{
    c_.comm.Output(QByteArrayLiteral(":Q") + direction.toLatin1() + '#');
}

} // namespace orvane
