#pragma once
// A relay on the loopback interface between the INDI client library and a
// server: the library connects to the gate at once (no wait on the network in
// the GUI thread), the gate reaches the server without blocking, and every byte
// the server sends passes the stream guard before the library reads it. A
// fault or a lost server closes both sides and is told once through `failed`.

#include "indi_address.h"
#include "indi_stream_guard.h"
#include "result.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace orvane {

class IndiGate : public QObject {
    Q_OBJECT
public:
    IndiGate(IndiServer server, IndiLimits limits, QObject *parent = nullptr);
    ~IndiGate() override;

    // Opens the loopback side; the port the library is to connect to follows.
    ResultOf<quint16> listen();
    // Closes both sides without a word (the program ends the session). What
    // was sent to the server is handed to the kernel first and the server's
    // side is ended after it, so a last command (a stop) still goes out.
    void close();
    // Writes one message to the server at once (not through the library), so
    // the moment of sending is now; false when the server is not connected.
    bool sendToServer(const QByteArray &message);
    qint64 bytesFromServer() const { return fromServer_; }

signals:
    // The phrase that follows "The INDI server at host:port ...": "refused the
    // connection ...", "sent malformed XML (...); Orvane closed the connection".
    void failed(const QString &cause);
    // The server accepted the connection.
    void reached();

private:
    void onLibraryConnected();
    void onServerData();
    void fail(const QString &cause);

    IndiServer server_;
    IndiStreamGuard guard_;
    QElapsedTimer since_; // the guard's steady clock
    QTcpServer listener_;
    QPointer<QTcpSocket> library_; // the client library's side
    QTcpSocket upstream_;          // the server's side
    QByteArray pendingToServer_;   // what the library sent before the server answered
    qint64 fromServer_ = 0;        // bytes
    bool failed_ = false;
};

} // namespace orvane
