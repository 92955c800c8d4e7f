#pragma once
// Applying a calibration: its direction letters and the mean of its axis rates
// go into the settings record and orvane.cfg as the Options dialog's DONE puts
// them there, and its record into orvane.ini [calibration]; all of it, or
// nothing when a file cannot be written.

#include "calibration_solve.h"
#include "result.h"
#include "settings.h"

namespace orvane {

// `when`: the calibration's UTC time, ISO 8601. On failure the settings record,
// orvane.cfg and orvane.ini are as they were, and the sentence says why.
Result applyCalibration(Settings &settings, const QString &configPath, const QString &iniPath,
                        const CalibrationSolution &solution, const QString &when);

} // namespace orvane
