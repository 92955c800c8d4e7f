#pragma once
// "Process pending events once", the step every wait and loop of the program
// takes on each pass. Loops keep their order of steps but never spin: when no
// event is pending, a pass sleeps until the next event or the caller's due time.

#include "clock.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace orvane {

class EventPump {
public:
    virtual ~EventPump() = default;
    // One pass over the pending events; never sleeps.
    virtual void processEvents() = 0;
    // One pass; when nothing was pending, sleeps until an event arrives or the
    // clock reaches wakeAtMs (returns at once when that time has passed).
    virtual void processEventsOrSleep(uint32_t wakeAtMs) = 0;
    // One pass; when nothing was pending, sleeps until an event arrives.
    virtual void processEventsOrWait() = 0;
    // Sleeps until the clock reaches untilMs without running any event
    // (the window does not respond meanwhile).
    virtual void sleepWithoutEvents(uint32_t untilMs) = 0;
};

// The pump of the running program: passes of Qt's event loop on the GUI thread.
class QtEventPump : public EventPump {
public:
    explicit QtEventPump(Clock &clock) : clock_(clock) {}
    void processEvents() override;
    void processEventsOrSleep(uint32_t wakeAtMs) override;
    void processEventsOrWait() override;
    void sleepWithoutEvents(uint32_t untilMs) override;

private:
    Clock &clock_;
};

// A pump on a simulated clock. Scripted actions (a click at t = 1234 ms, Stop at
// t = 5000 ms) are the only events; a pass that finds none due moves the clock
// straight to the next action or the caller's due time. A wait for an event
// that no script will ever deliver throws instead of hanging the test.
class SimEventPump : public EventPump {
public:
    explicit SimEventPump(SimClock &clock) : clock_(clock) {}

    // Runs `action` in the first pass at or after clock time atMs.
    void at(uint32_t atMs, std::function<void()> action);
    // Runs `action` in the pass after `passes` more passes (0 = the next pass),
    // whatever the time: for "during the read-out" style scripts.
    void afterPasses(int passes, std::function<void()> action);
    // Milliseconds every pass costs (default 0): models a slow event loop.
    void setPassCostMs(uint32_t ms) { passCostMs_ = ms; }

    int passes() const { return passes_; }
    int sleeps() const { return sleeps_; }
    bool idle() const { return timed_.empty() && counted_.empty(); }

    void processEvents() override;
    void processEventsOrSleep(uint32_t wakeAtMs) override;
    void processEventsOrWait() override;
    void sleepWithoutEvents(uint32_t untilMs) override;

private:
    bool runDue();                 // true when any action ran
    bool nextActionTime(uint32_t &atMs) const;

    SimClock &clock_;
    struct Timed {
        uint32_t atMs;
        uint64_t order; // keeps actions due at the same time in scheduling order
        std::function<void()> action;
    };
    struct Counted {
        int passesLeft;
        std::function<void()> action;
    };
    std::vector<Timed> timed_;
    std::vector<Counted> counted_;
    uint64_t order_ = 0;
    uint32_t passCostMs_ = 0;
    int passes_ = 0;
    int sleeps_ = 0;
};

} // namespace orvane
