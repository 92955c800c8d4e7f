#pragma once
// Reads a guide log back: Orvane's own and those of other guiders that write the
// same text format (log version 2.5). The file's calibrations and guiding
// sessions, each session's steps, dithers, lost stars and settling spans, and
// the figures of any span of it. A damaged or cut file is read up to the line
// that cannot be read, and says which line that is and why.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace orvane {

struct LoggedStep {
    int line = 0;          // in the file, from 1
    double seconds = 0;    // since the session began
    bool lost = false;     // "DROP": no star measured
    double dxPx = 0, dyPx = 0;   // the star from the lock position, picture pixels
    double raPx = 0, decPx = 0;  // the same along the mount's axes
    int raMs = 0, decMs = 0;     // the corrections sent, ms
    QString raDirection, decDirection; // "E", "W", "N", "S" or empty
};

struct LoggedSpan {
    double fromS = 0, toS = 0; // seconds since the session began
    bool failed = false;       // settling that timed out
};

struct LoggedEvent {
    enum Kind { Dither, StarLost, StarFound, FrameSaved, Other };
    Kind kind = Other;
    double seconds = 0; // at the step before it
    QString text;       // the line after "INFO: "
};

struct LoggedCalibrationStep {
    QString direction; // West, East, North, South (also Backlash, as other guiders write)
    int step = 0;
    double dxPx = 0, dyPx = 0; // from where the direction began
};

struct LoggedCalibration {
    int line = 0;
    QDateTime begins; // local time, as written
    std::vector<LoggedCalibrationStep> steps;
    QStringList results; // "West calibration complete. Angle = ...", "Calibration complete" ...
    bool complete = false;
};

struct GuideSession {
    int line = 0;
    QDateTime begins; // local time, as written
    QDateTime ends;   // invalid when the section has no end (cut, or the program stopped)
    QString star;     // where the star was locked ("320.0, 240.0"), as the log gives it; empty when not said
    std::optional<double> arcsecPerPx;
    int calibration = -1; // index of the calibration this session guided on (the last one before it), -1: none
    std::vector<LoggedStep> steps;
    std::vector<LoggedSpan> settling;
    std::vector<LoggedEvent> events;

    double lengthS() const { return steps.empty() ? 0 : steps.back().seconds; }
};

struct GuideLogContents {
    QString program;      // the first line's words before ", " or ". ": "Orvane version 1.0", "PHD2 version 2.6.11"
    std::vector<LoggedCalibration> calibrations;
    std::vector<GuideSession> sessions;
    int stoppedLine = 0;  // 0: read to the end; else the line that could not be read
    QString stoppedWhy;   // the sentence: "line 213 cannot be read (a step row has 9 of 18 fields): the log is read up to line 212."
};

GuideLogContents readGuideLog(const QByteArray &text);

// The figures of the session's steps from `fromS` to `toS` (seconds, both
// included); with `leaveOutSettling` the steps within settling spans do not count.
struct SpanFigures {
    int steps = 0, measured = 0, lost = 0, settlingLeftOut = 0;
    double rmsXPx = 0, rmsYPx = 0, rmsTotalPx = 0, peakPx = 0; // of dx and dy
    double rmsRaPx = 0, rmsDecPx = 0;
};
SpanFigures spanFigures(const GuideSession &session, double fromS, double toS, bool leaveOutSettling);

// One saved frame as frames.csv recorded it.
struct RecordedFrame {
    QString file;
    QDateTime utcStart, utcEnd;
    double rmsPx = 0, peakPx = 0;
    int guideSteps = 0;
};
// The rows of a frames.csv; a row that cannot be read is named in `problems` and left out.
std::vector<RecordedFrame> readFramesCsv(const QByteArray &text, QStringList &problems);

// The fields of one CSV line (double quotes around a field that holds a comma or a quote).
QStringList csvFields(const QString &line);

} // namespace orvane
