#pragma once
// The simulated mount: reads the LX200-style byte stream as a real mount does
// and moves the simulated sky at its own true guide rate, along axes turned by
// the camera's angle on the telescope. Wrong direction letters or a wrong
// pixels-per-second setting thus show up as bad guiding, as on a real telescope.

#include "clock.h"
#include "sky.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace orvane {

struct SimMountOptions {
    double guideRatePxPerSec = 5.0; // star image speed at guide rate, pixels per second
    double cameraAngleDeg = 0.0;    // camera turned on the telescope, degrees

    // Reads group [mount] of orvane.ini (guideRatePxPerSec, cameraAngleDeg). A
    // missing file or key gives the default; a value that is not a usable number
    // gives the default too, and `problem` (when given) receives a sentence
    // naming the file, the key and the value.
    static SimMountOptions fromIni(const QString &iniPath, QString *problem = nullptr);
};

class SimMount {
public:
    // Slew rates as multiples of the guide rate.
    static constexpr double kCenteringRate = 8;
    static constexpr double kFindRate = 64;
    static constexpr double kSlewRate = 400;
    static constexpr char kAck = 0x06;
    static constexpr int kLongestCommand = 32; // bytes between ':' and '#'

    SimMount(SimSky &sky, Clock &clock, SimMountOptions options = {});

    // Bytes as they arrive on the line, in pieces of any size.
    void receive(const QByteArray &bytes);
    // What the mount has sent back since the last call.
    QByteArray takeReplies();

    // Rate multiple selected now (1 = guide rate).
    double rateMultiple() const { return rate_; }
    // True while the mount moves in that direction ('n', 's', 'e', 'w').
    bool moving(char direction) const;
    // Commands carried out so far (":" and "#" stripped), for tests and the display.
    int commandCount() const { return commands_; }
    const SimMountOptions &options() const { return options_; }

private:
    void execute(const QByteArray &word);
    void applyVelocity();
    // ":Mg<d><ms>#": moves that way at guide rate for that many ms (whatever
    // rate is selected), timed by the mount. Plans the sky's velocity to each
    // pulse's end at once, so while pulses run every other command (and a
    // further pulse) is ignored; the program sends the next ones after they end.
    void executePulse(const QByteArray &word);
    bool pulsing() const; // a pulse runs now
    void planPulses();

    SimSky &sky_;
    Clock &clock_;
    SimMountOptions options_;
    QByteArray command_;   // bytes after ':' so far
    bool inCommand_ = false;
    QByteArray replies_;
    double rate_ = 1;
    std::array<bool, 4> moving_{}; // n, s, e, w
    int commands_ = 0;
    std::array<uint32_t, 4> pulseEndsMs_{}; // n, s, e, w: clock ms each last pulse ends
    bool newPulses_ = false;                // pulses arrived in this write, not yet planned
};

} // namespace orvane
