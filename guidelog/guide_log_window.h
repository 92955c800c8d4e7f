#pragma once
// The "Guide log" window (Guide > Open guide log...), modeless: the sessions and
// calibrations of one guide log file listed with start, length, star and
// calibration; a session in the guide chart (dx/dy or RA/Dec, corrections, lost
// steps, settling spans and the frames of the night's frames.csv as spans), its
// RMS and peak with settling left out, the same for a span chosen in minutes,
// each frame's RMS; a calibration as its plot. The chart exports as PNG. A log
// that cannot be read to its end shows what was read and says where it stopped.

#include "guide_log_reader.h"

#include <QWidget>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QListWidget;
class QPushButton;
class QStackedWidget;

namespace orvane {

class CalibrationPlot;
class GuideChart;

class GuideLogWindow : public QWidget {
    Q_OBJECT
public:
    explicit GuideLogWindow(QWidget *parent = nullptr);
    ~GuideLogWindow() override;

    // Asks for a file (a dialog of its own, without a nested event loop) and opens it.
    void chooseFile();
    // Reads the log at `path` and the frames.csv beside it (or in the folder above); false when it cannot be read.
    bool openFile(const QString &path);
    // Shows the session or calibration at `row` of the list.
    void showRow(int row);
    // Figures for the steps from `fromMin` to `toMin` of the session shown.
    void setSpan(double fromMin, double toMin);
    // "RA/Dec" or "dx/dy" curves.
    void showRaDec(bool raDec);
    bool exportPng(const QString &path);

    const GuideLogContents &contents() const { return log_; }
    const GuideChart &chart() const { return *chart_; }
    QString statusText() const;
    QString sessionFiguresText() const;
    QString spanFiguresText() const;
    QStringList framesListed() const;
    QStringList rowsListed() const;

private:
    struct FrameSpan {
        RecordedFrame frame;
        double fromMin = 0, toMin = 0;
    };
    void plotSession();
    void addSpans();
    void showFigures();

    GuideLogContents log_;
    std::vector<RecordedFrame> frames_;
    QStringList framesProblems_;
    int session_ = -1; // shown, or -1
    std::vector<FrameSpan> sessionFrames_;
    bool raDec_ = false;

    QPushButton *open_ = nullptr, *export_ = nullptr;
    QLabel *status_ = nullptr, *sessionText_ = nullptr, *spanText_ = nullptr;
    QListWidget *rows_ = nullptr, *framesList_ = nullptr;
    QComboBox *axes_ = nullptr;
    QDoubleSpinBox *from_ = nullptr, *to_ = nullptr;
    QStackedWidget *views_ = nullptr;
    GuideChart *chart_ = nullptr;
    CalibrationPlot *plot_ = nullptr;
};

// "x 0.52 px (1.07″), y ..., total ...; peak ...; 120 steps, 2 without the star": as the guide graph says it.
QString spanFiguresLine(const SpanFigures &figures, std::optional<double> arcsecPerPx);

} // namespace orvane
