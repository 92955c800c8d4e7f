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

constexpr qint64 kReadChunkBytes = 1 << 20; // read from the server at most this much at a time

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

IndiGate::IndiGate(IndiServer server, int64_t maxBlobBytes, QObject *parent)
    : QObject(parent), server_(std::move(server)), guard_(maxBlobBytes)
{
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

void IndiGate::close()
{
    listener_.close();
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
    upstream_.connectToHost(server_.host, server_.port);
}

void IndiGate::onServerData()
{
    const QByteArray bytes = upstream_.readAll();
    ackAtOnce(upstream_);
    fromServer_ += bytes.size();
    if (const std::optional<QString> fault = guard_.feed(bytes)) {
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
