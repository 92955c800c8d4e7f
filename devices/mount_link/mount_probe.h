#pragma once
// The mount's presence probe on request (Options' "Test mount"): the one ACK
// byte the sequence sends, on a comm port opened through the program's serial
// opener, and whatever comes back within 200 ms of the program's clock. It
// never blocks: a timer looks for the answer, and the outcome comes as one
// sentence through `finished`.

#include "clock.h"
#include "serial_link.h"

#include <QObject>
#include <QTimer>

#include <memory>

namespace orvane {

class MountProbe : public QObject {
    Q_OBJECT
public:
    static constexpr uint32_t kAnswerWithinMs = 200; // as the sequence's probe
    static constexpr int kLookEveryMs = 20;          // an answer is told this soon after it came

    MountProbe(SerialOpener &opener, Clock &clock, QObject *parent = nullptr);

    // Opens `commPort`, sends the probe and returns; the outcome follows through
    // `finished` (at once when the port cannot be opened or written).
    // `device`, when given, is the device picked for the port but not yet stored.
    void start(int16_t commPort, const QString &device = {});
    bool running() const { return link_ != nullptr; }
    // Looks for the answer; the timer calls it, tests too after moving the clock.
    void check();

signals:
    void finished(const QString &sentence);

private:
    void finish(const QString &sentence);

    SerialOpener &opener_;
    Clock &clock_;
    std::unique_ptr<SerialConnection> link_;
    QString where_; // "Comm port 1 (/dev/ttyS0)"
    uint32_t deadlineMs_ = 0;
    QTimer timer_;
};

} // namespace orvane
