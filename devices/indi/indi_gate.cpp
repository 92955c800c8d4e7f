#include "indi_gate.h"

#include <QHostAddress>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace orvane {

namespace {
// INDI clients and servers write one message in several small pieces; with the
// receiver's ACK delayed (40 ms on Linux) each piece after the first waits for it
// under Nagle's rule. Acknowledging at once keeps a command's round trip in
// milliseconds. The kernel drops quick-ack mode by itself, so it is set after every read.
void ackAtOnce(const QAbstractSocket &socket)
{
    const int on = 1;
    const qintptr fd = socket.socketDescriptor();
    if (fd >= 0)
        (void)::setsockopt(int(fd), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on); // best effort: only speed is at stake
}

constexpr qint64 kReadChunkBytes = 1 << 20;  // read from the server at most this much at a time
constexpr qint64 kLibraryBacklogBytes = 4 << 20; // no more read while the library has this much unread

QString causeOf(QAbstractSocket::SocketError error, const QString &text)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("refused the connection (is indiserver running there?)");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("cannot be found (the host name is unknown)");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("closed the connection");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("did not answer in time");
    default:
        return QStringLiteral("cannot be reached: %1").arg(text);
    }
}
} // namespace

IndiGate::IndiGate(IndiServer server, IndiLimits limits, QObject *parent)
    : QObject(parent), server_(std::move(server)), guard_(limits)
{
    since_.start();
    upstream_.setReadBufferSize(kReadChunkBytes); // the kernel holds back the rest
    connect(&listener_, &QTcpServer::newConnection, this, &IndiGate::onLibraryConnected);
    connect(&upstream_, &QTcpSocket::connected, this, [this] {
        upstream_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        ackAtOnce(upstream_);
        upstream_.write(pendingToServer_);
        pendingToServer_.clear();
        emit reached();
    });
    connect(&upstream_, &QTcpSocket::readyRead, this, &IndiGate::onServerData);
    connect(&upstream_, &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) { fail(causeOf(error, upstream_.errorString())); });
}

IndiGate::~IndiGate()
{
    failed_ = true; // nothing is told while the gate is taken down
    close();
}

ResultOf<quint16> IndiGate::listen()
{
    if (!listener_.listen(QHostAddress::LocalHost, 0))
        return ResultOf<quint16>::failure(
            QStringLiteral("Orvane cannot open a loopback port for the INDI server at %1: %2")
                .arg(server_.text(), listener_.errorString()));
    return listener_.serverPort();
}

bool IndiGate::sendToServer(const QByteArray &message)
{
    if (failed_ || upstream_.state() != QAbstractSocket::ConnectedState)
        return false;
    upstream_.write(message);
    upstream_.flush(); // into the kernel now, not at the next pass of events
    return true;
}

void IndiGate::close()
{
    listener_.close();
    if (upstream_.state() == QAbstractSocket::ConnectedState) {
        upstream_.flush();
        // The end of what was sent follows it; the server's unread bytes are read
        // away so closing does not reset the connection and drop the last send.
        const int fd = int(upstream_.socketDescriptor());
        (void)::shutdown(fd, SHUT_WR);
        char sink[4096];
        for (int reads = 0; reads < 256 && ::recv(fd, sink, sizeof sink, MSG_DONTWAIT) > 0; ++reads) {
        }
    }
    upstream_.abort();
    if (library_)
        library_->abort();
}

void IndiGate::onLibraryConnected()
{
    QTcpSocket *socket = listener_.nextPendingConnection();
    if (!socket)
        return;
    if (library_) { // one client per gate
        socket->abort();
        socket->deleteLater();
        return;
    }
    listener_.close();
    library_ = socket;
    socket->setParent(this);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    ackAtOnce(*socket);
    connect(socket, &QTcpSocket::readyRead, this, [this] {
        const QByteArray bytes = library_->readAll();
        ackAtOnce(*library_);
        if (upstream_.state() == QAbstractSocket::ConnectedState)
            upstream_.write(bytes);
        else
            pendingToServer_ += bytes;
    });
    connect(socket, &QTcpSocket::disconnected, this, [this] { upstream_.abort(); });
    // Reading resumes as the library catches up: a fast server waits in the kernel, not in memory.
    connect(socket, &QTcpSocket::bytesWritten, this, [this] {
        if (upstream_.bytesAvailable() > 0)
            onServerData();
    });
    upstream_.connectToHost(server_.host, server_.port);
}

void IndiGate::onServerData()
{
    if (failed_ || (library_ && library_->bytesToWrite() > kLibraryBacklogBytes))
        return;
    const QByteArray bytes = upstream_.readAll();
    ackAtOnce(upstream_);
    fromServer_ += bytes.size();
    if (const std::optional<QString> fault = guard_.feed(bytes, since_.elapsed())) {
        fail(*fault + QStringLiteral("; Orvane closed the connection"));
        return;
    }
    if (library_)
        library_->write(bytes);
}

void IndiGate::fail(const QString &cause)
{
    if (failed_)
        return;
    failed_ = true;
    close();
    emit failed(cause);
}

} // namespace orvane
