#pragma once
// SIGTERM, SIGINT and SIGHUP (a logout, a shutdown, Ctrl+C in a terminal) end the
// program through its ordinary close, so a running sequence runs its end steps:
// the mount is told to stop, the camera lines go back to rest, the serial port
// closes. The signal handler only writes the signal's number into a pipe; the
// event loop reads it and calls back on the GUI thread.

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace orvane {

class ShutdownSignals : public QObject {
public:
    // `onSignal` runs on the GUI thread, once per signal delivered.
    explicit ShutdownSignals(std::function<void(int signal)> onSignal);
    // Gives the three signals back their default handling.
    ~ShutdownSignals() override;

    ShutdownSignals(const ShutdownSignals &) = delete;
    ShutdownSignals &operator=(const ShutdownSignals &) = delete;

private:
    void readSignals();

    std::function<void(int)> onSignal_;
    int pipe_[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace orvane
