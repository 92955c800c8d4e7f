#pragma once
// The Camera menu's Format, Source and Compression: the device in use shows its
// own dialog, or a box with the note it gives instead. Both open window-modal
// without a loop of their own.

#include "capture_device.h"

class QWidget;

namespace orvane {

// Shows the `which` dialog of `source` over `parent`; nothing without a source.
void showCaptureDialog(CaptureSource *source, CaptureDialog which, QWidget *parent);

} // namespace orvane
