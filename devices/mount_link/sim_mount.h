#pragma once
// The simulated mount: reads the LX200-style byte stream as a real mount does
// and moves the simulated sky at its own true guide rates, along axes turned by
// the camera's angle on the telescope (and mirrored by a star diagonal). Wrong
// direction letters or a wrong pixels-per-second setting thus show up as bad
// guiding, as on a real telescope; so do declination backlash and a mount that
// maps the letters the other way round.

#include "clock.h"
#include "sky.h"

#include <QByteArray>
#include <QPointF>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace orvane {

struct SimMountOptions {
    double guideRatePxPerSec = 5.0; // star image speed at guide rate, pixels per second
    double cameraAngleDeg = 0.0;    // camera turned on the telescope, degrees
    std::optional<double> raRatePxPerSec{};  // along the RA axis (letters e, w); unset: guideRatePxPerSec
    std::optional<double> decRatePxPerSec{}; // along the Dec axis (letters n, s); unset: guideRatePxPerSec
    bool mirrored = false;          // a star diagonal: the picture's Dec axis is flipped
    double decSkewDeg = 0;          // the Dec axis turned this far from square to the RA axis, degrees
    double decBacklashMs = 0;       // after a Dec reversal the axis stands still this long, ms
    bool swapNS = false;            // the mount moves north for 's' and south for 'n'
    bool swapEW = false;            // and east for 'w', west for 'e'

    // Reads group [mount] of orvane.ini (guideRatePxPerSec, raRatePxPerSec,
    // decRatePxPerSec, cameraAngleDeg, mirrored, decSkewDeg, decBacklashMs,
    // swapNS, swapEW);
    // the two axis rates default to guideRatePxPerSec. A missing file or key
    // gives the default; a value that is not a usable number or not true/false
    // gives the default too, and `problem` (when given) receives a sentence
    // naming the file, the key and the value.
    static SimMountOptions fromIni(const QString &iniPath, QString *problem = nullptr);
    // As above, one sentence per refused value.
    static SimMountOptions fromIni(const QString &iniPath, QStringList &problems);

    // [sky] preset=hard: the hard night's Dec backlash, ms.
    static constexpr double kHardNightDecBacklashMs = 1500;
    static SimMountOptions hardNight()
    {
        SimMountOptions o;
        o.decBacklashMs = kHardNightDecBacklashMs;
        return o;
    }

    double raRate() const { return raRatePxPerSec.value_or(guideRatePxPerSec); }   // pixels per second
    double decRate() const { return decRatePxPerSec.value_or(guideRatePxPerSec); } // pixels per second
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
    void takeUpPulseSlack(uint32_t now, std::array<uint32_t, 4> &starts);
    // Tells the sky of a Dec axis that engaged since the last command.
    void settleBacklash();
    // Star image velocity of the letters moving now, pixels per second; the Dec
    // part only once `decEngaged`.
    QPointF velocity(bool decEngaged) const;
    // +1 while the mount drives north, -1 south, 0 when Dec rests.
    int decDirection() const;

    SimSky &sky_;
    Clock &clock_;
    SimMountOptions options_;
    QByteArray command_;   // bytes after ':' so far
    bool inCommand_ = false;
    QByteArray replies_;
    double rate_ = 1;
    std::array<bool, 4> moving_{}; // n, s, e, w, as the letters were sent
    int commands_ = 0;
    std::array<uint32_t, 4> pulseEndsMs_{}; // n, s, e, w: clock ms each last pulse ends
    bool newPulses_ = false;                // pulses arrived in this write, not yet planned
    // Declination backlash: the gears last pushed north (+1) or south (-1), the
    // slack still to take up before the axis moves, and when the axis engages.
    int decDir_ = 0;             // as it was at the last command
    int gearDir_ = 0;
    double slackLeftMs_ = 0;
    uint32_t decStartMs_ = 0;    // clock ms the current Dec drive began
    bool engagePending_ = false; // Dec drives but the slack was not taken up at the last command

};

} // namespace orvane
