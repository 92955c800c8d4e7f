#pragma once
// The main window's entries as the user left them, kept across restarts in
// orvane.ini's [window] group: exposure, count, guide interval, the three
// ticks, file name, index and save folder. orvane.cfg is not touched.

#include "result.h"

#include <QString>

namespace orvane {

struct WindowMemory {
    QString exposureS;  // Text1, seconds as typed
    QString frameCount; // Text5
    QString guideS;     // Text4, seconds as typed
    bool guide = false;        // Check2
    bool save = false;         // Check1
    bool lineDoubling = false; // Check3
    QString fileName;   // Text2
    QString index;      // Text3
    QString saveFolder; // SaveDir
};

// Overwrites in `values` each key that orvane.ini holds; a missing or unreadable
// file, group or key leaves the value as it was (today's default).
void readWindowMemory(const QString &iniPath, WindowMemory &values);

// Sets every key of the group; the user's other lines and comments stay.
Result writeWindowMemory(const QString &iniPath, const WindowMemory &values);

} // namespace orvane
