#include "picture_area.h"

#include "file_rewrite.h"
#include "fits_file.h"
#include "numbers.h"
#include "pixel_view.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <functional>

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
    if (image.size() == surface_.size() && image.format() == QImage::Format_RGB32) {
        surface_ = image.copy(); // a whole opaque frame covers the background: its pixels as they are
    } else {
        surface_.fill(rgbOf(kBackground));
        QPainter painter(&surface_);
        painter.drawImage(0, 0, image);
        painter.end();
    }
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
    return orvane::pixelIndex(coordinate);
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

namespace {

// The uncompressed 24-bit BMP, the form of every frame the program handles,
// read and written directly: the image plug-ins go through each pixel several
// times, which made a batch of frames many times slower than copying them.
// Every other file goes to the image readers.

constexpr int kBmpHeaderBytes = 54; // 14-byte file header + 40-byte info header

uint32_t field32(const uchar *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t field16(const uchar *p) { return uint16_t(p[0] | p[1] << 8); }
void put32(uchar *p, uint32_t v) { p[0] = uchar(v); p[1] = uchar(v >> 8); p[2] = uchar(v >> 16); p[3] = uchar(v >> 24); }
void put16(uchar *p, uint16_t v) { p[0] = uchar(v); p[1] = uchar(v >> 8); }

// Bytes of one stored row of a 24-bit picture: 3 a pixel, padded to 4.
qsizetype bmpRowBytes(qsizetype width) { return (width * 3 + 3) / 4 * 4; }

// A null image when the bytes are not an uncompressed 24-bit BMP that is whole.
QImage decodeBmp24(const QByteArray &file)
{
    if (file.size() < kBmpHeaderBytes || file[0] != 'B' || file[1] != 'M')
        return {};
    const auto *h = reinterpret_cast<const uchar *>(file.constData());
    const qint64 pixelOffset = field32(h + 10);
    const uint32_t infoSize = field32(h + 14);
    const qint64 width = int32_t(field32(h + 18));
    const qint64 signedHeight = int32_t(field32(h + 22));
    if (infoSize < 40 || field16(h + 26) != 1 || field16(h + 28) != 24 || field32(h + 30) != 0)
        return {};
    const qint64 height = signedHeight < 0 ? -signedHeight : signedHeight; // negative: top row first
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767)
        return {};
    const qint64 rowBytes = bmpRowBytes(width);
    if (pixelOffset < 14 + qint64(infoSize) || pixelOffset + rowBytes * height > file.size())
        return {};

    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    for (qint64 y = 0; y < height; ++y) {
        const qint64 stored = signedHeight < 0 ? y : height - 1 - y;
        const uchar *in = h + pixelOffset + stored * rowBytes;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(int(y)));
        for (qint64 x = 0; x < width; ++x, in += 3)
            out[x] = qRgb(in[2], in[1], in[0]);
    }
    return image;
}

// Bytes missing at the end of an uncompressed BMP whose header promises more
// pixel rows than the file holds (0 for any other file). The image readers
// would show such a file with blank rows in place of the lost ones.
qint64 bmpBytesMissing(const QByteArray &file)
{
    if (file.size() < kBmpHeaderBytes || file[0] != 'B' || file[1] != 'M')
        return 0;
    const auto *h = reinterpret_cast<const uchar *>(file.constData());
    const qint64 bits = field16(h + 28);
    const uint32_t compression = field32(h + 30);
    const qint64 width = int32_t(field32(h + 18));
    const qint64 signedHeight = int32_t(field32(h + 22));
    const qint64 height = signedHeight < 0 ? -signedHeight : signedHeight;
    if (compression != 0 || width <= 0 || width > 32767 || height > 32767)
        return 0;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return 0;
    const qint64 rowBytes = (width * bits + 31) / 32 * 4;
    const qint64 needed = qint64(field32(h + 10)) + rowBytes * height;
    return std::max<qint64>(needed - file.size(), 0);
}

