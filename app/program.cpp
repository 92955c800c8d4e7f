#include "program.h"

#include "indi_cameras.h"

#include "device_access.h"
#include "calibration_record.h"
#include "guiding_settings.h"
#include "parport_ieee1284.h"
#include "sim_camera.h"
#include "v4l2_devices.h"

#include <QDir>
#include <QFile>
#include <QSettings>

#include <cmath>

namespace orvane {

SkyMotion skyMotionFromIni(const QString &iniPath)
{
    const QSettings ini(iniPath, QSettings::IniFormat);
    SkyMotion motion;
    motion.driftXPxPerMin = ini.value("sky/driftXPxPerMin", motion.driftXPxPerMin).toDouble();
    motion.driftYPxPerMin = ini.value("sky/driftYPxPerMin", motion.driftYPxPerMin).toDouble();
    motion.periodicErrorPx = ini.value("sky/periodicErrorPx", motion.periodicErrorPx).toDouble();
    motion.periodicErrorPeriodS = ini.value("sky/periodicErrorPeriodS", motion.periodicErrorPeriodS).toDouble();
    motion.cloudStartS = ini.value("sky/cloudStartS", motion.cloudStartS).toDouble();
    motion.cloudLengthS = ini.value("sky/cloudLengthS", motion.cloudLengthS).toDouble();
    motion.cloudEveryS = ini.value("sky/cloudEveryS", motion.cloudEveryS).toDouble();
    return motion;
}

double minStarSnrFromIni(const QString &iniPath, QStringList &notes)
{
    const QSettings ini(iniPath, QSettings::IniFormat);
    const QVariant stored = ini.value(QStringLiteral("guide/minStarSnr"));
    if (!stored.isValid())
        return kDefaultMinStarSnr;
    bool ok = false;
    const double snr = stored.toString().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(snr) || snr <= 0) {
        notes.append(QStringLiteral("%1 [guide] minStarSnr: \"%2\" is not a number above 0; guiding uses %3.")
                         .arg(iniPath, stored.toString())
                         .arg(kDefaultMinStarSnr));
        return kDefaultMinStarSnr;
    }
    return snr;
}

namespace {
SimMountOptions mountOptions(const QString &iniPath, QStringList &notes)
{
    QString problem;
    SimMountOptions options = SimMountOptions::fromIni(iniPath, &problem);
    if (!problem.isEmpty())
        notes.append(problem);
    return options;
}
} // namespace

Program::Program(const QString &settingsFolder)
    : configPath_(QDir(settingsFolder).filePath(QStringLiteral("orvane.cfg"))),
      iniPath_(QDir(settingsFolder).filePath(QStringLiteral("orvane.ini"))),
      sky_(clock_.now(), skyMotionFromIni(iniPath_)),
      mount_(sky_, clock_, mountOptions(iniPath_, setupNotes_)),
      opener_(mount_, iniPath_, IndiWait{clock_, pump_}),
      port_(clock_, [] { return makeIeee1284Port(); })
{
    guiding_.MinStarSnr = minStarSnrFromIni(iniPath_, setupNotes_);
    QFile ini(iniPath_);
    if (ini.open(QIODevice::ReadOnly)) {
        const QByteArray text = ini.readAll();
        sequence_.SaveFormat = frameFormatFromIni(text, iniPath_, setupNotes_);
        guiding_.Options = guidingSettingsFromIni(text, iniPath_, setupNotes_);
        guiding_.chooseAlgorithm(guiding_.Options.algorithm);
    }
    guiding_.Axes = readCalibration(iniPath_);
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
