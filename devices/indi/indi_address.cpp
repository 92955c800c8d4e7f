#include "indi_address.h"

namespace orvane {

namespace {
const QString kScheme = QStringLiteral("indi://");
} // namespace

bool isIndiUrl(const QString &entry)
{
    return entry.trimmed().startsWith(kScheme, Qt::CaseInsensitive);
}

ResultOf<IndiServer> parseIndiServer(const QString &text, const QString &where)
{
    const QString trimmed = text.trimmed();
    const qsizetype colon = trimmed.lastIndexOf(QLatin1Char(':'));
    IndiServer server;
    server.host = colon < 0 ? trimmed : trimmed.left(colon);
    if (server.host.isEmpty() || server.host.contains(QLatin1Char('/')) || server.host.contains(QLatin1Char(' ')))
        return ResultOf<IndiServer>::failure(
            QStringLiteral("%1 \"%2\" names no INDI server: write host:port, e.g. 127.0.0.1:7624.").arg(where, text));
    if (colon >= 0) {
        bool ok = false;
        const uint port = trimmed.mid(colon + 1).toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return ResultOf<IndiServer>::failure(
                QStringLiteral("%1 \"%2\" has no TCP port number (1 to 65535) after the colon.").arg(where, text));
        server.port = quint16(port);
    }
    return server;
}

ResultOf<IndiAddress> parseIndiUrl(const QString &entry)
{
    const QString trimmed = entry.trimmed();
    if (!isIndiUrl(trimmed))
        return ResultOf<IndiAddress>::failure(
            QStringLiteral("\"%1\" is not an INDI address: it must begin with indi://.").arg(entry));
    const QString rest = trimmed.mid(kScheme.size());
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    const QString device = slash < 0 ? QString() : rest.mid(slash + 1).trimmed();
    if (device.isEmpty())
        return ResultOf<IndiAddress>::failure(
            QStringLiteral("\"%1\" names no INDI device: write indi://host:port/Device Name.").arg(entry));
    const ResultOf<IndiServer> server = parseIndiServer(rest.left(slash), QStringLiteral("The INDI address"));
    if (!server.ok())
        return ResultOf<IndiAddress>::failure(server.error());
    return IndiAddress{server.value(), device};
}

} // namespace orvane
