#pragma once
// Guide > Guiding assistant: a modeless window that, with no correction sent,
// watches the marked star for a few minutes, measures the seeing jitter, the
// drift (and the polar alignment error, where the pixel scale and declination
// are known) and the periodic error, then (unless its box is cleared) tests
// the Dec backlash with a short north and south drive, and recommends the
// guide exposure, the least move, the aggressiveness and the Dec mode beside
// the values in use; Apply puts them in with one click. Stop ends the watch
// or the test at any time.

#include "guiding_assistant.h"
#include "guiding_settings.h"
#include "rig.h"

#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace orvane {

class AssistantWindow : public QWidget {
    Q_OBJECT
public:
    struct Hooks {
        std::function<QString()> refusal;            // why no watch can start now; empty when one can
        std::function<int32_t()> guideExposureMs;    // the guide exposure in use
        std::function<GuidingSettings()> current;    // the settings in use
        std::function<std::optional<double>()> pixelScaleArcsecPerPx; // the guide camera's, from [optics]
        std::function<std::optional<double>()> declinationDeg;        // where the telescope points
        std::function<QString(const GuideAdvice &)> apply; // puts the advice in; why not, or empty
    };
    AssistantWindow(Rig &rig, Hooks hooks, QWidget *parent = nullptr);

    // Start: watches the marked star for the minutes chosen; returns when the watch has ended.
    void start();
    void stop() { stopAsked_ = true; }
    void apply();
    bool running() const { return running_; }

    const std::optional<NightFigures> &figures() const { return figures_; }
    const std::optional<GuideAdvice> &advice() const { return advice_; }

signals:
    void started();
    void finished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showAdvice();
    // The backlash test after the watch, around the star where the watch left it.
    void testBacklash(const std::vector<WatchedPlace> &places);
    void updateButtons();

    Rig &rig_;
    Hooks hooks_;
    bool running_ = false;
    bool stopAsked_ = false;
    std::optional<NightFigures> figures_;
    QString backlashFailure_; // why the backlash test gave no figure, when it ran
    std::optional<double> scale_, declination_; // arc-seconds per pixel and degrees, as the last watch had them
    std::optional<GuideAdvice> advice_;
    QSpinBox *minutes_ = nullptr;
    QCheckBox *testBacklash_ = nullptr;
    QLabel *progress_ = nullptr, *result_ = nullptr;
    QPushButton *start_ = nullptr, *stop_ = nullptr, *apply_ = nullptr;
};

} // namespace orvane
