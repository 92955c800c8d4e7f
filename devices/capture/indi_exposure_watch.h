#pragma once
// How long the exposure byte was held, learnt from the printer-port bytes an
// INDI camera watches (the bytes themselves switch nothing on the server).
// With one camera every read-out takes the time held since the previous frame
// copy. With a guide camera beside it the two read-outs count apart: an image
// read-out closes the whole time held since the previous image read-out, a
// guide read-out the time held since the previous read-out of either kind
// (a guide frame exposes one guide interval, whatever the long exposure does).

#include "port_io.h"
#include "settings.h"

#include <cstdint>

namespace orvane {

enum class IndiReadout { None, Image, Guide };

class IndiExposureWatch {
public:
    explicit IndiExposureWatch(const Settings &settings) : settings_(settings) {}

    void onWrite(const PortWrite &write);

    // One camera for both read-outs: the time held up to `nowMs`, s; the count starts again.
    double takeSeconds(uint32_t nowMs);

    // The read-out byte that came last (an image read-out when both share one byte).
    IndiReadout lastReadout() const { return last_; }
    // The time the last image read-out closed, s.
    double imageSeconds() const { return double(imageClosedMs_) / 1000.0; }
    // The time the last guide read-out closed, s.
    double guideSeconds() const { return double(guideClosedMs_) / 1000.0; }

private:
    void addHeld(int64_t ms);

    const Settings &settings_;
    bool exposing_ = false;
    uint32_t sinceMs_ = 0;          // clock ms the exposure byte came
    int64_t sinceCopyMs_ = 0;       // held since the last frame copy (one camera)
    int64_t sinceImageMs_ = 0;      // held since the last image read-out byte
    int64_t sinceReadoutMs_ = 0;    // held since the last read-out byte of either kind
    int64_t imageClosedMs_ = 0;
    int64_t guideClosedMs_ = 0;
    IndiReadout last_ = IndiReadout::None;
};

} // namespace orvane
