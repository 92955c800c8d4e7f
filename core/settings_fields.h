#pragma once
// Each file-backed setting described once: the record member it lives in (whose
// type is the field's type and range), its lines in orvane.cfg, and its box and
// label in the Options window. The file's reader and writer and the Options
// window go through this table, so a new setting is one new row (and a place in
// the window's layout).

#include "settings.h"

#include <QString>

#include <array>
#include <variant>

namespace orvane {

// A byte (0..255), a 16-bit or a 32-bit whole number, or a direction text sent
// to the mount (it may hold neither "#" nor ":", nor leave printable ASCII).
using SettingsMember = std::variant<uint8_t Settings::*, int16_t Settings::*, int32_t Settings::*,
                                    QString Settings::*>;

struct SettingsField {
    const char *fileLabel;    // orvane.cfg: the label line just above the value
    int valueLine;            // orvane.cfg: the value's line, counted from 1
    int box;                  // Options: the box TextN that edits it
    const char *labelObject;  // Options: the object name of the box's label; none in the direction cross
    const char *name;         // Options: the label's caption, or the box's place in the cross
    SettingsMember member;
};

// In file order: a field takes its label line, its value line and, but for the
// last, a blank line, after five header lines.
inline constexpr std::array<SettingsField, 15> kSettingsFields{{
    {"Exposure", 7, 8, "Label10", "Exposure State", &Settings::ExposureState},
    {"GetImage", 10, 9, "Label11", "Get Image State", &Settings::GetImageState},
    {"Get Guide", 13, 10, "Label12", "Get Guide State", &Settings::GetGuideState},
    {"Delay", 16, 11, "Label13", "Image delay", &Settings::ImageDelay},
    {"Printer Port 1 or 2", 19, 7, "Label9", "Printer Port", &Settings::PrinterPort},
    {"Telescope Comm Port", 22, 1, "Label3", "Comm Port", &Settings::CommPort},
    {"up", 25, 2, nullptr, "Up (top of the direction cross)", &Settings::DirUp},
    {"Down", 28, 3, nullptr, "Down (bottom of the direction cross)", &Settings::DirDown},
    {"Left", 31, 4, nullptr, "Left (left of the direction cross)", &Settings::DirLeft},
    {"Right", 34, 5, nullptr, "Right (right of the direction cross)", &Settings::DirRight},
    {"Pixpersec", 37, 6, "Label8", "Pixels/Sec", &Settings::PixPerSec},
    {"Guide Box", 40, 12, "Label4", "Guide Box Size", &Settings::GuideBoxSize},
    {"Ignore drift", 43, 13, "Label5", "Ignore Drift <", &Settings::IgnoreDrift},
    {"amp on", 46, 14, "Label6", "Amp on state", &Settings::AmpOnState},
    {"amp delay", 49, 15, "Label7", "Amp delay", &Settings::AmpDelay},
}};

// The reader and writer count on the three-line rhythm; the window on boxes 1..N.
constexpr bool fieldsFollowTheFileAndTheBoxes()
{
    std::array<bool, kSettingsFields.size() + 1> boxSeen{};
    for (size_t i = 0; i < kSettingsFields.size(); ++i) {
        const SettingsField &f = kSettingsFields[i];
        if (f.valueLine != 7 + 3 * int(i) || f.box < 1 || f.box > int(kSettingsFields.size()) || boxSeen[f.box])
            return false;
        boxSeen[f.box] = true;
    }
    return true;
}
static_assert(fieldsFollowTheFileAndTheBoxes(), "settings fields out of file order or boxes not 1..N once each");

// The field edited in Options box TextN (1..kSettingsFields.size()).
const SettingsField &fieldInBox(int box);

bool isText(const SettingsField &field);
// The value as the file and the Options box show it: a number as numberText
// (" 3", "-1"), a text as held.
QString fieldText(const Settings &settings, const SettingsField &field);
// Stores a text into a text field.
void storeText(Settings &settings, const SettingsField &field, const QString &text);
// Stores the nearest whole number into a number field; throws ConversionError
// when it does not fit the field's type.
void storeNumber(Settings &settings, const SettingsField &field, double value);
// What a number field takes: "a whole number from 0 to 255".
QString allowedRange(const SettingsField &field);

} // namespace orvane
