#pragma once
// Where an INDI device lives: a server (host and TCP port) and, for a mount,
// the device's name. orvane.ini writes a mount as a comm port entry
// "indi://host:port/Device Name" (spaces allowed in the name) and a camera
// server as "host:port".

#include "result.h"

#include <QString>

#include <optional>

namespace orvane {

inline constexpr quint16 kIndiDefaultPort = 7624; // the port INDI servers listen on

struct IndiServer {
    QString host;
    quint16 port = kIndiDefaultPort;
    QString text() const { return QStringLiteral("%1:%2").arg(host).arg(port); }
};

struct IndiAddress {
    IndiServer server;
    QString device; // as the server names it, e.g. "Telescope Simulator"
};

// True when a comm port entry names an INDI device rather than a serial device.
bool isIndiUrl(const QString &entry);
// "indi://host[:port]/Device Name"; the sentence says what is wrong with it.
ResultOf<IndiAddress> parseIndiUrl(const QString &entry);
// "host[:port]"; the sentence names `where` (the ini key) and the fault.
ResultOf<IndiServer> parseIndiServer(const QString &text, const QString &where);

} // namespace orvane
