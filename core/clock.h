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
    void set(uint32_t ms) { nowMs_ = ms; }
    void advance(uint32_t ms) { nowMs_ += ms; }

private:
    uint32_t nowMs_;
};

} // namespace orvane
