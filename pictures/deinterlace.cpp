#include "deinterlace.h"

#include "numbers.h"

#include <QFileInfo>

#include <cstring>

namespace orvane {

namespace {

void copyRow(QImage &surface, int from, int to)
{
    std::memcpy(surface.scanLine(to), surface.constScanLine(from), size_t(surface.bytesPerLine()));
}

// Holds the picture area from construction to destruction, failure or not.
class Reservation {
public:
    Reservation(PictureArea &area, const QString &holder) : area_(area) { area_.reserve(holder); }
    ~Reservation() { area_.release(); }
    Reservation(const Reservation &) = delete;
    Reservation &operator=(const Reservation &) = delete;

private:
    PictureArea &area_;
};

} // namespace

QString areaUser(const PictureArea &area)
{
    if (area.reserved())
        return area.holder();
    if (area.sequenceWriting())
        return QStringLiteral("the imaging sequence");
    return {};
}

void DeinterlaceRows(PictureArea &area)
{
    QImage &surface = area.surfaceForWriting();
    const int height = surface.height();
    // Rows written have y mod 4 = 2 or 3, rows read y mod 4 = 1 or 0: no row is
    // read after it was written, so the order of the copies does not matter.
    for (int y = 2; y + 1 < height; y += 4) {
        copyRow(surface, y - 1, y);
        if (y + 2 < height)
            copyRow(surface, y + 2, y + 1);
    }
}

DeinterlaceSelection selectionFromDialog(const QStringList &chosen)
{
    DeinterlaceSelection selection;
    QStringList files;
    for (const QString &path : chosen)
        if (!path.isEmpty())
            files.append(path);
    if (files.isEmpty())
        return selection;
    if (files.size() == 1) {
        selection.heading = files.front();
        selection.paths = files;
        return selection;
    }
    for (const QString &path : files) {
        const QFileInfo info(path);
        selection.paths.append(joinPath(info.path(), info.fileName()));
    }
    selection.heading = QFileInfo(files.front()).path();
    return selection;
}

QString joinPath(const QString &directory, const QString &name)
{
    if (directory.isEmpty())
        return name;
    return directory.endsWith(u'/') ? directory + name : directory + u'/' + name;
}

DeinterlaceBatch::DeinterlaceBatch(PictureArea &area, EventPump &pump, StatusFunction setStatus)
    : area_(area), pump_(pump), setStatus_(std::move(setStatus))
{
}

Result DeinterlaceBatch::run(const DeinterlaceSelection &selection)
{
    const qsizetype count = selection.paths.size();
    setStatus_(numberText(int64_t(count)) + QStringLiteral("Files selected ") + selection.heading);
    if (count == 0)
        return Result::success();
    if (const QString user = areaUser(area_); !user.isEmpty())
        return Result::failure(QStringLiteral("The files were not deinterlaced: the picture area is in use by %1.").arg(user));

    const Reservation hold(area_, kHolder);
    if (count == 1) {
        if (Result r = processOne(selection.paths.front(), true); !r)
            return r;
        setStatus_(QStringLiteral("Ready"));
        pump_.processEvents();
        return Result::success();
    }
    for (qsizetype i = 1; i <= count; ++i) {
        setStatus_(QStringLiteral("File ") + numberText(int64_t(i)) + u'/' + numberText(int64_t(count)));
        pump_.processEvents();
        if (Result r = processOne(selection.paths.at(i - 1), false); !r)
            return r;
        pump_.processEvents();
    }
    setStatus_(QStringLiteral("Ready"));
    return Result::success();
}

Result DeinterlaceBatch::processOne(const QString &path, bool single)
{
    const auto stopped = [&](const Result &failure) {
        setStatus_(QStringLiteral("Stopped at ") + path);
        return failure;
    };
    if (Result loaded = area_.loadPicture(path); !loaded)
        return stopped(loaded);
    if (single)
        setStatus_(QStringLiteral("Deinterlacing"));
    pump_.processEvents();
    DeinterlaceRows(area_);
    area_.refresh();
    area_.surfaceToPicture();
    if (Result saved = area_.savePicture(path); !saved)
        return stopped(saved);
    return Result::success();
}

} // namespace orvane
