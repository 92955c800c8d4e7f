#include "program.h"

#include "indi_cameras.h"

#include "device_access.h"
#include "calibration_record.h"
#include "guiding_settings.h"
#include "ini_values.h"
#include "parport_ieee1284.h"
#include "sim_camera.h"
#include "v4l2_devices.h"

#include <QDir>
#include <QFile>

#include <cmath>

namespace orvane {

SkyMotion skyMotionFromIni(const QString &iniPath, QStringList &notes)
{
    return SkyMotion::fromIni(iniPath, notes);
}

SkyMotion skyMotionFromIni(const QString &iniPath)
{
    QStringList unused;
    return skyMotionFromIni(iniPath, unused);
}

double minStarSnrFromIni(const QString &iniPath, QStringList &notes)
{
    IniValues ini = IniValues::read(iniPath, notes);
    return ini.number("guide", "minStarSnr", QString::number(kDefaultMinStarSnr)).value_or(kDefaultMinStarSnr);
}

namespace {
// The file read once at start: a file that cannot be read, and a group or a key
// written twice, are told here; each key's reader tells its own value.
QString checkedIniPath(const QString &iniPath, QStringList &notes)
{
    const IniFileText file = readIniFile(iniPath);
    if (!file.problem.isEmpty())
        notes.append(file.problem);
    notes.append(iniLayoutProblems(file.text, iniPath));
    return iniPath;
}

SimMountOptions mountOptions(const QString &iniPath, QStringList &notes)
{
    return SimMountOptions::fromIni(iniPath, notes);
}
} // namespace

Program::Program(const QString &settingsFolder)
    : configPath_(QDir(settingsFolder).filePath(QStringLiteral("orvane.cfg"))),
      iniPath_(checkedIniPath(QDir(settingsFolder).filePath(QStringLiteral("orvane.ini")), setupNotes_)),
      sky_(clock_.now(), skyMotionFromIni(iniPath_, setupNotes_)),
      mount_(sky_, clock_, mountOptions(iniPath_, setupNotes_)),
      opener_(mount_, iniPath_, IndiWait{clock_, pump_}),
      port_(clock_, [] { return makeIeee1284Port(); })
{
    guiding_.MinStarSnr = minStarSnrFromIni(iniPath_, setupNotes_);
    const QByteArray text = readIniFile(iniPath_).text;
    sequence_.SaveFormat = frameFormatFromIni(text, iniPath_, setupNotes_);
    sequence_.optics = opticsFromIni(text, iniPath_, setupNotes_);
    sequence_.readPointing = IniValues(text, iniPath_, setupNotes_)
                                 .truth("serial", "readPointing", QStringLiteral("false (nothing is asked)"))
                                 .value_or(false);
    guiding_.Options = guidingSettingsFromIni(text, iniPath_, setupNotes_);
    guiding_.chooseAlgorithm(guiding_.Options.algorithm);
    guiding_.Axes = readCalibration(iniPath_, &setupNotes_);
    addCaptureDevices();
    window_ = std::make_unique<MainWindow>(MainWindowParts{settings_, sequence_, guiding_, clock_, pump_, port_, comm_,
                                                           camera_, picture_, files_, configPath_, iniPath_});
}

Program::~Program()
{
    window_.reset(); // the window's windows use the devices below
}

void Program::addCaptureDevices()
{
    // Real webcams first; the simulated camera stands in when there is none.
    for (auto &webcam : findV4l2Cameras())
        camera_.addSource(std::move(webcam));
    // Cameras on the INDI server orvane.ini names follow ([indi] cameraServer);
    // INDI mounts keep to the same limits on what a server may send.
    const IndiCameraOptions indi = indiCameraOptionsFromIni(iniPath_, setupNotes_);
    opener_.indiMounts().setLimits(indi.limits);
    if (const std::optional<IndiServer> server = indiCameraServerFromIni(iniPath_, setupNotes_)) {
        for (auto &camera : findIndiCameras(*server, indi, clock_, pump_, port_, settings_, setupNotes_))
            camera_.addSource(std::move(camera));
    }
    SimCameraOptions options = SimCameraOptions::fromIni(iniPath_);
    setupNotes_.append(options.problems);
    if (options.enabled)
        camera_.addSource(std::make_unique<SimCamera>(clock_, port_, settings_, sky_, options));
    for (int32_t i = 0; i < camera_.deviceCount(); ++i) {
        Result connected = camera_.setCurrentDevice(i);
        if (connected)
            break;
        setupNotes_.append(connected.error());
    }
}

bool Program::start()
{
    if (!window_->load())
        return false;
    if (!port_.realPortNote().isEmpty())
        setupNotes_.append(port_.realPortNote() + QStringLiteral(" The camera lines are simulated."));
    setupNotes_.append(deviceAccessAdvice(gatherDeviceFacts()));
    if (const CaptureSource *inUse = camera_.sourceInUse(); inUse && !inUse->usageNote().isEmpty())
        setupNotes_.append(inUse->usageNote());
    for (const QString &note : setupNotes_)
        window_->notify(note);
    return true;
}

} // namespace orvane
