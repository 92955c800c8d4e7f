#pragma once
// orvane.ini [server]: whether the guider server starts with the program, where
// it listens, and whether a client may end the program without asking.

#include <QString>
#include <QStringList>

#include <cstdint>

namespace orvane {

struct ServerOptions {
    bool enabled = false;                           // listen from start-up
    uint16_t port = 4400;                           // TCP port (0: any free port, for tests)
    QString listen = QStringLiteral("127.0.0.1");   // the address listened on; loopback unless named
    bool allowShutdown = false;                     // "shutdown" closes Orvane without asking first
};

// A value that is not understood keeps the default and adds a note.
ServerOptions serverOptionsFromIni(const QString &iniPath, QStringList &notes);

} // namespace orvane
