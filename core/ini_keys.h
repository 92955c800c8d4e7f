#pragma once
// Every key of orvane.ini described once: its group, its name, what it holds,
// the values it takes, its default and one line of help. The readers take their
// ranges from here, the guiding settings dialog its rules, and a test holds the
// README's key list and the help page to it. A new key is one new row.

#include <QString>

#include <span>

namespace orvane {

enum class IniType {
    Number, // a finite number in [low, high] (above low when lowOpen)
    Whole,  // a whole number in [low, high]
    Switch, // true or false (any case; 1 and 0 too)
    Word,   // one of `words`, separated by "|" (any case)
    Text,   // any text
};

struct IniKey {
    const char *group;
    const char *key; // "portN": port1, port2, ... (a number in place of N)
    IniType type;
    double low = 0, high = 0;
    bool lowOpen = false;
    const char *unit = nullptr;  // "pixels", "ms", ...: named in the rule ("a number of pixels from ...")
    const char *words = nullptr; // Word: the words taken
    const char *defaultText = "";
    const char *help = "";
};

std::span<const IniKey> iniKeys();

// The row of [group] key (a "portN" row takes port1, port2, ...), or nullptr.
const IniKey *findIniKey(const QString &group, const QString &key);
// As findIniKey, for a key the program itself reads: a missing row is a fault
// of the program and ends it.
const IniKey &iniKey(const char *group, const char *key);

// What a value of `key` must be, to close "is ...": "not a number of pixels from
// 0 to 100", "not a whole number from 1 to 1000", "neither true nor false",
// "not one of bmp, fits, both". Empty for a text.
QString iniRule(const IniKey &key);

} // namespace orvane
