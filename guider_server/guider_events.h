#pragma once
// The events of the guider protocol as a client reads them: each a JSON object
// with "Event", "Timestamp" (seconds since 1970, UTC), "Host" and "Inst", and
// the fields of its kind.

#include "guide_events.h"
#include "guide_log_lines.h"

#include <QJsonObject>
#include <QString>

#include <optional>

namespace orvane {

// The states "get_app_state" and "AppState" name.
enum class AppState { Stopped, Selected, Calibrating, Guiding, LostLock, Paused, Looping };
QString appStateName(AppState state);

// Starts an event: the common fields, `utcMs` the moment it happened.
QJsonObject guiderEvent(const QString &name, int64_t utcMs);

// "Version": the protocol version (1), overlapping requests supported.
QJsonObject versionEvent(int64_t utcMs);

// One guide step as the guide log's row gives it: `frame` counts the steps from
// 1, `seconds` since guiding began, the distances split on the mount's axes as
// `axes` say; `avgDistPx` the smoothed distance, `hfdPx` the star's width when known.
QJsonObject guideStepEvent(int64_t utcMs, int frame, double seconds, const GuideStep &step, const AxisLetters &axes,
                           double avgDistPx, std::optional<double> hfdPx);

// "East", "West", "North", "South" for a mount letter; the letter itself otherwise.
QString directionName(const QString &letter);

} // namespace orvane
