#pragma once
// A client of the guider server for tests and benchmarks: a QTcpSocket on
// loopback that keeps every line it receives, parsed, and sends requests with
// increasing ids. Everything moves through the event loop; pumpUntil passes it
// (waking on socket activity, never sleeping on a fixed time).

#include "event_pump.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

namespace orvane::test {

// The simulated pump that also passes Qt's event loop at every pass, so a
// server and its clients' sockets move while the rig waits on the simulated clock.
class SocketPump : public SimEventPump {
public:
    using SimEventPump::SimEventPump;
    void processEvents() override
    {
        QCoreApplication::processEvents();
        SimEventPump::processEvents();
    }
    void processEventsOrSleep(uint32_t wakeAtMs) override
    {
        QCoreApplication::processEvents();
        SimEventPump::processEventsOrSleep(wakeAtMs);
    }
    void processEventsOrWait() override
    {
        QCoreApplication::processEvents();
        SimEventPump::processEventsOrWait();
    }
};

// Passes of the event loop until `done` holds; false after `maxPasses`.
inline bool pumpUntil(const std::function<bool()> &done, int maxPasses = 5000)
{
    for (int i = 0; i < maxPasses; ++i) {
        if (done())
            return true;
        QTimer guard; // bounds the wait when no socket stirs
        guard.setSingleShot(true);
        guard.start(5);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return done();
}

class GuiderClient {
public:
    explicit GuiderClient(quint16 port, bool reads = true)
    {
        if (!reads)
            socket.setReadBufferSize(1); // takes next to nothing from the kernel: a client that never reads
        QObject::connect(&socket, &QTcpSocket::readyRead, [this, reads] {
            if (reads)
                takeLines();
        });
        QObject::connect(&socket, &QTcpSocket::disconnected, [this] { closed = true; });
        socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        socket.waitForConnected(2000);
    }

    int send(const QString &method, const QJsonValue &params = QJsonValue::Undefined)
    {
        QJsonObject request{{"method", method}, {"id", ++lastId}};
        if (!params.isUndefined())
            request.insert("params", params);
        sendRaw(QJsonDocument(request).toJson(QJsonDocument::Compact) + "\r\n");
        return lastId;
    }
    void sendRaw(const QByteArray &bytes)
    {
        socket.write(bytes);
        socket.flush();
    }
    std::optional<QJsonObject> reply(int id) const
    {
        for (const QJsonObject &o : received)
            if (!o.contains("Event") && o.value("id").toInt() == id)
                return o;
        return std::nullopt;
    }
    std::vector<QString> eventNames() const
    {
        std::vector<QString> names;
        for (const QJsonObject &o : received)
            if (o.contains("Event"))
                names.push_back(o.value("Event").toString());
        return names;
    }
    std::vector<QJsonObject> events(const QString &name) const
    {
        std::vector<QJsonObject> out;
        for (const QJsonObject &o : received)
            if (o.value("Event").toString() == name)
                out.push_back(o);
        return out;
    }

    QTcpSocket socket;
    std::vector<QJsonObject> received;
    std::function<void(const QJsonObject &)> onLine; // sees each line as it comes
    bool closed = false;
    int lastId = 0;
    int badLines = 0; // lines that were not JSON objects

private:
    void takeLines()
    {
        while (socket.canReadLine()) {
            const QByteArray line = socket.readLine();
            const QJsonDocument doc = QJsonDocument::fromJson(line);
            if (!doc.isObject() || !line.endsWith("\r\n")) {
                ++badLines;
                continue;
            }
            received.push_back(doc.object());
            if (onLine)
                onLine(doc.object());
        }
    }
};

} // namespace orvane::test
