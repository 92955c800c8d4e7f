// Numbered frame files: the name of each saved image frame and the save itself.

#include "rig.h"

#include "file_rewrite.h"
#include "frame_header.h"
#include "guide_log.h"
#include "numbers.h"
#include "serial_devices.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace orvane {

namespace {

QString cameraName(const CaptureDevices &camera)
{
    const CaptureSource *source = camera.sourceInUse();
    return source ? source->name() : QStringLiteral("none");
}

QString mountName(const MountLink &comm)
{
    return comm.CommPort() == kSimulatedMountPort ? QStringLiteral("simulated") : comm.device();
}

// The first index as typed in the Index box, rounded ties-to-even. A number
// beyond 16 bits is kept as it is (40000 gives frames from 40001 on) so long as
// it fits 32 bits; anything larger is held at the 32-bit limits. The sum with
// the frame number is then made in 64 bits, so no Index text can stop a run.
int64_t firstIndexValue(const QString &text)
{
    const double rounded = roundHalfEven(numericValue(text));
    if (std::isnan(rounded))
        return 0;
    const double low = std::numeric_limits<int32_t>::min();
    const double high = std::numeric_limits<int32_t>::max();
    return static_cast<int64_t>(std::clamp(rounded, low, high));
}

} // namespace

QString frameIndexText(int64_t index)
{
    QString text = QString::number(index);
    // Padded to three characters; the minus sign counts as one ("-4" -> "0-4").
    if (text.size() == 1)
        text.prepend(QStringLiteral("00"));
    else if (text.size() == 2)
        text.prepend(u'0');
    return text;
}

QString frameFileName(const QString &saveDir, const QString &stem, int64_t index)
{
    // The directory is used as it stands: a directory "/" gives "//Image001.bmp",
    // which the file system reads as "/Image001.bmp".
    return saveDir + u'/' + stem + frameIndexText(index) + QStringLiteral(".bmp");
}

QString fileStemProblem(const QString &stem)
{
    // A separator would put the frames outside the save folder, or into a folder
    // that is not there; without one, ".." is never a path part ("..001.bmp" is a
    // file in the folder like any other).
    if (stem.contains(u'/'))
        return QStringLiteral("\"File Name\" holds %1; a file name may not hold \"/\", so that the frames "
                              "stay in the save folder.").arg(stem);
    return {};
}

namespace {

// The names a frame is written under: the BMP name, the FITS name beside it, or both.
QStringList frameNames(const FrameFormat &format, const QString &saveDir, const QString &stem, int64_t index)
{
    const QString bmp = frameFileName(saveDir, stem, index);
    QStringList names;
    if (format.writesBmp())
        names << bmp;
    if (format.writesFits())
        names << fitsNameFor(bmp);
    return names;
}

// A name is taken by anything there, a link pointing nowhere included: a
// frame never follows a link in the save folder.
bool nameTaken(const QString &name)
{
    const QFileInfo info(name);
    return info.exists() || info.isSymLink();
}

QString takenName(const QStringList &names)
{
    for (const QString &name : names)
        if (nameTaken(name))
            return name;
    return {};
}

// The highest frame number of `stem` among the BMP and FITS names in `saveDir`
// (links and other entries count too), or nothing when there is none.
std::optional<int64_t> highestFrameIndex(const QString &saveDir, const QString &stem)
{
    const QRegularExpression frameName(QStringLiteral("^%1(0-[0-9]|-?[0-9]+)\\.(bmp|fits)$")
                                           .arg(QRegularExpression::escape(stem)));
    std::optional<int64_t> highest;
    const QDir dir(saveDir);
    for (const QString &entry : dir.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = frameName.match(entry);
        if (!match.hasMatch())
            continue;
        QString digits = match.captured(1);
        if (digits.startsWith(QStringLiteral("0-")))
            digits.remove(0, 1);
        bool ok = false;
        const int64_t index = digits.toLongLong(&ok);
        if (ok && index < std::numeric_limits<int32_t>::max() && (!highest || index > *highest))
            highest = index;
    }
    return highest;
}

QString fileNames(const QStringList &paths)
{
    QStringList names;
    for (const QString &path : paths)
        names << QFileInfo(path).fileName();
    return names.join(QStringLiteral(" and "));
}

} // namespace

