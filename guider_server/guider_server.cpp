#include "guider_server.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace orvane {

namespace {

// The kernel's send buffer of a client socket: small, so that a client that
// stops reading shows in the unsent bytes the server counts.
constexpr int kSocketSendBufferBytes = 64 * 1024;

} // namespace

GuiderServer::GuiderServer(const RigContext &window, GuiderHost host, ServerOptions options, ServerLimits limits)
    : c_(window), host_(std::move(host)), options_(std::move(options)), limits_(limits), mode_(window)
{
    mode_.emitEvent = [this](const QJsonObject &e) { broadcast(e); };
    mode_.queueRun = [this] { QTimer::singleShot(0, this, [this] { mode_.run(); }); };
}

GuiderServer::~GuiderServer()
{
    mode_.emitEvent = nullptr;
    for (auto &client : clients_)
        if (client->socket) {
            client->socket->disconnect(this); // no drop() while the list is walked
            client->socket->abort();
        }
}

Result GuiderServer::start()
{
    if (listening())
        return Result::success();
    if (!server_) {
        server_ = new QTcpServer(this);
        connect(server_, &QTcpServer::newConnection, this, &GuiderServer::accept);
    }
    const QHostAddress address(options_.listen);
    if (!server_->listen(address, options_.port))
        return Result::failure(QStringLiteral("The guider server cannot listen on %1:%2: %3. Another guider may be "
                                              "running there; set [server] port in orvane.ini to another port.")
                                   .arg(options_.listen)
                                   .arg(options_.port)
                                   .arg(server_->errorString()));
    if (clientsChanged)
        clientsChanged();
    return Result::success();
}

void GuiderServer::stop()
{
    mode_.stop();
    for (auto &client : clients_)
        if (client->socket) {
            client->socket->disconnect(this);
            client->socket->abort();
            client->socket->deleteLater();
        }
    clients_.clear();
    if (server_)
        server_->close();
    if (clientsChanged)
        clientsChanged();
}

bool GuiderServer::listening() const { return server_ && server_->isListening(); }
quint16 GuiderServer::port() const { return listening() ? server_->serverPort() : 0; }
QString GuiderServer::address() const { return listening() ? server_->serverAddress().toString() : QString(); }

QString GuiderServer::statusText() const
{
    if (!listening())
        return {};
    return QStringLiteral("Guider server on %1:%2, %3 %4")
        .arg(address())
        .arg(port())
        .arg(clientCount())
        .arg(clientCount() == 1 ? QStringLiteral("client") : QStringLiteral("clients"));
}

void GuiderServer::accept()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        auto client = std::make_unique<Client>();
        client->socket = socket;
        client->name = QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
        // Received bytes wait in the kernel until a batch of requests has been answered.
        socket->setReadBufferSize(LineSplitter::kMaxLineBytes);
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, kSocketSendBufferBytes);
        socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1); // a half-open connection ends in time
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        Client *raw = client.get();
        clients_.push_back(std::move(client));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            if (Client *c = clientOf(socket))
                drain(c);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            if (Client *c = clientOf(socket))
                drop(c);
        });
        greet(*raw);
        if (clientsChanged)
            clientsChanged();
    }
}

GuiderServer::Client *GuiderServer::clientOf(QTcpSocket *socket)
{
    for (auto &client : clients_)
        if (client->socket == socket)
            return client.get();
    return nullptr;
}

void GuiderServer::drop(Client *client)
{
    auto it = std::find_if(clients_.begin(), clients_.end(), [client](const auto &c) { return c.get() == client; });
    if (it == clients_.end())
        return;
    std::unique_ptr<Client> gone = std::move(*it);
    clients_.erase(it);
    if (gone->socket) {
        gone->socket->disconnect(this);
        gone->socket->abort();
        gone->socket->deleteLater();
    }
    // A client that goes mid-guide leaves guiding running: the field expects it.
    if (clientsChanged)
        clientsChanged();
}

QJsonObject GuiderServer::event(const QString &name, QJsonObject fields) const
{
    QJsonObject e = guiderEvent(name, c_.clock.utcMs(c_.clock.now()));
    for (auto it = fields.begin(); it != fields.end(); ++it)
        e.insert(it.key(), it.value());
    return e;
}

AppState GuiderServer::appState() const
{
    if (mode_.calibrating())
        return AppState::Calibrating;
    if (mode_.guiding())
        return mode_.paused() ? AppState::Paused : mode_.starLost() ? AppState::LostLock : AppState::Guiding;
    if (mode_.looping())
        return AppState::Looping;
    if (host_.ownState)
        if (const auto own = host_.ownState())
            return *own;
    return c_.sequence.StarMarked != 0 ? AppState::Selected : AppState::Stopped;
}

void GuiderServer::greet(Client &client)
{
    write(client, jsonLine(versionEvent(c_.clock.utcMs(c_.clock.now()))));
    const SequenceState &seq = c_.sequence;
    const GuidingState &g = c_.guiding;
    if (seq.StarMarked != 0) {
        write(client, jsonLine(event(QStringLiteral("LockPositionSet"),
                                     {{"X", seq.StarX + g.LockDX}, {"Y", seq.StarY + g.LockDY}})));
        write(client, jsonLine(event(QStringLiteral("StarSelected"), {{"X", seq.StarX + g.MarkDX}, {"Y", seq.StarY + g.MarkDY}})));
    }
    if (g.Axes)
        write(client, jsonLine(event(QStringLiteral("CalibrationComplete"), {{"Mount", QStringLiteral("Mount")}})));
    const AppState state = appState();
    if (state == AppState::Guiding || state == AppState::LostLock)
        write(client, jsonLine(event(QStringLiteral("StartGuiding"))));
    else if (state == AppState::Paused)
        write(client, jsonLine(event(QStringLiteral("Paused"))));
    else if (state == AppState::Looping)
        write(client, jsonLine(event(QStringLiteral("LoopingExposures"), {{"Frame", mode_.loopFrames()}})));
    write(client, jsonLine(event(QStringLiteral("AppState"), {{"State", appStateName(state)}})));
}

