#pragma once
// The program's life from start-up to exit code; main() calls it, and process
// tests call it with a hook that drives the window.

#include <QString>

#include <functional>

namespace orvane {

class Program;

// Runs Orvane with orvane.cfg and orvane.ini in `settingsFolder` (see
// settings_location.h) until the main window closes.
// Needs a QApplication. `started` runs once the window is up. Returns 0, 1 when
// the program could not start, or 128 + the signal that ended it (the end steps
// of a running sequence have run by then).
int runProgram(const QString &settingsFolder, const std::function<void(Program &)> &started = {});

} // namespace orvane
