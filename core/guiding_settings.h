#pragma once
// How the program guides, as orvane.ini [guiding] holds it and the guiding
// settings window edits it: the way the star is measured, how the two-axis
// corrections are sized, whether the mount times them (pulses), dithering
// between saved frames, and how far calibration drives the star.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace orvane {

struct GuidingSettings {
    QString algorithm = QStringLiteral("box"); // a name in kGuideAlgorithms
    double aggressiveness = 0.7;  // share of the measured drift corrected at a step, above 0 up to 1
    double minMovePx = 0.2;       // pixels: a smaller correction along an axis is not sent
    int32_t maxMoveMs = 1000;     // ms: the longest correction on one axis at one step
    bool pulse = false;           // timed pulses (:Mg) instead of move, then stop-all
    bool dither = false;          // shift the lock position between saved frames
    double ditherPx = 3;          // pixels: the largest shift on each axis
    double ditherScale = 1;       // the shift is ditherPx times this
    bool ditherRaOnly = false;    // shift along the RA axis only
    double settlePx = 1.5;        // pixels: settled within this distance of the new lock position...
    double settleTimeS = 2;       // ...for this many seconds
    double settleTimeoutS = 60;   // seconds: after this the next exposure starts all the same
    double calibrationPx = 15;    // pixels: calibration drives each letter until the star has moved this far...
    double calibrationLimitS = 60; // ...or for this many seconds at most
    // The centroid way on a hard night: more stars, the mount's error predicted, Dec handled.
    int32_t guideStars = 1;        // follow up to this many stars (1: the marked star alone)
    bool predict = false;          // learn the mount's periodic error and steady drift, correct them ahead
    double predictPeriodS = 480;   // seconds: the period of the error learned (the worm's turn)
    QString decMode = QStringLiteral("auto"); // auto, north, south or off: the Dec letters guiding may send
    bool decBacklash = false;      // measure the Dec backlash and lengthen a reversing move by it

    bool operator==(const GuidingSettings &) const = default;
};

// False for a Dec letter ("n", "s", any case) that decMode keeps guiding from sending.
bool guidingMaySend(const GuidingSettings &settings, const QString &letter);

// One key of [guiding] as text, for the ini file and the window alike.
struct GuidingTexts {
    QString algorithm, aggressiveness, minMovePx, maxMoveMs, pulse, dither, ditherPx, ditherScale, ditherRaOnly,
        settlePx, settleTimeS, settleTimeoutS, calibrationPx, calibrationLimitS;
    QString guideStars, predict, predictPeriodS, decMode, decBacklash;
};
GuidingTexts guidingTexts(const GuidingSettings &settings);

struct GuidingProblem {
    QString key;  // the ini key of the bad value ("aggressiveness")
    QString text; // the value, trimmed ("2")
    QString rule; // what it is not ("not a number above 0 up to 1")
};
// Reads texts into settings. On the first bad value returns it and changes nothing.
std::optional<GuidingProblem> parseGuidingTexts(const GuidingTexts &texts, GuidingSettings &settings);

// The [guiding] group of an ini file's text: a missing key keeps its default;
// a bad value keeps the default for that key and adds a sentence naming the
// file, the key and the cause to `notes`, as does a settleSteps line of an
// older file (settling is now a time, settleTimeS).
GuidingSettings guidingSettingsFromIni(const QByteArray &iniText, const QString &iniPath, QStringList &notes);
// `iniText` with every key of [guiding] set (and an older file's settleSteps
// taken out), all other lines as they were.
QByteArray withGuidingSettings(const QByteArray &iniText, const GuidingSettings &settings);

} // namespace orvane
