#pragma once
// The simulated sky as the camera sees it: where the star field stands, in
// picture pixels, relative to where it stood at the start. The simulated mount
// moves it at its guide rate; the sky also drifts by itself (polar misalignment)
// and swings with the mount's periodic error. The simulated camera renders the
// star field shifted by offsetAt(t).

#include "star_field.h"

#include <QPointF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <vector>

namespace orvane {

struct SkyMotion {
    double driftXPxPerMin = 6.0;    // natural drift of the star image, pixels per minute
    double driftYPxPerMin = 8.0;
    double periodicErrorPx = 1.5;   // amplitude of the worm's periodic error along x, pixels
    double periodicErrorPeriodS = 480.0; // seconds per worm turn
    // Clouds that hide every star: from cloudStartS seconds after the sky's
    // start for cloudLengthS seconds (0: no cloud), and again every cloudEveryS
    // seconds after that (0: once; a period no longer than the cloud: overcast).
    double cloudStartS = 0.0;
    double cloudLengthS = 0.0;
    double cloudEveryS = 0.0;
    // A hard night's parts, all off by default.
    double periodicError2Px = 0.0;  // the periodic error's second harmonic (half the worm turn), pixels
    double wanderPxPerRootS = 0.0;  // random walk of the mount on each axis, pixels per root second
    double gustEveryS = 0.0;        // a wind gust on average this often, seconds (0: no gusts)
    double gustPx = 2.0;            // how far a gust pushes the star image at its height, pixels
    double gustLengthS = 2.0;       // how long a gust lasts, seconds
    uint32_t seed = 1957;           // the wander's and the gusts' random numbers

    // One documented hard night ([sky] preset=hard): periodic error 3 px over
    // 480 s with a 0.75 px harmonic, wander 0.1 px per root second, a 2 px gust
    // of 2 s about every 90 s; the drift as by default.
    static SkyMotion hardNight();
    // orvane.ini's [sky] group: the preset first, then each key given. A value
    // that is not a number in its range keeps the preset's and adds a note.
    static SkyMotion fromIni(const QString &iniPath, QStringList &notes);
};

// True when orvane.ini's [sky] preset names the hard night; `notes`, when given,
// is told of a preset that names no night.
bool hardSkyPreset(const QString &iniPath, QStringList *notes = nullptr);

// True while a cloud of `motion` hides the stars, `secondsSinceStart` after the sky's start.
bool cloudedAt(const SkyMotion &motion, double secondsSinceStart);

class SimSky {
public:
    SimSky(uint32_t startMs, SkyMotion motion = {});

    // The star image moves at this velocity (pixels per second) from nowMs on,
    // on top of the natural drift; (0, 0) when the mount only tracks.
    void setMountVelocity(double vxPxPerSec, double vyPxPerSec, uint32_t nowMs);
    QPointF mountVelocity() const { return {vx_, vy_}; }

    // Offset of the star field at clock time nowMs, pixels. Earlier times are
    // answered from the record of velocity changes (the simulated camera looks
    // back over an exposure at its read-out); the last kHistoryLimit changes are kept.
    QPointF offsetAt(uint32_t nowMs) const;
    // Share of the stars' light that reaches the camera at nowMs: 0 under a cloud, else 1.
    double transparencyAt(uint32_t nowMs) const;

    static constexpr size_t kHistoryLimit = 65536;
    static constexpr double kWanderStepS = 1.0; // the mount's wander takes a new random step this often

    const SkyMotion &motion() const { return motion_; }
    double secondsSinceStart(uint32_t nowMs) const;
    // The parts of the sky's own motion at `seconds` since its start, pixels.
    QPointF wanderAt(double seconds) const;
    QPointF gustAt(double seconds) const;

private:
    QPointF mountOffsetAt(uint32_t nowMs) const; // pixels, from mount motion alone

    // One velocity change: the mount offset reached then and the new velocity.
    struct Change {
        uint32_t sinceStartMs; // ms after startMs_
        double mountX, mountY; // pixels
        double vx, vy;         // pixels per second
    };

    SkyMotion motion_;
    uint32_t startMs_;
    // Mount offset accumulated up to the last velocity change.
    double mountX_ = 0, mountY_ = 0; // pixels
    uint32_t changedMs_;
    double vx_ = 0, vy_ = 0;         // pixels per second
    std::deque<Change> history_;     // earlier changes, oldest first (the current one excluded)
    // The wander at each whole kWanderStepS, made as far as asked so far.
    mutable std::vector<QPointF> wander_;
    mutable SplitMix wanderRandom_;
};

} // namespace orvane
