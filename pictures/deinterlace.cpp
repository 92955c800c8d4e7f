#include "deinterlace.h"

#include "file_rewrite.h"
#include "numbers.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    FileRewriteBatch rewrites;
    if (count == 1) {
        if (Result r = processOne(selection.paths.front(), true, rewrites); !r)
            return r;
        if (Result r = commitRewrites(rewrites, selection.paths.front()); !r)
            return r;
        setStatus_(QStringLiteral("Ready"));
        pump_.processEvents();
        return Result::success();
    }
    for (qsizetype i = 1; i <= count; ++i) {
        setStatus_(QStringLiteral("File ") + numberText(int64_t(i)) + u'/' + numberText(int64_t(count)));
        pump_.processEvents();
        const QString &path = selection.paths.at(i - 1);
        if (Result r = processOne(path, false, rewrites); !r) {
            // The files before it are rewritten all the same.
            if (Result committed = commitRewrites(rewrites, path); !committed)
                return committed;
            return r;
        }
        if (rewrites.pending() >= kFilesPerCommit)
            if (Result r = commitRewrites(rewrites, path); !r)
                return r;
        pump_.processEvents();
    }
    if (Result r = commitRewrites(rewrites, selection.paths.back()); !r)
        return r;
    setStatus_(QStringLiteral("Ready"));
    return Result::success();
}

Result DeinterlaceBatch::commitRewrites(FileRewriteBatch &rewrites, const QString &current)
{
    if (Result committed = rewrites.commit(); !committed) {
        setStatus_(QStringLiteral("Stopped at ") + current);
        return Result::failure(QStringLiteral("Cannot save the picture %1. The files before it in this part of the "
                                              "batch keep their old content.").arg(committed.error()));
    }
    return Result::success();
}

QByteArray DeinterlaceBatch::readWhole(const QString &path)
{
    // Opened without waiting, so a pipe under a picture's name is never read;
    // anything but a plain file of a picture's size is left to the picture
    // area's load, which names the cause.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {};
    }
    struct stat st {};
    constexpr qint64 kLargestPicture = qint64(64) << 20; // bytes; a 640 x 480 frame is under 1 MiB
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kLargestPicture)
        return {};
    QByteArray bytes = file.readAll();
    return file.error() == QFileDevice::NoError ? bytes : QByteArray();
}

void DeinterlaceFitsRows(FitsImage &image)
{
    for (int plane = 0; plane < image.planes; ++plane)
        for (int y = 2; y + 1 < image.height; y += 4)
            for (int x = 0; x < image.width; ++x) {
                image.at(plane, x, y) = image.at(plane, x, y - 1);
                if (y + 2 < image.height)
                    image.at(plane, x, y + 1) = image.at(plane, x, y + 2);
            }
}

Result DeinterlaceBatch::processOne(const QString &path, bool single, FileRewriteBatch &rewrites)
{
    const auto stopped = [&](const Result &failure) {
        setStatus_(QStringLiteral("Stopped at ") + path);
        return failure;
    };
    // The file is read once: its first bytes say its form, and the same bytes
    // are shown and filled.
    const QByteArray bytes = readWhole(path);
    if (!bytes.isEmpty() && !bytes.startsWith("BM") && !looksLikeFits(bytes))
        return stopped(Result::failure(
            QStringLiteral("Cannot deinterlace %1: it is neither a BMP nor a FITS picture, the forms this tool "
                           "writes back, so it was left as it is.").arg(path)));
    if (Result loaded = bytes.isEmpty() ? area_.loadPicture(path) : area_.loadPictureBytes(path, bytes); !loaded)
        return stopped(loaded);
    if (looksLikeFits(bytes))
        return processFits(path, bytes, single, rewrites);
    if (single)
        setStatus_(QStringLiteral("Deinterlacing"));
    pump_.processEvents();
    DeinterlaceRows(area_);
    area_.refresh();
    area_.surfaceToPicture();
    if (Result staged = rewrites.add(path, area_.pictureAsBmp()); !staged)
        return stopped(Result::failure(QStringLiteral("Cannot save the picture %1: %2.").arg(path, staged.error())));
    return Result::success();
}

} // namespace orvane

namespace orvane {

Result DeinterlaceBatch::processFits(const QString &path, const QByteArray &bytes, bool single,
                                     FileRewriteBatch &rewrites)
{
    // The picture area shows the file, as for a BMP; the rows are filled in the
    // file's own pixels, all their bits kept, and the file keeps its header.
    const auto stopped = [&](const QString &cause) {
        setStatus_(QStringLiteral("Stopped at ") + path);
        return Result::failure(QStringLiteral("Cannot save the picture %1: %2.").arg(path, cause));
    };
    ResultOf<FitsImage> image = decodeFits(bytes);
    if (!image)
        return stopped(image.error());
    if (single)
        setStatus_(QStringLiteral("Deinterlacing"));
    pump_.processEvents();
    DeinterlaceFitsRows(image.value());
    const ResultOf<QByteArray> filled = encodeFitsKeepingHeader(
        image.value(), {QStringLiteral("Deinterlaced: rows 4k+2 and 4k+3 copied from rows 4k+1 and 4k+4")});
    if (!filled)
        return stopped(filled.error());
    if (Result written = rewrites.add(path, filled.value()); !written)
        return stopped(written.error());
    area_.setPicture(fitsDisplayImage(image.value()));
    return Result::success();
}

} // namespace orvane
