#pragma once
// Helpers for the picture tool tests: a scripted file dialog, seeded test
// pictures and a look into BMP headers.

#include "file_chooser.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstring>
#include <random>

namespace orvane::test {

// Answers each dialog with the next scripted reply and remembers how it was asked.
class ScriptedChooser : public FileChooser {
public:
    QStringList singleReplies;        // chooseOpenFile answers, in order ("" = cancel)
    QList<QStringList> listReplies;   // chooseOpenFiles answers, in order (empty = cancel)
    QStringList filters;              // the filter of every call
    QStringList initialNames;         // the single-file dialogs' initial names
    QStringList kinds;                // "open" or "save" for each single-file dialog
    int calls = 0;

    void chooseOpenFile(QWidget *, const QString &filter, const QString &initialName, ChosenFile chosen) override
    {
        answer("open", filter, initialName, chosen);
    }
    void chooseSaveFile(QWidget *, const QString &filter, const QString &initialName, ChosenFile chosen) override
    {
        answer("save", filter, initialName, chosen);
    }
    void answer(const char *kind, const QString &filter, const QString &initialName, const ChosenFile &chosen)
    {
        ++calls;
        kinds.append(QString::fromLatin1(kind));
        filters.append(filter);
        initialNames.append(initialName);
        chosen(singleReplies.isEmpty() ? QString() : singleReplies.takeFirst());
    }
    void chooseOpenFiles(QWidget *, const QString &filter, ChosenFiles chosen) override
    {
        ++calls;
        filters.append(filter);
        chosen(listReplies.isEmpty() ? QStringList() : listReplies.takeFirst());
    }
};

// A picture of seeded random colours: every row differs from its neighbours.
inline QImage noisePicture(int width, int height, uint32_t seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            row[x] = qRgb(int(random() & 0xFF), int(random() & 0xFF), int(random() & 0xFF));
    }
    return image;
}

inline bool sameRow(const QImage &a, int rowA, const QImage &b, int rowB)
{
    return std::memcmp(a.constScanLine(rowA), b.constScanLine(rowB), size_t(a.width()) * 4) == 0;
}

// Little-endian fields of a BMP file's headers.
inline uint32_t bmpField32(const QByteArray &file, int offset)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | uint8_t(file.at(offset + i));
    return v;
}
inline uint16_t bmpField16(const QByteArray &file, int offset)
{
    return uint16_t(uint8_t(file.at(offset)) | (uint8_t(file.at(offset + 1)) << 8));
}
inline int bmpBitsPerPixel(const QByteArray &file) { return bmpField16(file, 28); }
inline uint32_t bmpCompression(const QByteArray &file) { return bmpField32(file, 30); }

// Pixels of two pictures equal, ignoring the unused alpha byte of RGB32.
inline bool samePixels(const QImage &a, const QImage &b)
{
    return a.size() == b.size()
        && a.convertToFormat(QImage::Format_RGB32) == b.convertToFormat(QImage::Format_RGB32);
}

} // namespace orvane::test
