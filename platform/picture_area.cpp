#include "picture_area.h"

#include "numbers.h"

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
    QImageReader reader(path);
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull())
        return Result::failure(QStringLiteral("Cannot load the picture %1: %2.")
                                   .arg(path, reader.errorString()));
    setPicture(image);
    return Result::success();
}

Result PictureArea::savePicture(const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Result::failure(QStringLiteral("Cannot save the picture %1: %2.").arg(path, file.errorString()));
    QImageWriter writer(&file, "bmp");
    // RGB888 makes the writer's 24-bit uncompressed form explicit.
    if (!writer.write(picture_.convertToFormat(QImage::Format_RGB888))) {
        file.cancelWriting();
        return Result::failure(QStringLiteral("Cannot save the picture %1: %2.").arg(path, writer.errorString()));
    }
    if (!file.commit())
        return Result::failure(QStringLiteral("Cannot save the picture %1: %2.").arg(path, file.errorString()));
    return Result::success();
}

} // namespace orvane
