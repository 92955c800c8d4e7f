#include "server_options.h"

#include "ini_values.h"

#include <QHostAddress>

namespace orvane {

ServerOptions serverOptionsFromIni(const QString &iniPath, QStringList &notes)
{
    ServerOptions o;
    IniValues ini = IniValues::read(iniPath, notes);
    if (auto v = ini.truth("server", "enabled", QStringLiteral("false")))
        o.enabled = *v;
    if (auto v = ini.whole("server", "port", QStringLiteral("4400")))
        o.port = uint16_t(*v);
    if (auto v = ini.text("server", "listen"); v && !v->isEmpty()) {
        if (QHostAddress(*v).isNull())
            ini.refuse("server", "listen", QStringLiteral("not an IP address (such as 127.0.0.1 or 0.0.0.0)"),
                       QStringLiteral("127.0.0.1"));
        else
            o.listen = *v;
    }
    if (auto v = ini.truth("server", "allowShutdown", QStringLiteral("false")))
        o.allowShutdown = *v;
    return o;
}

} // namespace orvane
