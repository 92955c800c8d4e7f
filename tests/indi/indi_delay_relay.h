#pragma once
// A TCP relay that holds every byte for `delayMs` each way, as a mount over a
// slow link would, driven by the event loop. It reads the program's motion
// commands as they arrive from the program and works out, per mount axis, the
// spans the mount was commanded On: a motion switch from its On to the next Off
// (or the next On), a timed pulse for its length (or until the next pulse).

#include <QElapsedTimer>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <deque>
#include <memory>
#include <vector>

namespace orvane::test {

// One span of commanded motion on an axis ("NS" or "WE"), ms on the relay's clock.
struct OnSpan {
    qint64 startMs = 0, endMs = -1; // -1: never stopped
    bool stopped() const { return endMs >= 0; }
    qint64 lengthMs() const { return endMs - startMs; }
};

class DelayRelay : public QObject {
public:
    DelayRelay(quint16 serverPort, int delayMs) : serverPort_(serverPort), delayMs_(delayMs)
    {
        clock_.start();
        listener_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&listener_, &QTcpServer::newConnection, this, [this] { accept(); });
    }
    // The sockets outlive the pipes (they are children of this and of the listener):
    // their last signals, at their own destruction, must reach no pipe.
    ~DelayRelay() override
    {
        for (const auto &pipe : pipes_)
            for (QTcpSocket *socket : {pipe->from.data(), pipe->to.data()})
                if (socket)
                    QObject::disconnect(socket, nullptr, this, nullptr);
    }
    quint16 port() const { return listener_.serverPort(); }
    qint64 nowMs() const { return clock_.elapsed(); }
    void setDelayMs(int ms) { delayMs_ = ms; }

    // The commanded spans of one axis ("NS" or "WE"), in order.
    std::vector<OnSpan> spans(const QString &axis) const { return axis == QLatin1String("NS") ? ns_ : we_; }
    // Is any axis commanded On at the relay's time `atMs` (or after the last command)?
    bool onAt(qint64 atMs) const
    {
        for (const auto *list : {&ns_, &we_})
            for (const OnSpan &s : *list)
                if (s.startMs <= atMs && (!s.stopped() || s.endMs > atMs))
                    return true;
        return false;
    }
    int commands() const { return commands_; }

private:
    struct Pipe {
        QPointer<QTcpSocket> from, to;
        std::deque<std::pair<qint64, QByteArray>> held; // due time, bytes
        QTimer timer;
    };

    void accept()
    {
        QTcpSocket *program = listener_.nextPendingConnection();
        auto *server = new QTcpSocket(this);
        server->connectToHost(QHostAddress::LocalHost, serverPort_);
        // Pipes of earlier connections stay: their sockets may still signal.
        pipes_.push_back(std::make_unique<Pipe>());
        link(*pipes_.back(), program, server, true);
        pipes_.push_back(std::make_unique<Pipe>());
        link(*pipes_.back(), server, program, false);
    }
    void link(Pipe &pipe, QTcpSocket *from, QTcpSocket *to, bool fromProgram)
    {
        pipe.from = from;
        pipe.to = to;
        pipe.timer.setSingleShot(true);
        pipe.timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(from, &QTcpSocket::readyRead, this, [this, &pipe, fromProgram] {
            const QByteArray bytes = pipe.from->readAll();
            if (fromProgram)
                readCommands(bytes);
            pipe.held.emplace_back(nowMs() + delayMs_, bytes);
            if (!pipe.timer.isActive())
                pipe.timer.start(int(std::max<qint64>(0, pipe.held.front().first - nowMs())));
        });
        QObject::connect(&pipe.timer, &QTimer::timeout, this, [this, &pipe] {
            while (!pipe.held.empty() && pipe.held.front().first <= nowMs()) {
                if (pipe.to)
                    pipe.to->write(pipe.held.front().second);
                pipe.held.pop_front();
            }
            if (!pipe.held.empty())
                pipe.timer.start(int(std::max<qint64>(0, pipe.held.front().first - nowMs())));
        });
        QObject::connect(from, &QTcpSocket::disconnected, this, [&pipe] {
            if (pipe.to)
                pipe.to->disconnectFromHost();
        });
    }

    void readCommands(const QByteArray &bytes)
    {
        static const QRegularExpression kMessage(QStringLiteral("<new(Switch|Number)Vector[^>]*name=\"([A-Z_]+)\"[^>]*>(.*?)</new\\1Vector>"),
                                                 QRegularExpression::DotMatchesEverythingOption);
        static const QRegularExpression kElement(QStringLiteral("<one(?:Switch|Number) name=\"([A-Z_]+)\">\\s*([^<]*?)\\s*</one"));
        text_ += QString::fromUtf8(bytes);
        qsizetype used = 0;
        for (auto m = kMessage.globalMatch(text_); m.hasNext();) {
            const QRegularExpressionMatch message = m.next();
            used = message.capturedEnd();
            const QString name = message.captured(2);
            const bool ns = name.endsWith(QLatin1String("_NS"));
            std::vector<OnSpan> &axis = ns ? ns_ : we_;
            bool on = false;
            double pulseMs = 0;
            for (auto e = kElement.globalMatch(message.captured(3)); e.hasNext();) {
                const QRegularExpressionMatch element = e.next();
                on = on || element.captured(2) == QLatin1String("On");
                pulseMs = std::max(pulseMs, element.captured(2).toDouble());
            }
            const qint64 t = nowMs();
            const bool running = !axis.empty() && (!axis.back().stopped() || axis.back().endMs > t);
            if (name.startsWith(QLatin1String("TELESCOPE_MOTION_"))) {
                ++commands_;
                if (running)
                    axis.back().endMs = t; // an Off ends it; an On replaces it
                if (on)
                    axis.push_back({t, -1});
            } else if (name.startsWith(QLatin1String("TELESCOPE_TIMED_GUIDE_"))) {
                ++commands_;
                if (running)
                    axis.back().endMs = t;
                if (pulseMs > 1) // a 1 ms pulse is how a running one is cut
                    axis.push_back({t, t + qint64(std::lround(pulseMs))});
            }
        }
        text_.remove(0, used);
    }

    quint16 serverPort_;
    int delayMs_;
    QElapsedTimer clock_;
    QTcpServer listener_;
    std::vector<std::unique_ptr<Pipe>> pipes_;
    QString text_;
    std::vector<OnSpan> ns_, we_;
    int commands_ = 0;
};

} // namespace orvane::test
