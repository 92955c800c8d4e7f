#pragma once
// Guide > Rehearse: a modeless window that runs tonight's plan on a simulated
// rig of its own, fast, on a worker thread, and reports what the night would
// look like: guided RMS, the guide graph of the whole run, each frame's star,
// the frames that would be spoiled, and warnings naming their cause. The report
// is saved as text and PNG beside the guide logs. While it runs the picture
// area is held, so the real Start and Loop wait.

#include "rehearsal.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QComboBox;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace orvane {

class GuideChart;
class PictureArea;

// What the window takes from the program: tonight's plan as the main window holds
// it, and whether the real rig is busy. Each part outlives the window.
struct RehearsalSource {
    // The settings, guiding state, save format and entries as they stand; the sky,
    // mount and camera of the plan are the window's own fields.
    std::function<RehearsalPlan()> tonight;
    std::function<bool()> rigBusy;             // a sequence or the loop runs
    std::function<SkyMotion()> skyFromIni;     // orvane.ini's [sky], as the simulated rig reads it
    std::function<QString()> guideLogFolder;   // where the report is saved
    PictureArea *picture = nullptr;            // held while a rehearsal runs
    QString iniPath;                           // orvane.ini
};

class RehearsalWindow : public QWidget {
    Q_OBJECT
public:
    explicit RehearsalWindow(RehearsalSource source, QWidget *parent = nullptr);
    ~RehearsalWindow() override; // a running rehearsal is stopped and waited for

    void start();
    void stop();
    bool running() const { return worker_.joinable(); }
    // The plan Start would run now: the program's settings and entries, the sky and mount of the fields.
    RehearsalPlan plan() const;
    QString reportText() const;
    QStringList warnings() const { return warnings_; }
    // The files of the last report; empty when it could not be saved.
    QString savedText() const { return savedText_; }
    QString savedPicture() const { return savedPicture_; }
    const GuideChart *chart() const { return chart_; }

signals:
    void finished(); // the report is shown and saved

private:
    QDoubleSpinBox *addField(const char *name, const QString &label, const QString &unit, double min, double max,
                             double value, int decimals = 1);
    void presetFromSettings();
    void showProgress();
    void finish(RehearsalRun run);
    void plotRun(const RehearsalRun &run);
    void saveReport(const QString &text);

    RehearsalSource source_;
    std::thread worker_;
    std::shared_ptr<RehearsalProgress> progress_;
    std::optional<RehearsalPlan> running_; // the plan being rehearsed
    QElapsedTimer wall_;
    QTimer ticker_; // progress while a rehearsal runs
    QStringList warnings_;
    QString savedText_, savedPicture_;

    QDoubleSpinBox *driftX_ = nullptr, *driftY_ = nullptr, *periodicError_ = nullptr, *period_ = nullptr;
    QDoubleSpinBox *seeing_ = nullptr, *guideRate_ = nullptr, *cameraAngle_ = nullptr;
    QDoubleSpinBox *cloudLength_ = nullptr, *cloudStart_ = nullptr, *cloudEvery_ = nullptr;
    QCheckBox *mirrored_ = nullptr;
    QComboBox *letters_ = nullptr; // how the mount maps the letters it is sent
    QLabel *preset_ = nullptr, *progressText_ = nullptr, *saved_ = nullptr;
    QPushButton *start_ = nullptr, *stop_ = nullptr;
    QProgressBar *progressBar_ = nullptr;
    QPlainTextEdit *report_ = nullptr;
    GuideChart *chart_ = nullptr;
};

} // namespace orvane
