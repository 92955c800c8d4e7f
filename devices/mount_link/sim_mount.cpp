#include "sim_mount.h"

#include "ini_values.h"

#include <algorithm>
#include <cmath>
#include <vector>
#include <numbers>

namespace orvane {

namespace {

constexpr char kDirections[4] = {'n', 's', 'e', 'w'};

// Star image motion per direction at camera angle 0, in units of the axis rate.
// Chosen so that the default letters (up n, down s, left e, right w) correct a drift.
constexpr double kDirX[4] = {0, 0, -1, +1};
constexpr double kDirY[4] = {+1, -1, 0, 0};
constexpr int kNorth = 0, kSouth = 1, kEast = 2, kWest = 3;

int directionIndex(char letter)
{
    for (int i = 0; i < 4; ++i)
        if (kDirections[i] == letter)
            return i;
    return -1;
}

} // namespace

SimMountOptions SimMountOptions::fromIni(const QString &iniPath, QString *problem)
{
    QStringList problems;
    SimMountOptions options = fromIni(iniPath, problems);
    if (problem)
        *problem = problems.join(QLatin1Char(' '));
    return options;
}

SimMountOptions SimMountOptions::fromIni(const QString &iniPath, QStringList &problems)
{
    // The preset is told by the sky's reader when it names no night.
    SimMountOptions options = hardSkyPreset(iniPath) ? hardNight() : SimMountOptions{};
    IniValues ini = IniValues::read(iniPath, problems);
    const auto number = [&](const char *key, double &into) {
        into = ini.number("mount", key, QString::number(into)).value_or(into);
    };
    const auto tick = [&](const char *key, bool &into) {
        into = ini.truth("mount", key, into ? QStringLiteral("true") : QStringLiteral("false")).value_or(into);
    };
    number("guideRatePxPerSec", options.guideRatePxPerSec);
    // Each axis follows guideRatePxPerSec unless it has a rate of its own.
    options.raRatePxPerSec = ini.number("mount", "raRatePxPerSec", QString::number(options.guideRatePxPerSec));
    options.decRatePxPerSec = ini.number("mount", "decRatePxPerSec", QString::number(options.guideRatePxPerSec));
    number("cameraAngleDeg", options.cameraAngleDeg);
    tick("mirrored", options.mirrored);
    number("decSkewDeg", options.decSkewDeg);
    number("decBacklashMs", options.decBacklashMs);
    tick("swapNS", options.swapNS);
    tick("swapEW", options.swapEW);
    return options;
}

SimMount::SimMount(SimSky &sky, Clock &clock, SimMountOptions options)
    : sky_(sky), clock_(clock), options_(options)
{
}

void SimMount::receive(const QByteArray &bytes)
{
    for (const char byte : bytes) {
        if (byte == kAck) {
            // The alignment query: answered at once, wherever it arrives. A
            // command it interrupts was garbled and is dropped.
            replies_.append('P');
            inCommand_ = false;
            command_.clear();
        } else if (byte == ':') {
            // A new command starts; an unfinished one before it is dropped.
            inCommand_ = true;
            command_.clear();
        } else if (!inCommand_) {
            // Noise between commands.
        } else if (byte == '#') {
            inCommand_ = false;
            execute(command_);
            command_.clear();
        } else if (command_.size() >= kLongestCommand) {
            inCommand_ = false; // garbage: wait for the next ':'
            command_.clear();
        } else {
            command_.append(byte);
        }
    }
    if (newPulses_)
        planPulses(); // the pulses of one write start together
}

QByteArray SimMount::takeReplies()
{
    return std::exchange(replies_, {});
}

bool SimMount::moving(char direction) const
{
    const int i = directionIndex(direction);
    return i >= 0 && moving_[i];
}

void SimMount::execute(const QByteArray &word)
{
    settleBacklash();
    if (word == "GR" || word == "GD") { // where it points: a fixed place in the sky (M 42)
        replies_.append(word == "GR" ? "05:35:17#" : "-05*23:28#");
        return;
    }
    if (word.startsWith("Mg") || pulsing()) {
        executePulse(word);
        return;
    }
    if (word.size() == 2 && word[0] == 'R') {
        switch (word[1]) {
        case 'G': rate_ = 1; break;
        case 'C': rate_ = kCenteringRate; break;
        case 'M': rate_ = kFindRate; break;
        case 'S': rate_ = kSlewRate; break;
        default: return;
        }
    } else if (word.size() == 2 && (word[0] == 'M' || word[0] == 'Q') && directionIndex(word[1]) >= 0) {
        moving_[directionIndex(word[1])] = word[0] == 'M';
    } else if (word == "Q") {
        moving_.fill(false);
    } else {
        return; // a command this mount does not know
    }
    ++commands_;
    applyVelocity();
}

bool SimMount::pulsing() const
{
    const uint32_t now = clock_.now();
    return std::any_of(pulseEndsMs_.begin(), pulseEndsMs_.end(), [now](uint32_t end) { return int32_t(end - now) > 0; });
}

void SimMount::executePulse(const QByteArray &word)
{
    // "Mg" + direction + five digits of ms. While pulses run, the sky's motion is
    // planned to their end: this mount takes no other command until then.
    if (!word.startsWith("Mg"))
        return;
    bool ok = false;
    const int index = word.size() == 8 ? directionIndex(word[2]) : -1;
    const int ms = word.mid(3).toInt(&ok);
    const uint32_t now = clock_.now();
    if (index < 0 || !ok || ms < 0)
        return;
    for (uint32_t end : pulseEndsMs_)
        if (!newPulses_ && int32_t(end - now) > 0)
            return; // pulses sent earlier still run: this mount does not stack them
    ++commands_;
    pulseEndsMs_[size_t(index)] = now + uint32_t(ms);
    newPulses_ = true;
}

void SimMount::planPulses()
{
    newPulses_ = false;
    const uint32_t now = clock_.now();
    std::array<uint32_t, 4> starts; // clock ms each pulse starts moving its axis
    starts.fill(now);
    takeUpPulseSlack(now, starts);
    // The sky is told the whole plan now: the velocity of the directions that
    // pulse (at guide rate, over any continuous move) from each start to each end.
    const std::array<bool, 4> steady = moving_;
    const double steadyRate = rate_;
    auto velocityWith = [&](uint32_t at) {
        for (size_t i = 0; i < 4; ++i)
            moving_[i] = steady[i] || (reached(at, starts[i]) && int32_t(pulseEndsMs_[i] - at) > 0);
        rate_ = 1;
        return velocity(true); // the Dec slack is in the starts
    };
    std::vector<uint32_t> changes{now};
    for (size_t i = 0; i < 4; ++i)
        if (int32_t(pulseEndsMs_[i] - now) > 0)
            changes.insert(changes.end(), {starts[i], pulseEndsMs_[i]});
    std::sort(changes.begin(), changes.end(), [now](uint32_t a, uint32_t b) { return int32_t(a - now) < int32_t(b - now); });
    changes.erase(std::unique(changes.begin(), changes.end()), changes.end());
    std::vector<QPointF> velocities;
    for (uint32_t at : changes)
        velocities.push_back(velocityWith(at));
    moving_ = steady;
    rate_ = steadyRate;
    for (size_t i = 0; i < changes.size(); ++i)
        sky_.setMountVelocity(velocities[i].x(), velocities[i].y(), changes[i]);
}

void SimMount::takeUpPulseSlack(uint32_t now, std::array<uint32_t, 4> &starts)
{
    // A Dec pulse that reverses the gears moves nothing until their slack is
    // taken up, as a continuous drive would (a running Dec drive holds them).
    if (decDir_ != 0)
        return;
    const int north = options_.swapNS ? kSouth : kNorth, south = options_.swapNS ? kNorth : kSouth;
    const int dec = int(int32_t(pulseEndsMs_[north] - now) > 0) - int(int32_t(pulseEndsMs_[south] - now) > 0);
    if (dec == 0)
        return;
    if (gearDir_ != 0 && dec != gearDir_)
        slackLeftMs_ = std::clamp(options_.decBacklashMs - slackLeftMs_, 0.0, options_.decBacklashMs);
    gearDir_ = dec;
    const int index = dec > 0 ? north : south;
    const double slackMs = std::min(slackLeftMs_, double(elapsedMs(now, pulseEndsMs_[index])));
    starts[index] = now + uint32_t(std::lround(slackMs));
    slackLeftMs_ -= slackMs;
}

int SimMount::decDirection() const
{
    const bool north = moving_[options_.swapNS ? kSouth : kNorth];
    const bool south = moving_[options_.swapNS ? kNorth : kSouth];
    return int(north) - int(south);
}

QPointF SimMount::velocity(bool decEngaged) const
{
    // The axes' own motion, in pixels per second at camera angle 0.
    const int ra = int(moving_[options_.swapEW ? kEast : kWest]) - int(moving_[options_.swapEW ? kWest : kEast]);
    const int dec = decEngaged ? decDirection() : 0;
    const double decPxPerSec = dec * kDirY[kNorth] * options_.decRate();
    const double skew = options_.decSkewDeg * std::numbers::pi / 180.0;
    const double x = ra * kDirX[kWest] * options_.raRate() - decPxPerSec * std::sin(skew);
    double y = decPxPerSec * std::cos(skew);
    if (options_.mirrored)
        y = -y;
    const double angle = options_.cameraAngleDeg * std::numbers::pi / 180.0;
    const double c = std::cos(angle), s = std::sin(angle);
    return QPointF(x * c - y * s, x * s + y * c) * rate_;
}

void SimMount::settleBacklash()
{
    // The slack was taken up since the last command: the axis engaged in
    // between, which the sky learns now, at the moment it happened, with the
    // letters that drove until now.
    const uint32_t engageMs = decStartMs_ + uint32_t(slackLeftMs_);
    if (!engagePending_ || !reached(clock_.now(), engageMs))
        return;
    const QPointF engaged = velocity(true);
    sky_.setMountVelocity(engaged.x(), engaged.y(), engageMs);
    slackLeftMs_ = 0;
    engagePending_ = false;
}

void SimMount::applyVelocity()
{
    const uint32_t now = clock_.now();
    const int dec = decDirection();
    if (dec != decDir_) {
        if (decDir_ != 0) { // the slack the ended drive took up (settleBacklash saw any engagement)
            slackLeftMs_ = std::max(0.0, slackLeftMs_ - double(elapsedMs(decStartMs_, now)));
            engagePending_ = false;
        }
        if (dec != 0) {
            if (gearDir_ != 0 && dec != gearDir_) // a reversal: the slack taken so far is to cross again
                slackLeftMs_ = std::clamp(options_.decBacklashMs - slackLeftMs_, 0.0, options_.decBacklashMs);
            gearDir_ = dec;
            decStartMs_ = now;
            engagePending_ = slackLeftMs_ > 0;
        }
        decDir_ = dec;
    }
    const QPointF v = velocity(dec != 0 && !engagePending_);
    if (v.x() != sky_.mountVelocity().x() || v.y() != sky_.mountVelocity().y())
        sky_.setMountVelocity(v.x(), v.y(), now);
}

} // namespace orvane
