#pragma once
// The adjustable controls of a webcam (brightness, contrast, gain, exposure,
// ...) as the device describes them (QUERYCTRL, QUERYMENU), with their values
// now (G_CTRL). Only kinds a dialog can show are listed: whole numbers, on/off,
// menus and buttons.

#include "v4l2_io.h"

#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

namespace orvane {

struct V4l2Control {
    enum class Kind { Integer, Boolean, Menu, Button };
    uint32_t id = 0;
    Kind kind = Kind::Integer;
    QString name;
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t step = 1;
    int32_t defaultValue = 0;
    int32_t value = 0;
    bool readOnly = false;
    bool inactive = false; // e.g. manual exposure while automatic exposure is on
    bool updatesOthers = false; // changing it can change other controls' flags
    std::vector<std::pair<int32_t, QString>> menu; // value and text of each menu entry
};

// The device's controls in the device's order; `error` is 0 or the -errno
// that stopped the listing (the controls found before it are kept).
std::vector<V4l2Control> enumerateV4l2Controls(V4l2Io &io, int fd, int &error);

// Re-reads the flags and value of one control; -errno on failure.
int refreshV4l2Control(V4l2Io &io, int fd, V4l2Control &control);

} // namespace orvane