// The picture as an uncompressed 24-bit BMP, bottom row first.
QByteArray encodeBmp24(const QImage &picture)
{
    const QImage image = picture.format() == QImage::Format_RGB32 ? picture
                                                                   : picture.convertToFormat(QImage::Format_RGB32);
    const qsizetype width = image.width(), height = image.height();
    const qsizetype rowBytes = bmpRowBytes(width);
    QByteArray file(kBmpHeaderBytes + rowBytes * height, '\0');
    auto *h = reinterpret_cast<uchar *>(file.data());
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, uint32_t(file.size()));
    put32(h + 10, kBmpHeaderBytes);
    put32(h + 14, 40);
    put32(h + 18, uint32_t(width));
    put32(h + 22, uint32_t(height));
    put16(h + 26, 1);  // planes
    put16(h + 28, 24); // bits a pixel
    put32(h + 34, uint32_t(rowBytes * height));
    put32(h + 38, uint32_t(std::max(image.dotsPerMeterX(), 0)));
    put32(h + 42, uint32_t(std::max(image.dotsPerMeterY(), 0)));
    for (qsizetype y = 0; y < height; ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(image.constScanLine(int(y)));
        uchar *out = h + kBmpHeaderBytes + (height - 1 - y) * rowBytes;
        for (qsizetype x = 0; x < width; ++x, out += 3) {
            out[0] = uchar(qBlue(in[x]));
            out[1] = uchar(qGreen(in[x]));
            out[2] = uchar(qRed(in[x]));
        }
    }
    return file;
}

} // namespace

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
    // A device or a pipe (the deinterlace dialog offers every file) would be
    // read without end.
    if (!info.isFile())
        return failure(QStringLiteral("it is not a plain file"));
    constexpr qint64 kLargestFile = qint64(512) << 20; // bytes; a 640 x 480 frame is under 1 MiB
    if (info.size() > kLargestFile)
        return failure(QStringLiteral("the file is too large to be a picture (%1 bytes)").arg(info.size()));

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return failure(file.errorString());
    file.close();
    return loadPictureBytes(path, bytes);
}

Result PictureArea::loadPictureBytes(const QString &path, const QByteArray &bytes)
{
    const auto failure = [&path](const QString &cause) {
        return Result::failure(QStringLiteral("Cannot load the picture %1: %2.").arg(path, cause));
    };
    if (looksLikeFits(bytes)) {
        const ResultOf<FitsImage> fits = decodeFits(bytes);
        if (!fits)
            return failure(QStringLiteral("it is no FITS picture that can be shown: %1").arg(fits.error()));
        auto loaded = std::make_shared<FitsImage>(std::move(fits.value()));
        setPicture(fitsDisplayImage(*loaded));
        loadedFits_ = std::move(loaded);
        loadedFitsKey_ = picture_.cacheKey();
        return Result::success();
    }
    if (const qint64 missing = bmpBytesMissing(bytes); missing > 0)
        return failure(QStringLiteral("the file is cut short, %1 bytes of its pixels are missing").arg(missing));
    QImage image = decodeBmp24(bytes);
    if (image.isNull()) {
        // Any other format the image readers know; the content decides, so a
        // BMP under another extension still loads.
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        reader.setAutoTransform(false);
        image = reader.read();
        if (image.isNull()) {
            const QString cause = reader.error() == QImageReader::UnsupportedFormatError
                                      ? QStringLiteral("the file is not a picture in a known format")
                                      : reader.errorString();
            return failure(cause);
        }
    }
    setPicture(image);
    return Result::success();
}

QByteArray PictureArea::pictureAsBmp() const
{
    return encodeBmp24(picture_);
}

namespace {

// Writes the picture file made by `encode` under `path`, whole or not at all; the
// sentence names the file and the cause. The whole file is made in memory first,
// so that a failure to write it is a failure of the file alone and carries the
// system's reason. A pipe or a device node under that name (Load refuses them
// too) is no picture file to replace: it is left as it is.
Result savePictureFile(const QString &path, const std::function<ResultOf<QByteArray>()> &encode, FileLinks links)
{
    const auto failure = [&path](const QString &cause) {
        return Result::failure(QStringLiteral("Cannot save the picture %1: %2.").arg(path, cause));
    };
    if (path.isEmpty())
        return Result::failure(QStringLiteral("Cannot save the picture: no file name was given."));
    if (QFileInfo(path).isDir())
        return failure(QStringLiteral("a folder of that name is in the way"));
    const ResultOf<QByteArray> bytes = encode();
    if (!bytes)
        return failure(bytes.error());
    if (Result written = writeWholeFile(path, bytes.value(), links); !written)
        return failure(written.error());
    return Result::success();
}

} // namespace

Result PictureArea::savePicture(const QString &path, FileLinks links) const
{
    // Every picture (indexed, grey, with alpha) comes out as a 24-bit uncompressed
    // BMP: 54 header bytes, then rows of 3 bytes a pixel, each padded to 4 bytes.
    return savePictureFile(path, [this] { return ResultOf<QByteArray>(encodeBmp24(picture_)); }, links);
}

const FitsImage *PictureArea::shownFits() const
{
    return loadedFits_ && picture_.cacheKey() == loadedFitsKey_ ? loadedFits_.get() : nullptr;
}

Result PictureArea::savePictureAsFits(const QString &path) const
{
    return savePictureFile(path, [this] {
        const FitsImage *fits = shownFits(); // a loaded FITS frame keeps its own data and header
        return fits ? encodeFitsKeepingHeader(*fits, {}) : encodeFits(picture_, false, {});
    }, FileLinks::Follow);
}

} // namespace orvane