void GuiderServer::write(Client &client, const QByteArray &bytes)
{
    QTcpSocket *socket = client.socket;
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return;
    socket->write(bytes);
    socket->flush(); // out now, not at the next pass: the client hears a guide step at once
    if (socket->bytesToWrite() > limits_.maxUnsentBytes) {
        // It stopped reading: dropping it keeps the memory bounded; later, so the caller's loop stays valid.
        socket->disconnect(this);
        socket->abort();
        QTimer::singleShot(0, this, [this, socket] {
            if (Client *c = clientOf(socket))
                drop(c);
        });
    }
}

void GuiderServer::broadcast(const QJsonObject &e)
{
    const QByteArray line = jsonLine(e);
    for (size_t i = 0; i < clients_.size(); ++i)
        write(*clients_[i], line);
}

void GuiderServer::alert(const QString &sentence)
{
    broadcast(event(QStringLiteral("Alert"), {{"Msg", sentence}, {"Type", QStringLiteral("warning")}}));
}

void GuiderServer::drain(Client *client)
{
    QTcpSocket *socket = client->socket;
    client->drainQueued = false;
    int answered = 0;
    while (socket && answered < limits_.requestsPerPass) {
        if (auto line = client->lines.takeLine()) {
            if (!line->trimmed().isEmpty()) {
                answer(*client, *line);
                ++answered;
            }
            if (!clientOf(socket))
                return; // the answer dropped it
            continue;
        }
        const QByteArray bytes = socket->read(LineSplitter::kMaxLineBytes);
        if (bytes.isEmpty())
            break;
        if (!client->lines.append(bytes)) {
            write(*client, errorLine(QJsonValue::Null, RpcError::kInvalidRequest,
                                     QStringLiteral("invalid request: a line longer than %1 bytes; the connection is "
                                                    "closed")
                                         .arg(LineSplitter::kMaxLineBytes)));
            socket->disconnectFromHost(); // after the error has gone out
            return;
        }
    }
    if (answered >= limits_.requestsPerPass && !client->drainQueued) {
        // More waits: the rest at the next pass, after the window's own events.
        client->drainQueued = true;
        QTimer::singleShot(0, this, [this, socket] {
            if (Client *c = clientOf(socket))
                drain(c);
        });
    }
}

void GuiderServer::answer(Client &client, const QByteArray &line)
{
    const ParsedLine parsed = parseRequestLine(line);
    if (!parsed.request) {
        write(client, parsed.errorReply);
        return;
    }
    const RpcRequest &request = *parsed.request;
    try {
        const QJsonValue result = call(client, request);
        write(client, resultLine(request.id, result));
    } catch (const RpcFailure &failure) {
        write(client, errorLine(request.id, failure.code, failure.message));
    } catch (const std::exception &e) {
        write(client, errorLine(request.id, RpcError::kRefused, QString::fromUtf8(e.what())));
    }
}

void GuiderServer::guideStep(const GuideStep &step)
{
    // Orvane's own guided run, for clients that watch.
    ++ownSteps_;
    const AxisLetters axes{c_.settings.DirLeft, c_.settings.DirRight, c_.settings.DirUp, c_.settings.DirDown};
    if (!step.starFound) {
        broadcast(event(QStringLiteral("StarLost"), {{"Frame", ownSteps_}, {"Time", elapsedMs(ownBeganMs_, step.timeMs) / 1000.0},
                                                     {"SNR", step.snr}, {"ErrorCode", 1}}));
        return;
    }
    broadcast(guideStepEvent(c_.clock.utcMs(step.timeMs), ownSteps_, elapsedMs(ownBeganMs_, step.timeMs) / 1000.0, step,
                             axes, std::hypot(step.dxPx, step.dyPx), std::nullopt));
}

void GuiderServer::guideEvent(GuideEvent e, uint32_t timeMs, const QString &)
{
    switch (e) {
    case GuideEvent::GuidingBegins:
        ownSteps_ = 0;
        ownBeganMs_ = timeMs;
        broadcast(event(QStringLiteral("StartGuiding")));
        break;
    case GuideEvent::GuidingEnds: broadcast(event(QStringLiteral("GuidingStopped"))); break;
    case GuideEvent::StarMarked:
        broadcast(event(QStringLiteral("StarSelected"), {{"X", c_.sequence.StarX}, {"Y", c_.sequence.StarY}}));
        broadcast(event(QStringLiteral("LockPositionSet"), {{"X", c_.sequence.StarX + c_.guiding.LockDX},
                                                            {"Y", c_.sequence.StarY + c_.guiding.LockDY}}));
        break;
    case GuideEvent::Dither: broadcast(event(QStringLiteral("GuidingDithered"))); break;
    default: break;
    }
}

} // namespace orvane
