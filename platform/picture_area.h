#pragma once
// The picture area Picture1: a current picture (the last one placed into the
// area, at its own size) and a 640 x 480 drawn surface that the display shows.
// Pixel reads, pixel writes and drawing act on the surface; marks drawn there
// (the guide box) are not part of the current picture until the surface is made
// the picture. Colours are colour numbers: red + 256 x green + 65536 x blue.

#include "file_rewrite.h"
#include "result.h"

#include <QImage>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>

namespace orvane {

struct FitsImage;

class PictureArea : public QObject {
    Q_OBJECT
public:
    static constexpr int kWidth = 640;  // pixels
    static constexpr int kHeight = 480; // pixels
    static constexpr uint32_t kBackground = 0x000000; // colour number of the empty area

    PictureArea();

    const QImage &picture() const { return picture_; }
    // 640 x 480, Format_RGB32.
    const QImage &surface() const { return surface_; }
    // Direct access for whole-row work (line doubling, row fill); call refresh() after.
    QImage &surfaceForWriting() { return surface_; }

    // Makes `image` the current picture and redraws the surface: the background
    // with the picture at its own size from the top-left corner, cut at the edges.
    void setPicture(const QImage &image);
    // Makes the drawn surface the current picture.
    void surfaceToPicture();

    // Colour number of a surface pixel; outside the area it is black (0), never a failure.
    uint32_t pixel(int x, int y) const;
    // Writes a surface pixel; outside the area nothing happens.
    void setPixel(int x, int y, uint32_t colour);
    // The pixel a real coordinate falls on: nearest whole number, ties to even.
    // The guide search and the guide box outline both use it.
    static int pixelIndex(double coordinate);
    // Outline of the rectangle with corners (x1, y1) and (x2, y2), one pixel wide.
    void drawBox(double x1, double y1, double x2, double y2, uint32_t colour);
    // Asks the display to show the surface again.
    void refresh() { emit changed(); }

    // Reads a picture file in any format the image readers know, or a FITS file
    // (shown scaled: fitsDisplayImage); on failure the area stays as it was and
    // the sentence names the file and the cause.
    Result loadPicture(const QString &path);
    // The same for a file's content already read; `path` names it in messages.
    Result loadPictureBytes(const QString &path, const QByteArray &bytes);
    // Writes the current picture as an uncompressed 24-bit BMP at its own size,
    // under the name exactly as given, through writeWholeFile: never half
    // written, an old file keeps its permissions and hard links, and a pipe or
    // device under that name is refused and left as it is.
    // With FileLinks::Refuse a symbolic link under the name is told and left alone.
    Result savePicture(const QString &path, FileLinks links = FileLinks::Follow) const;
    // The bytes savePicture writes.
    QByteArray pictureAsBmp() const;
    // Writes the current picture as a FITS file, the same way. While the picture
    // is still the one a FITS file was loaded as, that file's own pixels (all
    // their bits) and header are written; any other picture becomes three 8-bit
    // planes.
    Result savePictureAsFits(const QString &path) const;
    // The FITS image the current picture was loaded from, or null when the
    // picture has been replaced since (or came from no FITS file).
    const FitsImage *shownFits() const;

    // One writer at a time for batch work (the deinterlace tool): while reserved,
    // other writers stay out and tell the user why.
    void reserve(const QString &holder) { holder_ = holder; emit reservationChanged(); }
    void release() { holder_.clear(); emit reservationChanged(); }
    bool reserved() const { return !holder_.isEmpty(); }
    const QString &holder() const { return holder_; }

    // The imaging sequence puts its frames into the area while it runs. It does
    // not reserve the area (its own procedures write there), but a batch must
    // not start meanwhile.
    void setSequenceWriting(bool on) { sequenceWriting_ = on; emit reservationChanged(); }
    bool sequenceWriting() const { return sequenceWriting_; }

signals:
    void changed();
    void reservationChanged();

private:
    QImage picture_;
    std::shared_ptr<const FitsImage> loadedFits_; // with the picture it was shown as
    qint64 loadedFitsKey_ = 0;                    // that picture's cacheKey()
    QImage surface_;
    QString holder_;
    bool sequenceWriting_ = false;
};

// Colour number <-> Qt colour.
inline uint32_t colourNumber(QRgb rgb) { return qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16); }
inline QRgb rgbOf(uint32_t colour) { return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF); }

} // namespace orvane
