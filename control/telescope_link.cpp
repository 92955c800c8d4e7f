// The mount's commands. Each goes out as one write of its bytes, nothing appended;
// MountLink drops a send on a closed or lost link and reports the loss once.

#include "rig.h"

#include "clock.h"

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

bool Rig::correctionRunning() const
{
    const GuidingState &g = c_.guiding;
    if (g.MoveDirX != 0 || g.MoveDirY != 0)
        return true;
    // A pulse runs in the mount for its planned length from its start.
    const int32_t longestMs = std::max(g.Planned.x.dir ? g.Planned.x.ms : 0, g.Planned.y.dir ? g.Planned.y.ms : 0);
    return g.Options.pulse && elapsedMs(g.MoveClock, c_.clock.now()) < int64_t(longestMs);
}

void Rig::askPointing()
{
    if (!c_.sequence.readPointing || !c_.comm.PortOpen() || c_.comm.tellsPointing() || correctionRunning())
        return;
    if (pointingAsked_)
        takePointing(); // an answer still unread goes first, so the replies stay in step
    c_.comm.Output(QByteArrayLiteral(":GR#:GD#"));
    pointingAsked_ = true;
}

void Rig::takePointing()
{
    if (!pointingAsked_)
        return;
    pointingAsked_ = false;
    const QByteArray in = c_.comm.Input();
    const qsizetype raEnd = in.indexOf('#');
    const qsizetype decEnd = raEnd < 0 ? -1 : in.indexOf('#', raEnd + 1);
    if (decEnd < 0)
        return; // no whole answer: the pointing known before stays
    const std::optional<double> ra = lx200RaHours(in.left(raEnd + 1));
    const std::optional<double> dec = lx200DecDeg(in.mid(raEnd + 1, decEnd - raEnd));
    if (ra && dec)
        c_.comm.notePointing(MountPointing{*ra, *dec});
}

} // namespace orvane
