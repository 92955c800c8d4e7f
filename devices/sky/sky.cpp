#include "sky.h"

#include "ini_values.h"
#include "star_field.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

namespace orvane {

namespace {
constexpr double kHarmonicPhaseRad = 0.9; // the second harmonic's phase against the first
constexpr uint64_t kWanderStream = 0x57A9D3E1ull, kGustStream = 0x6A57C0DEull; // one random stream each
} // namespace

SimSky::SimSky(uint32_t startMs, SkyMotion motion)
    : motion_(motion), startMs_(startMs), changedMs_(startMs),
      wanderRandom_(uint64_t(motion.seed) ^ kWanderStream)
{
}

SkyMotion SkyMotion::hardNight()
{
    SkyMotion m;
    m.periodicErrorPx = 3.0;
    m.periodicErrorPeriodS = 480.0;
    m.periodicError2Px = 0.75;
    m.wanderPxPerRootS = 0.1;
    m.gustEveryS = 90.0;
    m.gustPx = 2.0;
    m.gustLengthS = 2.0;
    return m;
}

bool hardSkyPreset(const QString &iniPath, QStringList *notes)
{
    QStringList unused;
    IniValues ini = IniValues::read(iniPath, notes ? *notes : unused);
    return ini.word("sky", "preset", QStringLiteral("none")).value_or(0) == 1;
}

SkyMotion SkyMotion::fromIni(const QString &iniPath, QStringList &notes)
{
    SkyMotion motion = hardSkyPreset(iniPath, &notes) ? hardNight() : SkyMotion{};
    IniValues ini = IniValues::read(iniPath, notes);
    double seed = motion.seed;
    for (auto [key, value] : {std::pair{"driftXPxPerMin", &motion.driftXPxPerMin},
                              std::pair{"driftYPxPerMin", &motion.driftYPxPerMin},
                              std::pair{"periodicErrorPx", &motion.periodicErrorPx},
                              std::pair{"periodicErrorPeriodS", &motion.periodicErrorPeriodS},
                              std::pair{"periodicError2Px", &motion.periodicError2Px},
                              std::pair{"wanderPxPerRootS", &motion.wanderPxPerRootS},
                              std::pair{"gustEveryS", &motion.gustEveryS},
                              std::pair{"gustPx", &motion.gustPx},
                              std::pair{"gustLengthS", &motion.gustLengthS},
                              std::pair{"seed", &seed},
                              std::pair{"cloudStartS", &motion.cloudStartS},
                              std::pair{"cloudLengthS", &motion.cloudLengthS},
                              std::pair{"cloudEveryS", &motion.cloudEveryS}})
        *value = ini.number("sky", key, QString::number(*value)).value_or(*value);
    motion.seed = uint32_t(std::llround(seed));
    return motion;
}

QPointF SimSky::wanderAt(double seconds) const
{
    if (motion_.wanderPxPerRootS <= 0 || seconds <= 0)
        return {};
    const double steps = seconds / kWanderStepS;
    const size_t whole = size_t(steps);
    const double stepSigma = motion_.wanderPxPerRootS * std::sqrt(kWanderStepS); // pixels per step, each axis
    if (wander_.empty())
        wander_.push_back({});
    while (wander_.size() < whole + 2) {
        const double dx = wanderRandom_.gaussian(), dy = wanderRandom_.gaussian();
        wander_.push_back(wander_.back() + stepSigma * QPointF(dx, dy));
    }
    const double within = steps - double(whole);
    return wander_[whole] * (1 - within) + wander_[whole + 1] * within;
}

QPointF SimSky::gustAt(double seconds) const
{
    const double every = motion_.gustEveryS, length = motion_.gustLengthS;
    if (every <= 0 || length <= 0 || motion_.gustPx == 0 || seconds < 0)
        return {};
    // One gust in each interval of gustEveryS, at a random moment of it and in a
    // random direction; it swells to gustPx and falls back as a raised cosine.
    QPointF push;
    const int64_t slot = int64_t(seconds / every);
    for (int64_t k = std::max<int64_t>(0, slot - int64_t(std::ceil(length / every))); k <= slot; ++k) {
        SplitMix random((uint64_t(motion_.seed) ^ kGustStream) * 0x9E3779B97F4A7C15ull + uint64_t(k));
        const double start = (double(k) + random.uniform()) * every;
        const double angle = 2 * std::numbers::pi * random.uniform();
        const double into = (seconds - start) / length;
        if (into <= 0 || into >= 1)
            continue;
        const double height = motion_.gustPx * 0.5 * (1 - std::cos(2 * std::numbers::pi * into));
        push += height * QPointF(std::cos(angle), std::sin(angle));
    }
    return push;
}

double SimSky::secondsSinceStart(uint32_t nowMs) const
{
    // Unsigned difference: right for up to 49.7 days of simulated time.
    return double(uint32_t(nowMs - startMs_)) / 1000.0;
}

void SimSky::setMountVelocity(double vxPxPerSec, double vyPxPerSec, uint32_t nowMs)
{
    const double dt = double(uint32_t(nowMs - changedMs_)) / 1000.0; // seconds
    history_.push_back({uint32_t(changedMs_ - startMs_), mountX_, mountY_, vx_, vy_});
    if (history_.size() > kHistoryLimit)
        history_.pop_front();
    mountX_ += vx_ * dt;
    mountY_ += vy_ * dt;
    vx_ = vxPxPerSec;
    vy_ = vyPxPerSec;
    changedMs_ = nowMs;
}

QPointF SimSky::mountOffsetAt(uint32_t nowMs) const
{
    const uint32_t sinceStart = uint32_t(nowMs - startMs_);
    const uint32_t changedSinceStart = uint32_t(changedMs_ - startMs_);
    if (sinceStart >= changedSinceStart || history_.empty()) {
        const double dt = (double(sinceStart) - double(changedSinceStart)) / 1000.0; // seconds
        return {mountX_ + vx_ * dt, mountY_ + vy_ * dt};
    }
    // The last change at or before nowMs; before the oldest kept one, that one
    // is extended backwards.
    auto after = std::upper_bound(history_.begin(), history_.end(), sinceStart,
                                  [](uint32_t t, const Change &c) { return t < c.sinceStartMs; });
    const Change &c = after == history_.begin() ? history_.front() : *std::prev(after);
    const double dt = (double(sinceStart) - double(c.sinceStartMs)) / 1000.0; // seconds
    return {c.mountX + c.vx * dt, c.mountY + c.vy * dt};
}

QPointF SimSky::offsetAt(uint32_t nowMs) const
{
    const double t = secondsSinceStart(nowMs);
    const QPointF mount = mountOffsetAt(nowMs);
    const double turn = motion_.periodicErrorPeriodS > 0 ? 2 * std::numbers::pi * t / motion_.periodicErrorPeriodS : 0.0;
    double pe = motion_.periodicErrorPeriodS > 0 ? motion_.periodicErrorPx * std::sin(turn) : 0.0;
    if (motion_.periodicError2Px != 0 && motion_.periodicErrorPeriodS > 0)
        pe += motion_.periodicError2Px * std::sin(2 * turn + kHarmonicPhaseRad);
    QPointF offset(mount.x() + motion_.driftXPxPerMin * t / 60.0 + pe, mount.y() + motion_.driftYPxPerMin * t / 60.0);
    if (motion_.wanderPxPerRootS > 0)
        offset += wanderAt(t);
    if (motion_.gustEveryS > 0)
        offset += gustAt(t);
    return offset;
}

double SimSky::transparencyAt(uint32_t nowMs) const
{
    return cloudedAt(motion_, secondsSinceStart(nowMs)) ? 0.0 : 1.0;
}

bool cloudedAt(const SkyMotion &motion, double secondsSinceStart)
{
    if (motion.cloudLengthS <= 0 || secondsSinceStart < motion.cloudStartS)
        return false;
    double intoCloud = secondsSinceStart - motion.cloudStartS; // seconds since the last cloud came
    if (motion.cloudEveryS > 0)
        intoCloud = std::fmod(intoCloud, motion.cloudEveryS);
    return intoCloud < motion.cloudLengthS;
}

} // namespace orvane
