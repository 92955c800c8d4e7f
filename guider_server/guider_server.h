#pragma once
// The guider server: imaging programs connect on TCP (127.0.0.1:4400 unless
// orvane.ini [server] says otherwise) and drive Orvane's guiding with the
// event-monitoring JSON-RPC protocol, one JSON object a line. Several clients at
// once; each hears every event. A client that sends a line over 64 KiB is
// closed; one that stops reading is dropped once its unsent answers pass a
// bound; a flood of requests is taken a batch per pass of the event loop, so
// the window never stalls.

#include "guide_only_mode.h"
#include "rpc_lines.h"
#include "server_options.h"

#include "guide_events.h"
#include "rig.h"
#include "result.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace orvane {

// What the server asks of the window around it.
struct GuiderHost {
    // Why Orvane's own work holds the camera now (its sequence, Loop, a calibration), or empty.
    std::function<QString()> busyWith;
    // Orvane's own state while its own work runs (Guiding, Looping, Calibrating); nothing when idle.
    std::function<std::optional<AppState>()> ownState;
    // Marks the guide star as a click at (x, y) pixels would.
    std::function<void(double x, double y)> markStar;
    // The client asked Orvane to close: asks the user first unless `ask` is false.
    std::function<void(bool ask)> shutdown;
    QString profileName = QStringLiteral("Orvane"); // the one profile: this settings folder
};

struct ServerLimits {
    qsizetype maxUnsentBytes = 1024 * 1024; // a client with more answers and events waiting is dropped
    int requestsPerPass = 64;               // requests taken from one client per pass of the event loop
};

class GuiderServer : public QObject, public GuideObserver {
    Q_OBJECT
public:
    GuiderServer(const RigContext &window, GuiderHost host, ServerOptions options, ServerLimits limits = {});
    ~GuiderServer() override;

    // Listens on the options' address and port; a failure says which and why.
    Result start();
    // Closes every client and the port; guiding for a client ends (its end steps
    // run when the guide run returns).
    void stop();
    bool listening() const;
    quint16 port() const;       // the port listened on (the one chosen when the options said 0)
    QString address() const;    // "127.0.0.1"
    int clientCount() const { return int(clients_.size()); }
    // "Guider server on 127.0.0.1:4400, 2 clients"; empty when off.
    QString statusText() const;
    std::function<void()> clientsChanged; // a client came or went, or the server started or stopped

    GuideOnlyMode &mode() { return mode_; }
    const ServerOptions &options() const { return options_; }
    void setOptions(const ServerOptions &options) { options_ = options; }
    // A problem the window told: an Alert to every client.
    void alert(const QString &sentence);
    // Sends an event to every client.
    void broadcast(const QJsonObject &event);

    // Orvane's own guided runs, watched by the clients.
    void guideStep(const GuideStep &step) override;
    void guideEvent(GuideEvent event, uint32_t timeMs, const QString &text) override;

    AppState appState() const;

private:
    struct Client {
        QPointer<QTcpSocket> socket;
        LineSplitter lines;
        QString name; // "127.0.0.1:53412"
        bool drainQueued = false;
    };
    void accept();
    void greet(Client &client);
    void drain(Client *client);
    void answer(Client &client, const QByteArray &line);
    void write(Client &client, const QByteArray &bytes);
    void drop(Client *client);
    Client *clientOf(QTcpSocket *socket);
    QJsonValue call(Client &client, const RpcRequest &request);
    QJsonObject event(const QString &name, QJsonObject fields = {}) const;
    // Refuses guide, dither and loop while Orvane's own work has the camera.
    void refuseWhileBusy(const char *method) const;
    void requireConnected() const;

    // The methods (guider_methods.cpp).
    QJsonValue getCurrentEquipment() const;
    QJsonValue findStar();
    QJsonValue setLockPosition(const RpcParams &p);
    QJsonValue guide(Client &client, const RpcParams &p);
    QJsonValue dither(const RpcParams &p);
    QJsonValue getStarImage(const RpcParams &p) const;
    QJsonValue saveImage();
    QJsonValue algoParam(const RpcParams &p, bool set);

    RigContext c_;
    GuiderHost host_;
    ServerOptions options_;
    ServerLimits limits_;
    GuideOnlyMode mode_;
    QTcpServer *server_ = nullptr;
    std::vector<std::unique_ptr<Client>> clients_;
    bool connected_ = true; // set_connected: the equipment in use
    int ownSteps_ = 0;      // steps of Orvane's own guided run
    uint32_t ownBeganMs_ = 0;
    int savedImages_ = 0;
};

// The settle object of guide and dither: {"pixels", "time", "timeout"}.
SettleRule settleParam(const QJsonValue &v);

} // namespace orvane
