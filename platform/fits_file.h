#pragma once
// FITS picture files through cfitsio: a frame written as 8-bit planes under a
// header of keywords, and the primary image of any FITS file (8- or 16-bit,
// one or three planes) read back for display and for rewriting in place.
//
// Rows are stored bottom-up, the standard FITS order (the first stored row is
// the bottom of the picture), so viewers show the frames upright; a file that
// says ROWORDER = 'TOP-DOWN' is read the other way round.

#include "result.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>
#include <variant>
#include <vector>

namespace orvane {

// One header keyword: name (at most 8 characters), value and comment.
struct FitsKeyword {
    QByteArray name;
    std::variant<bool, int64_t, double, QString> value;
    QString comment;
    int decimals = 3; // digits after the point of a double value
};

// The primary image of a FITS file as stored.
struct FitsImage {
    int bitpix = 8; // 8 (unsigned bytes) or 16 (signed, often with BZERO = 32768)
    int width = 0, height = 0, planes = 1; // pixels; planes 1 or 3 (red, green, blue)
    bool topDown = false; // ROWORDER = 'TOP-DOWN': the first stored row is the top
    double bscale = 1, bzero = 0; // physical value = bzero + bscale x stored value
    std::vector<int32_t> stored;  // plane by plane, row by row as stored
    QByteArray file;              // the whole file read, whose header a rewrite keeps

    // The stored value of pixel (x, y) of `plane`, y counted from the picture's top.
    int32_t &at(int plane, int x, int y) { return stored[index(plane, x, y)]; }
    int32_t at(int plane, int x, int y) const { return stored[index(plane, x, y)]; }

private:
    size_t index(int plane, int x, int y) const
    {
        const int row = topDown ? y : height - 1 - y;
        return (size_t(plane) * size_t(height) + size_t(row)) * size_t(width) + size_t(x);
    }
};

// True when the bytes begin like a FITS file ("SIMPLE  =").
bool looksLikeFits(const QByteArray &start);

// Reads the primary image. A file that is cut short, whose header lies about
// its size, or whose image is not 8- or 16-bit with one or three planes of at
// most 32767 x 32767 pixels is refused with the cause, before anything the
// size of the image is made.
ResultOf<FitsImage> decodeFits(const QByteArray &file);

// The picture for display: 8-bit data without scaling is shown as it is,
// anything else scaled linearly from its least to its greatest value onto 0..255.
QImage fitsDisplayImage(const FitsImage &image);

// A FITS file of `picture`: BITPIX 8, three planes or, with `mono`, one plane of
// luminance (0.299 R + 0.587 G + 0.114 B, rounded), rows bottom-up; `keywords`
// follow the mandatory ones.
ResultOf<QByteArray> encodeFits(const QImage &picture, bool mono, const std::vector<FitsKeyword> &keywords);

// `image` written back under its own header, with `history` added as HISTORY
// cards (a checksum there is made again); the stored values are written as they
// are. Refused when the result would not read back with the same pixels.
ResultOf<QByteArray> encodeFitsKeepingHeader(const FitsImage &image, const QStringList &history);

// The luminance of a colour, as a mono FITS plane holds it.
inline int luminance(QRgb rgb) { return (299 * qRed(rgb) + 587 * qGreen(rgb) + 114 * qBlue(rgb) + 500) / 1000; }

} // namespace orvane
