#pragma once
// The running program: the settings and shared values, the real devices with
// the simulated rig beside them, and the main window. Made once in main().

#include "main_window.h"
#include "file_chooser.h"
#include "rig_serial_opener.h"
#include "sim_mount.h"
#include "sky.h"

#include <QString>

#include <memory>

namespace orvane {

// orvane.ini's [sky] group: how the simulated sky drifts. A value that is not a
// number in its range keeps the default and adds a note (none kept without `notes`).
SkyMotion skyMotionFromIni(const QString &iniPath, QStringList &notes);
SkyMotion skyMotionFromIni(const QString &iniPath);
// orvane.ini's [guide] minStarSnr: the least signal-to-noise ratio of a guide
// star. A value that is not a number above 0 keeps the default and adds a note.
double minStarSnrFromIni(const QString &iniPath, QStringList &notes);

class Program {
public:
    // `settingsFolder` holds orvane.cfg and orvane.ini.
    explicit Program(const QString &settingsFolder);
    ~Program();

    // The main window's start-up; false when the program must end (the user was told why).
    bool start();
    MainWindow &window() { return *window_; }

private:
    void addCaptureDevices();

    // Problems with orvane.ini, told once the window shows. First of all
    // the members: the readers of orvane.ini behind the ones below add to it.
    QStringList setupNotes_;
    QString configPath_;
    QString iniPath_;
    Settings settings_;
    SequenceState sequence_;
    GuidingState guiding_;
    SteadyClock clock_;
    QtEventPump pump_{clock_};
    SimSky sky_;
    SimMount mount_;
    RigSerialOpener opener_;
    MountLink comm_{opener_};
    CameraLines port_;
    CaptureDevices camera_;
    PictureArea picture_;
    QtFileChooser files_;
    std::unique_ptr<MainWindow> window_;
};

} // namespace orvane
