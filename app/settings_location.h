#pragma once
// Where orvane.cfg and orvane.ini live. A program directory that holds a
// writable orvane.cfg (a build folder, a portable copy) keeps them there. An
// installed program's directory cannot be written, so its settings go to the
// user's configuration folder, seeded on first start from the default that is
// installed with the program.

#include <QString>

namespace orvane {

struct SettingsLocation {
    QString folder;  // holds orvane.cfg and orvane.ini
    bool perUser = false;
    QString problem; // why the per-user folder could not be made ready; empty when it is
};

// `programDir` is the program's own directory, `userFolder` the per-user
// settings folder (created when needed), `defaultConfig` the orvane.cfg a new
// per-user folder starts from. Never changes an existing orvane.cfg.
SettingsLocation chooseSettingsLocation(const QString &programDir, const QString &userFolder,
                                        const QString &defaultConfig);

// The same for the running program: $XDG_CONFIG_HOME/orvane (default
// ~/.config/orvane), seeded from <programDir>/../share/orvane/orvane.cfg.
SettingsLocation chooseSettingsLocation(const QString &programDir);

// The folder a new save-directory window starts in: an installed program
// started from the desktop menu (working directory "/" or the home folder)
// saves into the pictures folder when there is one; otherwise the working
// directory stays.
QString startFolder(bool perUser, const QString &workingDir, const QString &homeDir, const QString &picturesDir);

} // namespace orvane
