#include "device_access.h"

#include <QDir>

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane {

namespace {

QString groupAdvice(const QList<DeviceNode> &nodes, const QString &defaultGroup, const QString &what)
{
    QStringList refused;
    QString group;
    for (const DeviceNode &node : nodes) {
        if (node.permitted)
            continue;
        refused.append(node.path);
        if (group.isEmpty())
            group = node.group;
    }
    if (refused.isEmpty())
        return {};
    if (group.isEmpty() || group == QStringLiteral("root"))
        group = defaultGroup;
    return QStringLiteral("Your user cannot open %1 (%2): it is not in the group %3. "
                          "Run \"sudo usermod -aG %3 $USER\", then log out and in again.")
        .arg(what, refused.join(QStringLiteral(", ")), group);
}

QList<DeviceNode> nodes(const QDir &dev, const QStringList &patterns)
{
    QList<DeviceNode> found;
    for (const QString &name : dev.entryList(patterns, QDir::System | QDir::Files, QDir::Name)) {
        const QByteArray path = dev.filePath(name).toLocal8Bit();
        struct stat info {};
        if (::stat(path.constData(), &info) != 0)
            continue;
        const struct group *owner = ::getgrgid(info.st_gid);
        // Only a refusal counts: a serial node without hardware behind it opens
        // with another error later, which the serial link reports itself.
        const bool permitted = ::access(path.constData(), R_OK | W_OK) == 0 || errno != EACCES;
        found.append({QString::fromLocal8Bit(path), owner ? QString::fromLocal8Bit(owner->gr_name) : QString(),
                      permitted});
    }
    return found;
}

} // namespace

QStringList deviceAccessAdvice(const DeviceFacts &facts)
{
    QStringList advice;
    const QString serial = groupAdvice(facts.serial, QStringLiteral("dialout"), QStringLiteral("the serial devices"));
    if (!serial.isEmpty())
        advice.append(serial);
    if (facts.parportHardware && facts.parports.isEmpty())
        advice.append(QStringLiteral("The printer port needs the ppdev driver: run \"sudo modprobe ppdev\"."));
    const QString parport = groupAdvice(facts.parports, QStringLiteral("lp"), QStringLiteral("the printer port"));
    if (!parport.isEmpty())
        advice.append(parport);
    return advice;
}

DeviceFacts gatherDeviceFacts(const QString &devDir, const QString &parportClassDir)
{
    const QDir dev(devDir);
    DeviceFacts facts;
    facts.serial = nodes(dev, {QStringLiteral("ttyS*"), QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")});
    facts.parports = nodes(dev, {QStringLiteral("parport*")});
    facts.parportHardware =
        !QDir(parportClassDir).entryList({QStringLiteral("parport*")}, QDir::AllEntries | QDir::System).isEmpty();
    return facts;
}

} // namespace orvane
