// The mount's commands. Each goes out as one write of its bytes, nothing appended;
// MSComm drops a send on a closed or lost link and reports the loss once.

#include "rig.h"

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

} // namespace orvane
