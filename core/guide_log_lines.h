#pragma once
// The lines of the guide log (a text format that guide-log viewers read) and of
// frames.csv, the record of every saved frame. Formatting only; the files are
// written elsewhere.

#include "guide_events.h"

#include "calibration_record.h"

#include <QDateTime>
#include <QPointF>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvane {

// "2024-03-09 21:00:00", local time.
QString guideLogStamp(const QDateTime &local);
// "guide_log-2024-03-09T21-00-00.txt", named by the local time the file was begun.
QString guideLogFileName(const QDateTime &local);
// The local time in such a name; nothing when `name` is not one.
std::optional<QDateTime> guideLogFileTime(const QString &name);
// True when both times fall in the same night: noon to noon, local time.
bool sameNight(const QDateTime &a, const QDateTime &b);

// The file's first line and the empty line after it.
QStringList guideLogOpening(const QString &program, const QDateTime &local);

struct GuideRunFacts {
    QDateTime begins;       // local time
    QString mount;          // "simulated" or the serial device
    CalibrationRecord axes; // the guide axes on the picture: calibrated, or the picture's own at PixPerSec
    std::optional<double> arcsecPerPx{};   // the guide pixel scale, when the optics are known
    std::optional<double> focalLengthMm{}; // of the guide camera
    std::optional<QPointF> lockPx{};       // where the star is held on the picture, pixels
};
// The section's opening lines, ending with the column header; "Lock position = x, y"
// before the header when the lock is known.
QStringList guideLogRunHeader(const GuideRunFacts &facts);
inline constexpr int kGuideLogColumns = 18;

// Which mount axis the picture's x moves: the one whose letters DirLeft/DirRight
// send (e/w: right ascension, n/s: declination); y moves the other.
struct AxisLetters {
    QString left, right, up, down; // DirLeft, DirRight, DirUp, DirDown
    bool xIsRa() const;
};
// One CSV row: `frame` counts the run's guide steps from 1, `seconds` since guiding began.
QString guideLogRow(int frame, double seconds, const GuideStep &step, const AxisLetters &axes);
// The text of a Dither event: "dx, dy, new lock pos = x, y" (pixels; the shift and the new lock position).
QString ditherText(double dxPx, double dyPx, double lockXPx, double lockYPx);
// "INFO: ..." for an event between steps; empty for the events that open or close a section.
QString guideLogInfo(GuideEvent event, const QString &text);
// "INFO: Guiding on N stars": the steps from here on took their drift from N stars.
QString guideLogStarCount(int stars);
QString guideLogEnds(const QDateTime &local);   // "Guiding Ends at ..."
QString guideLogClosed(const QDateTime &local); // "Log closed at ..."

// One saved frame as frames.csv records it.
struct FrameRow {
    QString fileName;
    QString utcStart, utcEnd; // ISO 8601 UTC
    double exposureS = 0;
    QString camera, mount;
    bool lineDoubled = false;
    int guideSteps = 0, lostSteps = 0;
    double rmsXPx = 0, rmsYPx = 0, rmsPx = 0, peakPx = 0; // of the drift at steps with the star
    std::optional<double> arcsecPerPx{}; // the guide pixel scale: RMS and peak in arc-seconds too (else empty)
};
QString framesCsvHeader();
QString framesCsvRow(const FrameRow &row);

} // namespace orvane