QString fitsNameFor(const QString &bmpName)
{
    QString name = bmpName;
    name.chop(4); // ".bmp"
    return name + QStringLiteral(".fits");
}

Result Rig::saveFits(const QString &path, int64_t index)
{
    const SequenceState &seq = c_.sequence;
    takePointing();
    const FrameFacts facts{
        .exposure = seq.ReadOut,
        .utcStartMs = c_.clock.utcMs(seq.ReadOut.startMs),
        .index = index,
        .frameNumber = seq.FrameNumber,
        .lineDoubled = c_.panel.lineDoublingTicked(),
        .camera = cameraName(c_.camera),
        .mount = mountName(c_.comm),
        .simulated = simulatedParts(c_.camera, c_.settings, c_.port),
        .site = seq.SaveFormat.site,
        .optics = &seq.optics,
        .pointing = c_.comm.pointing(),
    };
    const auto failure = [&path](const QString &cause) {
        return Result::failure(QStringLiteral("Cannot save the FITS frame %1: %2.").arg(path, cause));
    };
    // A camera whose frames are scaled into the picture area keeps its own size in FITS.
    const CaptureSource *source = c_.camera.sourceInUse();
    const QImage full = source && !facts.lineDoubled ? source->fullSizeFrame() : QImage();
    ResultOf<QByteArray> bytes = encodeFits(full.isNull() ? c_.picture.picture() : full,
                                            seq.SaveFormat.planes == SavePlanes::Mono, frameKeywords(facts));
    if (!bytes)
        return failure(bytes.error());
    if (QFileInfo(path).isDir())
        return failure(QStringLiteral("a folder of that name is in the way"));
    if (Result written = writeWholeFile(path, bytes.value(), FileLinks::Refuse); !written)
        return failure(written.error());
    return Result::success();
}

void Rig::recordFrame(const QString &fileName)
{
    const ExposureRecord &e = c_.sequence.ReadOut;
    const GuideStats &g = e.guide;
    const FrameRow row{.fileName = fileName,
                       .utcStart = isoUtc(c_.clock.utcMs(e.startMs)),
                       .utcEnd = isoUtc(c_.clock.utcMs(e.endMs)),
                       .exposureS = elapsedMs(e.startMs, e.endMs) / 1000.0,
                       .camera = cameraName(c_.camera),
                       .mount = mountName(c_.comm),
                       .lineDoubled = c_.panel.lineDoublingTicked(),
                       .guideSteps = g.steps,
                       .lostSteps = g.lostSteps,
                       .rmsXPx = g.rmsXPx(),
                       .rmsYPx = g.rmsYPx(),
                       .rmsPx = g.rmsPx(),
                       .peakPx = g.peakPx,
                       .arcsecPerPx = guideScale(c_.sequence.optics)};
    if (Result written = appendFrameRecord(framesFolder(), row); !written) {
        const QString told = QStringLiteral("frames.csv in %1 cannot be written: %2. The frames themselves are saved.")
                                 .arg(framesFolder(), written.error());
        if (told != framesCsvTold_) // once, not at every frame
            c_.panel.notify(told);
        framesCsvTold_ = told;
    }
}

QString Rig::framesFolder() const
{
    return nightFolder(c_.sequence.SaveDir, c_.sequence.SaveFormat.nightFolders,
                       QDateTime::fromMSecsSinceEpoch(c_.clock.utcMs(c_.clock.now())));
}

void Rig::showNextFirstIndex()
{
    const QString stem = c_.panel.fileStem();
    if (!fileStemProblem(stem).isEmpty())
        return;
    // The first frame of a run is numbered Index + 1.
    if (const auto highest = highestFrameIndex(framesFolder(), stem);
        highest && *highest >= firstIndexValue(c_.panel.firstIndex()) + 1)
        c_.panel.setFirstIndex(QString::number(*highest));
}

