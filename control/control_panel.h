#pragma once
// The main window's controls that the camera, mount and guiding procedures use
// by name. The window implements this; tests use a plain fake.

#include "notifier.h"

#include <QString>
#include <QStringList>

namespace orvane {

// Its notices (Notifier) are how a problem reaches the user without stopping the
// running sequence.
class ControlPanel : public Notifier {
public:
    virtual ~ControlPanel() = default;
    virtual bool guidingTicked() const = 0;     // Check2
    virtual bool lineDoublingTicked() const = 0; // Check3 ("2x1 Bin")
    virtual QString status() const = 0;          // Text6
    virtual void setStatus(const QString &text) = 0;
    virtual void showDrift(const QString &dx, const QString &dy) = 0; // Text7, Text8
    virtual QString fileStem() const = 0;   // Text2 ("File Name")
    virtual QString firstIndex() const = 0; // Text3 ("Index")
    virtual void setFirstIndex(const QString &text) = 0;
    // A frame was written to `path`; the user is told its name.
    virtual void frameSaved(const QString &path) = 0;
    // What a run does now, beside the status box ("frame 1 of 2, 58 s left",
    // "reading out frame 1 of 2", "saving Image012.bmp"); empty once it is over.
    virtual void showActivity(const QString &text) = 0;
};

// A panel that holds its values in plain members, for tests and headless use.
class PlainPanel : public ControlPanel {
public:
    bool guiding = false;
    bool lineDoubling = false;
    QString statusText = QStringLiteral("Ready");
    QString dx, dy;
    QString stem = QStringLiteral("Image");
    QString index = QStringLiteral("0");
    QStringList notices;
    QStringList saved;      // frames saved, by path
    QStringList activities; // every text showActivity was given, in order

    bool guidingTicked() const override { return guiding; }
    bool lineDoublingTicked() const override { return lineDoubling; }
    QString status() const override { return statusText; }
    void setStatus(const QString &text) override { statusText = text; }
    void showDrift(const QString &x, const QString &y) override { dx = x; dy = y; }
    QString fileStem() const override { return stem; }
    QString firstIndex() const override { return index; }
    void setFirstIndex(const QString &text) override { index = text; }
    void notify(const QString &sentence) override { notices.append(sentence); }
    void frameSaved(const QString &path) override { saved.append(path); }
    void showActivity(const QString &text) override { activities.append(text); }
};

} // namespace orvane
