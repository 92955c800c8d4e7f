#pragma once
// The main window's controls the imaging sequence reads and writes, beyond those
// the camera and guiding procedures use. The window implements it; tests use
// PlainSequencePanel.

#include "control_panel.h"

#include <QStringList>

namespace orvane {

class SequencePanel : public ControlPanel {
public:
    virtual QString exposureText() const = 0;   // Text1, "Exposure sec"
    virtual QString guideText() const = 0;      // Text4, "Guide sec"
    virtual QString frameCountText() const = 0; // Text5, "Number of expsures"
    virtual bool saveTicked() const = 0;        // Check1
    virtual void setStartCaption(const QString &caption) = 0; // Command1
    // ProgressBar1; max <= 0 shows an empty bar.
    virtual void setProgressMax(int32_t max) = 0;
    virtual void setProgressValue(int32_t value) = 0;
    virtual void beep() = 0;
    // A message box with an OK button titled "Orvane"; returns at once, the run goes on.
    virtual void showMessage(const QString &text) = 0;
    // The same box without an icon: a plain report, not a warning.
    virtual void showPlainMessage(const QString &text) = 0;
    // A passing word in the status line on what just happened; no problem, nothing kept.
    virtual void tell(const QString &text) = 0;
};

class PlainSequencePanel : public SequencePanel {
public:
    PlainPanel controls; // the values the procedures share
    QString exposure = QStringLiteral("2");
    QString guide = QStringLiteral("1");
    QString frameCount = QStringLiteral("1");
    bool save = false;
    QString caption = QStringLiteral("Start");
    int32_t progressMax = 0;
    int32_t progressValue = 0;
    int beeps = 0;
    QStringList messages;

    bool guidingTicked() const override { return controls.guiding; }
    bool lineDoublingTicked() const override { return controls.lineDoubling; }
    QString status() const override { return controls.statusText; }
    void setStatus(const QString &text) override { controls.setStatus(text); statusHistory.append(text); }
    void showDrift(const QString &x, const QString &y) override { controls.showDrift(x, y); }
    QString fileStem() const override { return controls.stem; }
    QString firstIndex() const override { return controls.index; }
    void setFirstIndex(const QString &text) override { controls.setFirstIndex(text); }
    void notify(const QString &sentence) override { controls.notify(sentence); }
    void frameSaved(const QString &path) override { controls.frameSaved(path); }
    void showActivity(const QString &text) override { controls.showActivity(text); }

    QString exposureText() const override { return exposure; }
    QString guideText() const override { return guide; }
    QString frameCountText() const override { return frameCount; }
    bool saveTicked() const override { return save; }
    void setStartCaption(const QString &text) override { caption = text; }
    void setProgressMax(int32_t max) override { progressMax = max; }
    void setProgressValue(int32_t value) override { progressValue = value; }
    void beep() override { ++beeps; }
    void showMessage(const QString &text) override { messages.append(text); }
    void showPlainMessage(const QString &text) override
    {
        messages.append(text);
        plainMessages.append(text);
    }
    QStringList plainMessages; // those of `messages` shown without an icon
    void tell(const QString &text) override { told.append(text); }
    QStringList told;

    QStringList statusHistory;
};

} // namespace orvane
