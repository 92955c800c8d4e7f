// Guide > Guider server: imaging programs drive Orvane's guiding over TCP. The
// window switches the server on and off, shows it in the status bar, shows
// "Guiding for <client>" while a client guides (Start/Stop ends it), and tells
// the clients of every problem it tells the user.

#include "main_window.h"

#include "assistant_window.h"
#include "calibration.h"
#include "guider_server.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

namespace orvane {

void MainWindow::buildGuiderServer()
{
    const ServerOptions options = serverOptionsFromIni(parts_.iniPath, guideLogNotes_);
    GuiderHost host;
    host.busyWith = [this]() -> QString {
        if (sequence_->running())
            return QStringLiteral("the imaging sequence runs");
        if (frameLoop_->running())
            return QStringLiteral("Imaging > Loop runs");
        if (calibration_->running())
            return QStringLiteral("a calibration runs");
        if (assistant_ && assistant_->running())
            return QStringLiteral("the guiding assistant watches");
        return {};
    };
    host.ownState = [this]() -> std::optional<AppState> {
        if (sequence_->running())
            return guidingTicked() && parts_.sequence.StarMarked ? AppState::Guiding : AppState::Looping;
        if (frameLoop_->running())
            return AppState::Looping;
        if (calibration_->running())
            return AppState::Calibrating;
        return std::nullopt;
    };
    host.markStar = [this](double x, double y) { sequence_->onPictureMouseDown(x, y, true); };
    host.shutdown = [this](bool ask) {
        if (!ask) {
            stopAndClose();
            return;
        }
        askOkCancel(QStringLiteral("An imaging program asks Orvane to close. Close it?"), [this](bool ok) {
            if (ok)
                stopAndClose();
        });
    };
    host.profileName = QFileInfo(parts_.iniPath).absolutePath();
    guider_ = std::make_unique<GuiderServer>(rig_->context(), std::move(host), options);
    guider_->mode().addGuideObserver(guideLog_.get());
    sequence_->addGuideObserver(guider_.get());
    guider_->mode().showGuidingFor = [this](const QString &client) {
        setStatus(client.isEmpty() ? QStringLiteral("Ready") : QStringLiteral("Guiding for %1").arg(client));
        setStartCaption(client.isEmpty() ? QStringLiteral("Start") : QStringLiteral("Stop"));
    };
    guider_->mode().ended = [this] {
        setStartCaption(QStringLiteral("Start"));
        if (closeWhenStopped_)
            close();
    };

    serverStatus_ = new QLabel(statusBar());
    serverStatus_->setObjectName(QStringLiteral("guiderServerStatus"));
    serverStatus_->hide();
    statusBar()->addPermanentWidget(serverStatus_);
    guider_->clientsChanged = [this] {
        serverStatus_->setText(guider_->statusText());
        serverStatus_->setVisible(guider_->listening());
    };

    serverAction_ = guideMenu()->addAction(QStringLiteral("Guider server"));
    serverAction_->setObjectName(QStringLiteral("guiderServer"));
    serverAction_->setCheckable(true);
    serverAction_->setToolTip(QStringLiteral("Lets an imaging program (Ekos, NINA, ...) drive Orvane's guiding "
                                             "over TCP, as it drives an external guider"));
    connect(serverAction_, &QAction::triggered, this, &MainWindow::switchGuiderServer);
}

void MainWindow::switchGuiderServer(bool on)
{
    if (on) {
        if (Result started = guider_->start(); !started) {
            notify(started.error());
            serverAction_->setChecked(false);
            return;
        }
        notify(guider_->statusText());
    } else {
        guider_->stop(); // guiding for a client ends: its end steps run as its run returns
    }
    serverAction_->setChecked(guider_->listening());
}

} // namespace orvane
