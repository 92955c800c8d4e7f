#include "guide_log.h"

#include "file_rewrite.h"
#include "ini_values.h"
#include "projected_moves.h"
#include "serial_devices.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace orvane {

namespace {

const QString kDefaultFolder = QStringLiteral("guide-logs");

// Appends `text` to the open `file` and flushes it; on a failure cuts the file
// back to where it was, so no half line is left for later lines to follow.
Result appendFlushed(QFile &file, const QByteArray &text)
{
    const qint64 before = file.size();
    if (file.write(text) == text.size() && file.flush())
        return Result::success();
    const QString cause = file.errorString();
    file.resize(before);
    return Result::failure(cause);
}

QByteArray linesText(const QStringList &lines)
{
    QByteArray text;
    for (const QString &line : lines)
        text += line.toUtf8() + '\n';
    return text;
}

} // namespace

GuideLogOptions guideLogOptionsFromIni(const QString &iniPath, QStringList &notes)
{
    IniValues ini = IniValues::read(iniPath, notes);
    GuideLogOptions options;
    options.folder = ini.text("guidelog", "folder").value_or(QString());
    options.enabled = ini.truth("guidelog", "enabled", QStringLiteral("true (the guide log is written)")).value_or(true);
    return options;
}

GuideLog::GuideLog(const RigContext &context, GuideLogOptions options) : c_(context), options_(std::move(options)) {}

GuideLog::~GuideLog()
{
    if (file_.isOpen())
        write({guideLogClosed(localAt(c_.clock.now()))});
}

QString GuideLog::folder() const
{
    // One folder a night holds its log itself, beside its frames and frames.csv.
    const bool night = c_.sequence.SaveFormat.nightFolders;
    const QDir saveDir(nightFolder(c_.sequence.SaveDir, night, localAt(c_.clock.now())));
    if (night && options_.folder.isEmpty())
        return saveDir.path();
    return QDir::cleanPath(saveDir.filePath(options_.folder.isEmpty() ? kDefaultFolder : options_.folder));
}

QDateTime GuideLog::localAt(uint32_t clockMs) const
{
    return QDateTime::fromMSecsSinceEpoch(c_.clock.utcMs(clockMs));
}

void GuideLog::fail(const QString &cause)
{
    file_.close();
    const QString sentence =
        QStringLiteral("The guide log cannot be written in %1: %2. Guiding goes on without it.").arg(folder(), cause);
    if (sentence != told_)
        c_.panel.notify(sentence);
    told_ = sentence;
}

bool GuideLog::open(const QDateTime &now)
{
    const QString dir = folder();
    if (file_.isOpen() && openFolder_ == QFileInfo(dir).absoluteFilePath())
        return true;
    file_.close();
    if (!QDir().mkpath(dir)) {
        fail(QStringLiteral("the folder cannot be made"));
        return false;
    }
    // Tonight's file is the newest one begun since last noon; else a new one.
    QString name = guideLogFileName(now);
    const QStringList logs = QDir(dir).entryList({QStringLiteral("guide_log-*.txt")}, QDir::Files | QDir::System, QDir::Name);
    for (auto it = logs.rbegin(); it != logs.rend(); ++it)
        if (const auto begun = guideLogFileTime(*it); begun && sameNight(*begun, now)) {
            name = *it;
            break;
        }
    // A link or a pipe under tonight's name is told and left alone.
    const QString path = QDir(dir).filePath(name);
    const ResultOf<int> fd = openPlainFile(path, O_WRONLY | O_APPEND | O_CREAT);
    if (!fd) {
        fail(QStringLiteral("%1: %2").arg(name, fd.error()));
        return false;
    }
    if (!file_.open(fd.value(), QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        ::close(fd.value());
        fail(file_.errorString());
        return false;
    }
    openFolder_ = QFileInfo(dir).absoluteFilePath();
    filePath_ = path;
    return file_.size() > 0 || write(guideLogOpening(QStringLiteral("Orvane version " ORVANE_VERSION), now));
}

bool GuideLog::write(const QStringList &lines)
{
    if (!file_.isOpen())
        return false;
    if (Result written = appendFlushed(file_, linesText(lines)); !written) {
        fail(written.error());
        return false;
    }
    return true;
}

void GuideLog::guideStep(const GuideStep &step)
{
    if (!inRun_)
        return;
    const AxisLetters axes{c_.settings.DirLeft, c_.settings.DirRight, c_.settings.DirUp, c_.settings.DirDown};
    if (step.starFound && step.stars > 0 && step.stars != stars_) {
        stars_ = step.stars;
        write({guideLogStarCount(stars_)});
    }
    write({guideLogRow(++steps_, elapsedMs(beganMs_, step.timeMs) / 1000.0, step, axes)});
}

void GuideLog::guideEvent(GuideEvent event, uint32_t timeMs, const QString &text)
{
    if (event == GuideEvent::GuidingBegins) {
        if (!options_.enabled || !open(localAt(timeMs)))
            return;
        inRun_ = true;
        beganMs_ = timeMs;
        steps_ = 0;
        stars_ = 1;
        const QString mount = c_.comm.CommPort() == kSimulatedMountPort ? QStringLiteral("simulated") : c_.comm.device();
        write(guideLogRunHeader({localAt(timeMs), mount, c_.guiding.Axes.value_or(pictureAxes(c_.settings.PixPerSec)),
                                 guideScale(c_.sequence.optics), c_.sequence.optics.guideFocalLengthMm,
                                 QPointF(c_.sequence.StarX + c_.guiding.LockDX, c_.sequence.StarY + c_.guiding.LockDY)}));
        return;
    }
    if (!inRun_)
        return;
    if (event == GuideEvent::GuidingEnds) {
        inRun_ = false;
        write({guideLogEnds(localAt(timeMs)), {}});
        return;
    }
    write({guideLogInfo(event, text)});
}

void GuideLog::writeCalibration(const QStringList &lines)
{
    if (options_.enabled && open(localAt(c_.clock.now())))
        write(lines);
}

Result appendFrameRecord(const QString &saveDir, const FrameRow &row)
{
    // A link or a pipe named frames.csv is told and left alone, never waited on.
    const ResultOf<int> fd = openPlainFile(QDir(saveDir).filePath(QStringLiteral("frames.csv")), O_WRONLY | O_APPEND | O_CREAT);
    if (!fd)
        return Result::failure(fd.error());
    QFile file;
    if (!file.open(fd.value(), QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle)) {
        ::close(fd.value());
        return Result::failure(file.errorString());
    }
    QStringList lines;
    if (file.size() == 0)
        lines << framesCsvHeader();
    lines << framesCsvRow(row);
    return appendFlushed(file, linesText(lines));
}

} // namespace orvane
