#pragma once
// The guide log: every guided run as a section of a text file, one file per
// night, written line by line and flushed so that a crash loses at most the
// line being written. A folder that cannot be made or written, or a full disk,
// is told once without stopping anything; guiding goes on without the log.

#include "guide_events.h"
#include "guide_log_lines.h"
#include "rig.h"

#include <QFile>

namespace orvane {

// orvane.ini [guidelog]: enabled=true|false, folder= (empty: "guide-logs" in the
// save directory; a relative folder is taken inside the save directory).
struct GuideLogOptions {
    bool enabled = true;
    QString folder;
};
// A value that is not understood keeps the default and adds a note.
GuideLogOptions guideLogOptionsFromIni(const QString &iniPath, QStringList &notes);

class GuideLog : public GuideObserver {
public:
    GuideLog(const RigContext &context, GuideLogOptions options);
    ~GuideLog() override; // "Log closed at ..."

    void guideStep(const GuideStep &step) override;
    void guideEvent(GuideEvent event, uint32_t timeMs, const QString &text) override;

    // The calibration's lines (calibration_log_lines.h), appended to tonight's
    // file as they come, between runs.
    void writeCalibration(const QStringList &lines);

    QString folder() const;                        // where tonight's log goes now
    QString filePath() const { return filePath_; } // empty until a run was logged

private:
    // Finds tonight's file in the folder (or begins one) and opens it to append.
    bool open(const QDateTime &now);
    // Appends whole lines; on a failure removes any part written, closes the file and tells once.
    bool write(const QStringList &lines);
    void fail(const QString &cause);
    QDateTime localAt(uint32_t clockMs) const;

    RigContext c_;
    GuideLogOptions options_;
    QFile file_;           // opened on a descriptor, so it knows no name of its own
    QString filePath_;     // the file it writes
    QString openFolder_;   // the folder file_ was opened in
    bool inRun_ = false;
    uint32_t beganMs_ = 0; // clock ms of Guiding Begins
    int steps_ = 0;        // guide steps of the run so far
    int stars_ = 1;        // guide stars the last step told of
    QString told_;         // the last failure told, so the same one is not told at every run
};

// Appends the frame's row to frames.csv in the save directory (the header first
// when the file is new), flushed; a failure leaves no part of the row.
Result appendFrameRecord(const QString &saveDir, const FrameRow &row);

} // namespace orvane
