#pragma once
// Guide > Calibrate...: a modeless window that runs the calibration around the
// marked guide star, shows the letters' moves and the numbers worked out from
// them, and on Apply puts them into the settings. Stop, or closing it, stops a
// running calibration (the mount stops) and changes nothing.

#include "calibration.h"
#include "calibration_plot.h"

#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace orvane {

class CalibrationWindow : public QWidget {
    Q_OBJECT
public:
    struct Hooks {
        std::function<QString()> refusal;    // why no calibration can start now; empty when one can
        std::function<CalibrationOptions()> options; // a new calibration's exposure, distance and time limit
        std::function<QString()> applyRefusal; // why Apply cannot put the result in now; empty when it can
        std::function<bool()> guidesOneAxis;   // the box way guides now: Apply offers the centroid way
        std::function<QString()> chooseCentroid; // switches to the centroid way; why not, or empty
    };
    CalibrationWindow(Calibration &calibration, Settings &settings, QString configPath, QString iniPath, Hooks hooks,
                      QWidget *parent = nullptr);

    // Start: runs a whole calibration; returns when it has ended.
    void start();
    // Stop: a running calibration ends at its next look.
    void stop() { calibration_.requestStop(); }
    // Apply: the last calibration's letters, Pixels/Sec and axes into the settings.
    // After a calibration with concerns the window offers Accept (the same),
    // Discard and Keep the old one in its place.
    void apply();
    void discard();
    void keepOld();
    // What the second looks found doubtful in the last calibration; empty when it looks sound.
    const QStringList &concerns() const { return concerns_; }

    const CalibrationRun &lastRun() const { return run_; }
    QString resultText() const;

signals:
    void started();  // a calibration begins to drive the mount
    void applied();  // the settings record and orvane.cfg hold the calibration now
    void finished(); // a calibration ended (done, failed or stopped)

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showRun();
    void updateButtons();
    // The declination the user gave (degrees), or nothing when the box is empty or not a number.
    std::optional<double> declination() const;

    Calibration &calibration_;
    Settings &settings_;
    const QString configPath_, iniPath_;
    Hooks hooks_;
    CalibrationRun run_;
    QString when_; // UTC time the last calibration began, ISO 8601
    QStringList concerns_;
    bool applied_ = false; // the last calibration is in the settings
    std::optional<CalibrationRecord> previous_; // the calibration in use when the last one began
    std::optional<double> previousDeclination_;
    QLineEdit *declination_ = nullptr;
    QCheckBox *toCentroid_ = nullptr; // offered, ticked, while the box way guides
    CalibrationPlot *plot_ = nullptr;
    QLabel *progress_ = nullptr;
    QLabel *result_ = nullptr;
    QPushButton *start_ = nullptr, *stop_ = nullptr, *apply_ = nullptr, *close_ = nullptr;
    QPushButton *accept_ = nullptr, *discard_ = nullptr, *keepOld_ = nullptr;
};

} // namespace orvane
