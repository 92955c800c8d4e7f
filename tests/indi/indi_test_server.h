#pragma once
// A real indiserver with simulator drivers on a free loopback port, in its own
// process group, ended with its drivers when the test ends. Waits are on real
// sockets and properties, each with a deadline, never a fixed sleep.

#include "clock.h"
#include "event_pump.h"
#include "indi_session.h"

#include <QProcess>

#include <csignal>
#include <sys/prctl.h>
#include <QStandardPaths>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>


#include <csignal>
#include <functional>
#include <unistd.h>

namespace orvane::test {

inline quint16 freeLoopbackPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class IndiTestServer {
public:
    explicit IndiTestServer(QStringList drivers, quint16 port = 0)
        : drivers_(std::move(drivers)), port_(port ? port : freeLoopbackPort()) {}
    ~IndiTestServer() { stop(); }

    static bool installed() { return !QStandardPaths::findExecutable(QStringLiteral("indiserver")).isEmpty(); }

    // Starts the server and returns once it accepts connections (false after 5 s).
    bool start()
    {
        process_.setProgram(QStringLiteral("indiserver"));
        // Each server its own local socket too: two servers on one name would refuse each other.
        process_.setArguments(QStringList{QStringLiteral("-p"), QString::number(port_), QStringLiteral("-u"),
                                          QStringLiteral("/tmp/orvane-indi-test-%1").arg(port_)} +
                              drivers_);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // Its own process group; and it ends with the test even when the test dies
        // (a crash must not leave a server holding ctest's output open).
        process_.setChildProcessModifier([] {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        });
        process_.start();
        if (!process_.waitForStarted(5000))
            return false;
        for (int tries = 0; tries < 50; ++tries) { // each try waits up to 100 ms on the socket
            QTcpSocket socket;
            socket.connectToHost(QStringLiteral("127.0.0.1"), port_);
            if (socket.waitForConnected(100))
                return true;
            if (process_.state() != QProcess::Running)
                return false;
            process_.waitForFinished(100); // the server gets a moment to listen; ends early if it exits
        }
        return false;
    }
    // Ends the server and its drivers at once (as a crash or a pulled cable would).
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        ::kill(-pid_t(process_.processId()), SIGKILL);
        process_.waitForFinished(5000);
    }
    quint16 port() const { return port_; }
    IndiServer address() const { return IndiServer{QStringLiteral("127.0.0.1"), port_}; }
    QString url(const QString &device) const { return QStringLiteral("indi://127.0.0.1:%1/%2").arg(port_).arg(device); }

private:
    QStringList drivers_;
    quint16 port_;
    QProcess process_;
};

// Runs events until `done` holds or `timeoutMs` has passed on the real clock;
// true when it holds. It looks at least every 50 ms, for conditions of time.
inline bool waitUntil(Clock &clock, EventPump &pump, uint32_t timeoutMs, const std::function<bool()> &done)
{
    const uint32_t until = clock.now() + timeoutMs;
    while (!done()) {
        if (reached(clock.now(), until))
            return false;
        const uint32_t now = clock.now();
        pump.processEventsOrSleep(elapsedMs(now, until) < 50 ? until : now + 50);
    }
    return true;
}

} // namespace orvane::test
