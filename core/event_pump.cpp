#include "event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <stdexcept>
#include <thread>

namespace orvane {

void QtEventPump::processEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventPump::processEventsOrSleep(uint32_t wakeAtMs)
{
    const int32_t leftMs = elapsedMs(clock_.now(), wakeAtMs);
    if (leftMs <= 0) {
        processEvents();
        return;
    }
    // The timer bounds the sleep: WaitForMoreEvents runs what is pending and,
    // when nothing is, blocks until the next event (the timer's at the latest).
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(leftMs);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtEventPump::processEventsOrWait()
{
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void QtEventPump::sleepWithoutEvents(uint32_t untilMs)
{
    const int32_t leftMs = elapsedMs(clock_.now(), untilMs);
    if (leftMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(leftMs));
}

void SimEventPump::at(uint32_t atMs, std::function<void()> action)
{
    timed_.push_back({atMs, order_++, std::move(action)});
}

void SimEventPump::afterPasses(int passes, std::function<void()> action)
{
    counted_.push_back({passes, std::move(action)});
}

bool SimEventPump::runDue()
{
    ++passes_;
    bool ran = false;
    // Counted actions: take out the due ones first, so an action may schedule more.
    std::vector<std::function<void()>> due;
    for (auto it = counted_.begin(); it != counted_.end();) {
        if (it->passesLeft <= 0) {
            due.push_back(std::move(it->action));
            it = counted_.erase(it);
        } else {
            --it->passesLeft;
            ++it;
        }
    }
    const uint32_t now = clock_.now();
    std::vector<Timed> dueTimed;
    for (auto it = timed_.begin(); it != timed_.end();) {
        if (reached(now, it->atMs)) {
            dueTimed.push_back(std::move(*it));
            it = timed_.erase(it);
        } else {
            ++it;
        }
    }
    std::sort(dueTimed.begin(), dueTimed.end(), [now](const Timed &a, const Timed &b) {
        const int32_t ea = elapsedMs(a.atMs, now), eb = elapsedMs(b.atMs, now);
        return ea != eb ? ea > eb : a.order < b.order;
    });
    for (auto &t : dueTimed)
        due.push_back(std::move(t.action));
    for (auto &action : due) {
        action();
        ran = true;
    }
    clock_.advance(passCostMs_);
    return ran;
}

bool SimEventPump::nextActionTime(uint32_t &atMs) const
{
    if (timed_.empty())
        return false;
    const uint32_t now = clock_.now();
    auto soonest = std::min_element(timed_.begin(), timed_.end(), [now](const Timed &a, const Timed &b) {
        return elapsedMs(now, a.atMs) < elapsedMs(now, b.atMs);
    });
    atMs = soonest->atMs;
    return true;
}

void SimEventPump::processEvents()
{
    runDue();
}

void SimEventPump::processEventsOrSleep(uint32_t wakeAtMs)
{
    if (runDue() || !counted_.empty())
        return;
    const uint32_t now = clock_.now();
    if (reached(now, wakeAtMs))
        return;
    uint32_t target = wakeAtMs;
    uint32_t actionAt = 0;
    if (nextActionTime(actionAt) && elapsedMs(now, actionAt) < elapsedMs(now, target))
        target = reached(now, actionAt) ? now : actionAt;
    ++sleeps_;
    clock_.set(target);
}

void SimEventPump::processEventsOrWait()
{
    if (runDue() || !counted_.empty())
        return;
    uint32_t actionAt = 0;
    if (!nextActionTime(actionAt))
        throw std::logic_error("simulated pump: waiting for an event that no script delivers");
    ++sleeps_;
    if (!reached(clock_.now(), actionAt))
        clock_.set(actionAt);
}

void SimEventPump::sleepWithoutEvents(uint32_t untilMs)
{
    if (!reached(clock_.now(), untilMs)) {
        ++sleeps_;
        clock_.set(untilMs);
    }
}

} // namespace orvane
