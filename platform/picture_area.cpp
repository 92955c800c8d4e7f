#include "picture_area.h"

#include "numbers.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace orvane {

PictureArea::PictureArea()
    : picture_(kWidth, kHeight, QImage::Format_RGB32), surface_(kWidth, kHeight, QImage::Format_RGB32)
{
    picture_.fill(rgbOf(kBackground));
    surface_.fill(rgbOf(kBackground));
}

void PictureArea::setPicture(const QImage &image)
{
    picture_ = image;
    surface_.fill(rgbOf(kBackground));
    QPainter painter(&surface_);
    painter.drawImage(0, 0, image);
    painter.end();
    emit changed();
}

void PictureArea::surfaceToPicture()
{
    picture_ = surface_;
}

uint32_t PictureArea::pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight)
        return 0;
    return colourNumber(reinterpret_cast<const QRgb *>(surface_.constScanLine(y))[x]);
}

void PictureArea::setPixel(int x, int y, uint32_t colour)
{
    if (x < 0 || y < 0 || x >= kWidth || y >= kHeight)
        return;
    reinterpret_cast<QRgb *>(surface_.scanLine(y))[x] = rgbOf(colour);
}

int PictureArea::pixelIndex(double coordinate)
{
    const double r = roundHalfEven(coordinate);
    return int(std::clamp(r, -1e6, 1e6));
}

void PictureArea::drawBox(double x1, double y1, double x2, double y2, uint32_t colour)
{
    const int left = pixelIndex(std::min(x1, x2)), right = pixelIndex(std::max(x1, x2));
    const int top = pixelIndex(std::min(y1, y2)), bottom = pixelIndex(std::max(y1, y2));
    const int xFrom = std::max(left, 0), xTo = std::min(right, kWidth - 1);
    const int yFrom = std::max(top, 0), yTo = std::min(bottom, kHeight - 1);
    for (int x = xFrom; x <= xTo; ++x) {
        setPixel(x, top, colour);
        setPixel(x, bottom, colour);
    }
    for (int y = yFrom; y <= yTo; ++y) {
        setPixel(left, y, colour);
        setPixel(right, y, colour);
    }
    emit changed();
}

Result PictureArea::loadPicture(const QString &path)
{
    const auto failure = [&path](const QString &cause) {
        return Result::failure(QStringLiteral("Cannot load the picture %1: %2.").arg(path, cause));
    };
    if (path.isEmpty())
        return Result::failure(QStringLiteral("Cannot load a picture: no file name was given."));
    const QFileInfo info(path);
    if (!info.exists())
        return failure(QStringLiteral("the file does not exist"));
    if (info.isDir())
        return failure(QStringLiteral("it is a folder, not a picture file"));

    QImageReader reader(path);
    reader.setAutoTransform(false);
    // Content decides the format, so a BMP under another extension still loads.
    reader.setDecideFormatFromContent(true);
    QImage image = reader.read();
    if (image.isNull()) {
        const QString cause = reader.error() == QImageReader::UnsupportedFormatError
                                  ? QStringLiteral("the file is not a picture in a known format")
                                  : reader.errorString();
        return failure(cause);
    }
    setPicture(image);
    return Result::success();
}

Result PictureArea::savePicture(const QString &path) const
{
    const auto failure = [&path](const QString &cause) {
        return Result::failure(QStringLiteral("Cannot save the picture %1: %2.").arg(path, cause));
    };
    if (path.isEmpty())
        return Result::failure(QStringLiteral("Cannot save the picture: no file name was given."));
    if (QFileInfo(path).isDir())
        return failure(QStringLiteral("a folder of that name is in the way"));

    // The whole file is made in memory first, so that a failure to write it is
    // a failure of the file alone and carries the system's reason.
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "bmp");
        // Converting first makes every picture (indexed, grey, with alpha) come
        // out in the writer's 24-bit uncompressed form: 54 header bytes, then
        // rows of 3 bytes a pixel, each row padded to 4 bytes.
        if (!writer.write(picture_.convertToFormat(QImage::Format_RGB888)))
            return failure(writer.errorString());
    }

    // The bytes go to a temporary file beside the target, which is renamed over
    // the target only when everything has been written.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString());
    if (const qint64 written = file.write(bytes); written != bytes.size()) {
        // A short write (file size limit, full disk) sets no error of its own,
        // and committing it would replace the old file by a cut one.
        const QString cause = file.error() != QFileDevice::NoError
                                  ? file.errorString()
                                  : QStringLiteral("only %1 of %2 bytes could be written; the disk may be full")
                                        .arg(qMax<qint64>(written, 0))
                                        .arg(bytes.size());
        file.cancelWriting();
        return failure(cause);
    }
    if (!file.commit())
        return failure(file.errorString());
    return Result::success();
}

} // namespace orvane
