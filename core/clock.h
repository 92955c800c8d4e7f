#pragma once
// The millisecond clock: a wrapping 32-bit count of milliseconds, like the
// system's uptime counter. Every difference between two readings is computed
// wrap-safe (elapsedMs, reached), so waits end after their delay at any uptime.

#include <cstdint>

namespace orvane {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, wrapping at 2^32.
    virtual uint32_t now() = 0;
    // UTC in milliseconds since 1970-01-01 of a reading `clockMs` taken within
    // the last 24 days: the system's time now, less the milliseconds since then.
    virtual int64_t utcMs(uint32_t clockMs);
};

// Milliseconds from `from` to `to`, as a signed 32-bit difference (wrap-safe).
inline int32_t elapsedMs(uint32_t from, uint32_t to)
{
    return static_cast<int32_t>(to - from);
}

// True once `now` is at or after `deadline` (wrap-safe, within +-24.8 days).
inline bool reached(uint32_t now, uint32_t deadline)
{
    return elapsedMs(deadline, now) >= 0;
}

// The system's monotonic clock in milliseconds.
class SteadyClock : public Clock {
public:
    uint32_t now() override;
};

// A clock that moves only when told to; tests and the simulated pump drive it.
class SimClock : public Clock {
public:
    explicit SimClock(uint32_t startMs = 0) : nowMs_(startMs) {}
    uint32_t now() override { return nowMs_; }
    // UTC of a reading: kUtcAtZeroMs plus the reading, so every run is the same night.
    int64_t utcMs(uint32_t clockMs) override { return kUtcAtZeroMs + int64_t(clockMs); }
    static constexpr int64_t kUtcAtZeroMs = 1710018000000; // ms since 1970: 2024-03-09T21:00:00Z
    void set(uint32_t ms) { nowMs_ = ms; }
    void advance(uint32_t ms) { nowMs_ += ms; }

private:
    uint32_t nowMs_;
};

} // namespace orvane
