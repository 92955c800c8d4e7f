// Picture loading on arbitrary file contents, through the program's own load
// path: it never crashes; a failure leaves the picture area exactly as it was
// and says why; a success leaves a 640 x 480 surface showing the new picture,
// which the program can save and load again unchanged.

#include "fuzz_check.h"
#include "picture_area.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

using namespace orvane;

namespace {

QTemporaryDir *scratch = nullptr;
PictureArea *area = nullptr;
QImage pattern;        // the area's picture before every load
QImage patternSurface; // and its surface

// A picture no file decodes to by chance: 3 x 2, every pixel different.
QImage makePattern()
{
    QImage image(3, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            image.setPixel(x, y, qRgb(10 + x, 20 + y, 200));
    return image;
}

// Same size and the same colour in every pixel (QImage's == also compares
// colour spaces, which a BMP does not carry).
bool sameColours(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return false;
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    for (int row = 0; row < x.height(); ++row) {
        const auto *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const auto *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column)
            if ((p[column] & 0xFFFFFF) != (q[column] & 0xFFFFFF))
                return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char *args[] = {(*argv)[0], nullptr};
    new QGuiApplication(argc, args); // image plug-ins and painting; lives as long as the process
    scratch = new QTemporaryDir;
    area = new PictureArea;
    pattern = makePattern();
    area->setPicture(pattern);
    patternSurface = area->surface().copy();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = scratch->filePath(QStringLiteral("input.bmp"));
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate), file.errorString());
        FUZZ_CHECK(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size), file.errorString());
    }

    const Result loaded = area->loadPicture(path);
    if (!loaded.ok()) {
        FUZZ_CHECK(loaded.error().contains(path), QStringLiteral("failure without the file name: ") + loaded.error());
        FUZZ_CHECK(area->picture() == pattern, "a failed load changed the picture");
        FUZZ_CHECK(area->surface() == patternSurface, "a failed load changed the surface");
        return 0;
    }

    const QImage picture = area->picture();
    FUZZ_CHECK(!picture.isNull() && picture.width() > 0 && picture.height() > 0, "an empty picture was loaded");
    FUZZ_CHECK(area->surface().size() == QSize(PictureArea::kWidth, PictureArea::kHeight), "the surface changed its size");
    FUZZ_CHECK(area->surface().format() == QImage::Format_RGB32, "the surface changed its format");

    // What the program saves of it loads back with the same colours.
    if (qint64(picture.width()) * picture.height() <= 1 << 20) {
        const QString saved = scratch->filePath(QStringLiteral("saved.bmp"));
        const Result written = area->savePicture(saved);
        FUZZ_CHECK(written.ok(), written.error());
        const Result reloaded = area->loadPicture(saved);
        FUZZ_CHECK(reloaded.ok(), reloaded.error());
        FUZZ_CHECK(sameColours(area->picture(), picture),
                   "a saved picture loads back with other colours");
    }
    area->setPicture(pattern);
    return 0;
}
