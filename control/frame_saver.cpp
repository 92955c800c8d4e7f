// Numbered frame files: the name of each saved image frame and the save itself.

#include "rig.h"

#include "numbers.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvane {

namespace {

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
    // A separator or ".." would put the frames outside the save folder, or into a
    // folder that is not there.
    for (const QString &part : {QStringLiteral("/"), QStringLiteral("..")})
        if (stem.contains(part))
            return QStringLiteral("\"File Name\" holds %1; a file name may not hold \"%2\", so that the frames "
                                  "stay in the save folder.").arg(stem, part);
    return {};
}

Result Rig::SaveImageFrame(bool frameDelivered)
{
    const int64_t firstIndex = firstIndexValue(c_.panel.firstIndex());
    int64_t index = firstIndex + int64_t(c_.sequence.FrameNumber) - 1;
    QString name = frameFileName(c_.sequence.SaveDir, c_.panel.fileStem(), index);

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

    // A frame never replaces a file that is there (last night's Image001.bmp): it
    // takes the next free number, and the Index box moves on so the frames after
    // it follow from there.
    if (QFileInfo::exists(name)) {
        const QString taken = name;
        while (QFileInfo::exists(name))
            name = frameFileName(c_.sequence.SaveDir, c_.panel.fileStem(), ++index);
        c_.panel.setFirstIndex(QString::number(index - (int64_t(c_.sequence.FrameNumber) - 1)));
        c_.panel.notify(QStringLiteral("%1 is there already; this frame is saved as %2 and the numbering goes on from there.")
                            .arg(QFileInfo(taken).fileName(), QFileInfo(name).fileName()));
    }

    c_.panel.showActivity(QStringLiteral("saving %1").arg(QFileInfo(name).fileName()));
    const Result saved = c_.picture.savePicture(name);
    if (saved)
        c_.panel.frameSaved(name);
    else // the sequence goes on; the user hears of it without a blocking box
        c_.panel.notify(QStringLiteral("The image frame was not saved. %1").arg(saved.error()));
    return saved;
}

} // namespace orvane