Result Rig::SaveImageFrame(bool frameDelivered)
{
    savedFrame_.clear();
    const FrameFormat &format = c_.sequence.SaveFormat;
    const int64_t firstIndex = firstIndexValue(c_.panel.firstIndex());
    int64_t index = firstIndex + int64_t(c_.sequence.FrameNumber) - 1;
    const QString folder = framesFolder();
    if (format.nightFolders)
        QDir().mkpath(folder); // a folder that cannot be made is told by the write that fails in it
    const auto namesAt = [&](int64_t i) { return frameNames(format, folder, c_.panel.fileStem(), i); };
    QStringList names = namesAt(index);
    const QString name = names.join(QStringLiteral(" and "));

    // The box may have been edited since Start.
    if (const QString problem = fileStemProblem(c_.panel.fileStem()); !problem.isEmpty()) {
        const Result refused = Result::failure(QStringLiteral("The image frame was not saved. %1").arg(problem));
        c_.panel.notify(refused.error());
        return refused;
    }

    // While the deinterlace tool holds the picture area, the area shows one of
    // its files, not this frame: saving it under the frame's name would be wrong.
    if (c_.picture.reserved()) {
        const Result refused = Result::failure(
            QStringLiteral("The image frame was not saved to %1: the picture area is in use by %2.")
                .arg(name, c_.picture.holder()));
        c_.panel.notify(refused.error());
        return refused;
    }

    // The picture still shows an earlier frame or guide frame; under this
    // frame's name it would pass for a frame it is not.
    if (!frameDelivered) {
        const Result missing = Result::failure(
            QStringLiteral("The image frame was not saved to %1: the camera delivered no picture for it.").arg(name));
        c_.panel.notify(missing.error());
        return missing;
    }

    // A frame never replaces a file that is there (last night's Image001.bmp,
    // or its .fits) nor follows a link: the series goes on after the highest
    // number of this stem in the folder (not in a gap among last night's
    // frames), free under every name it is written under, and the Index box
    // moves on so that it shows the offset the numbering now uses.
    if (const QString taken = takenName(names); !taken.isEmpty()) {
        if (const auto highest = highestFrameIndex(folder, c_.panel.fileStem()); highest && *highest >= index)
            names = namesAt(index = *highest + 1);
        while (!takenName(names).isEmpty())
            names = namesAt(++index);
        c_.panel.setFirstIndex(QString::number(index - (int64_t(c_.sequence.FrameNumber) - 1)));
        const QString told = QFileInfo(taken).isSymLink()
                                 ? QStringLiteral("%1 is a symbolic link, left alone; this frame is saved as %2 and the "
                                                  "numbering goes on from there.")
                                 : QStringLiteral("%1 is there already; this frame is saved as %2 and the numbering goes on "
                                                  "from there.");
        c_.panel.notify(told.arg(QFileInfo(taken).fileName(), fileNames(names)));
    }

    c_.panel.showActivity(QStringLiteral("saving %1").arg(fileNames(names)));
    QStringList problems, saved;
    for (const QString &path : names) {
        const Result written = path.endsWith(QStringLiteral(".fits")) ? saveFits(path, index)
                                                                     : c_.picture.savePicture(path, FileLinks::Refuse);
        if (written)
            saved << path;
        else
            problems << written.error();
    }
    if (!saved.isEmpty()) {
        c_.panel.frameSaved(saved.first());
        savedFrame_ = fileNames(saved);
        recordFrame(savedFrame_);
    }
    if (problems.isEmpty())
        return Result::success();
    // The sequence goes on; the user hears of it once, without a blocking box.
    const QString told = saved.isEmpty()
                             ? QStringLiteral("The image frame was not saved. %1").arg(problems.join(u' '))
                             : QStringLiteral("The image frame was saved as %1 only. %2").arg(fileNames(saved), problems.join(u' '));
    c_.panel.notify(told);
    return Result::failure(problems.join(u' '));
}

} // namespace orvane
