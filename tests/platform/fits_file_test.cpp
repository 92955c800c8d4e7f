// FITS frames through cfitsio: what is written reads back pixel for pixel and
// shows upright; files of other programs (16-bit, scaled, top-down) load; a
// rewrite keeps the header and any extensions; and files that lie about
// themselves are refused.

#include "fits_file.h"
#include "fits_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <random>

namespace orvane {
namespace {

QImage noise(int width, int height, uint32_t seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(int(random() & 0xFF), int(random() & 0xFF), int(random() & 0xFF)));
    return image;
}

QImage lumaOf(const QImage &image)
{
    QImage out = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x) {
            const int l = luminance(out.pixel(x, y));
            out.setPixel(x, y, qRgb(l, l, l));
        }
    return out;
}

// A header of 80-character cards, END added, padded to its block; then `dataBytes` zero bytes.
QByteArray handMade(const QStringList &cards, qsizetype dataBytes)
{
    QByteArray header;
    for (const QString &card : cards + QStringList{QStringLiteral("END")})
        header += card.toLatin1().leftJustified(80, ' ', true);
    header = header.leftJustified((header.size() + 2879) / 2880 * 2880, ' ');
    return header + QByteArray(dataBytes, '\0');
}

QString card(const char *name, const QString &value) { return QStringLiteral("%1= %2").arg(QLatin1String(name), -8).arg(value, 20); }

TEST(FitsFile, FramesReadBackUprightPixelForPixelInColourAndMono)
{
    const QImage picture = noise(37, 23, 7); // odd sizes: no row or plane may slip
    for (const bool mono : {false, true}) {
        SCOPED_TRACE(mono ? "mono" : "colour");
        ResultOf<QByteArray> file = encodeFits(picture, mono, {{"OBJECT", QStringLiteral("M 42"), QStringLiteral("t")}});
        ASSERT_TRUE(file.ok()) << file.error().toStdString();
        EXPECT_EQ(file.value().size() % 2880, 0);
        ResultOf<FitsImage> read = decodeFits(file.value());
        ASSERT_TRUE(read.ok()) << read.error().toStdString();
        EXPECT_EQ(read.value().planes, mono ? 1 : 3);
        EXPECT_FALSE(read.value().topDown);
        EXPECT_EQ(fitsDisplayImage(read.value()), mono ? lumaOf(picture) : picture);
        // Stored bottom-up: the first stored value is the bottom-left pixel.
        const QRgb bottomLeft = picture.pixel(0, picture.height() - 1);
        EXPECT_EQ(read.value().stored.front(), mono ? luminance(bottomLeft) : qRed(bottomLeft));
    }
}

TEST(FitsFile, FilesOfOtherProgramsLoadScaledForDisplay)
{
    // 16-bit unsigned data as cameras write it (BZERO 32768), top-down, one plane.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("other.fits"));
    fitsfile *f = nullptr;
    int status = 0;
    long axes[2] = {3, 2};
    unsigned short values[6] = {1000, 2000, 3000, 4000, 5000, 65000}; // top row first
    ffinit(&f, QFile::encodeName(path).constData(), &status);
    ffcrim(f, USHORT_IMG, 2, axes, &status);
    ffpkys(f, "ROWORDER", "TOP-DOWN", "", &status);
    ffppr(f, TUSHORT, 1, 6, values, &status);
    ffclos(f, &status);
    ASSERT_EQ(status, 0);

    ResultOf<FitsImage> read = decodeFits(test::readAll(path));
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    EXPECT_EQ(read.value().bitpix, 16);
    EXPECT_TRUE(read.value().topDown);
    const QImage shown = fitsDisplayImage(read.value());
    EXPECT_EQ(qRed(shown.pixel(0, 0)), 0);   // the least value, top left
    EXPECT_EQ(qRed(shown.pixel(2, 1)), 255); // the greatest, bottom right
    EXPECT_EQ(qRed(shown.pixel(1, 0)), 4);   // (2000 - 1000) / 64000 x 255, rounded
}

TEST(FitsFile, RewriteKeepsTheHeaderAddsHistoryAndRenewsTheChecksum)
{
    ResultOf<QByteArray> file = encodeFits(noise(8, 6, 3), false, {{"OBSERVER", QStringLiteral("A. Person"), {}}});
    ASSERT_TRUE(file.ok());
    ResultOf<FitsImage> read = decodeFits(file.value());
    ASSERT_TRUE(read.ok());
    // Another program's extension after the image: a 4-byte image of its own.
    const QByteArray extension = handMade({QStringLiteral("XTENSION= 'IMAGE   '"), card("BITPIX", "8"),
                                           card("NAXIS", "1"), card("NAXIS1", "4"), card("PCOUNT", "0"),
                                           card("GCOUNT", "1")},
                                          2880);
    read.value().file += extension;
    read.value().at(1, 2, 3) = 77;
    ResultOf<QByteArray> again = encodeFitsKeepingHeader(read.value(), {QStringLiteral("rows filled")});
    ASSERT_TRUE(again.ok()) << again.error().toStdString();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("again.fits"));
    ASSERT_TRUE(test::writeAll(path, again.value()));
    const test::FitsContent content = test::readFitsFile(path);
    ASSERT_EQ(content.status, 0);
    EXPECT_EQ(content.values.value(QStringLiteral("OBSERVER")), "A. Person");
    EXPECT_EQ(content.values.value(QStringLiteral("HISTORY")), "");
    EXPECT_TRUE(again.value().contains("HISTORY rows filled"));
    ResultOf<FitsImage> reread = decodeFits(again.value());
    ASSERT_TRUE(reread.ok());
    EXPECT_EQ(reread.value().at(1, 2, 3), 77);
    EXPECT_TRUE(again.value().endsWith(extension)) << "the extension is kept";
    EXPECT_EQ(test::fitsverifySummary(path).toStdString(), test::kFitsverifyClean.toStdString());
}

TEST(FitsFile, FilesThatLieAboutThemselvesAreRefusedWithTheCause)
{
    const QStringList start = {card("SIMPLE", "T"), card("BITPIX", "8")};
    const QStringList picture = start + QStringList{card("NAXIS", "2"), card("NAXIS1", "4"), card("NAXIS2", "2")};
    const QByteArray whole = handMade(picture, 8);
    const struct {
        const char *what;
        QByteArray file;
        const char *cause;
    } cases[] = {
        {"a BMP", QByteArray("BM") + QByteArray(3000, '\0'), "no FITS file"},
        {"one card only", whole.left(80), "shorter than one FITS block"},
        {"cut in its pixels", whole.left(2880 + 4), "cut short: its header promises 8 bytes of pixels, 4 are there"},
        {"size that lies", handMade(start + QStringList{card("NAXIS", "2"), card("NAXIS1", "30000"), card("NAXIS2", "30000")}, 100), "cut short: its header promises 900000000 bytes"},
        {"absurd NAXIS", handMade(start + QStringList{card("NAXIS", "999")}, 0), "NAXIS = 999"},
        {"absurd NAXIS1", handMade(start + QStringList{card("NAXIS", "2"), card("NAXIS1", "9999999999"), card("NAXIS2", "1")}, 0), "NAXIS1 = 9999999999 lies outside"},
        {"two planes", handMade(start + QStringList{card("NAXIS", "3"), card("NAXIS1", "1"), card("NAXIS2", "1"), card("NAXIS3", "2")}, 2), "2 planes"},
        {"floating pixels", handMade({card("SIMPLE", "T"), card("BITPIX", "-32"), card("NAXIS", "2")}, 0), "BITPIX = -32"},
        {"no END", whole.left(2880).replace("END     ", "XEND    "), "no END card"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const ResultOf<FitsImage> read = decodeFits(c.file);
        ASSERT_FALSE(read.ok());
        EXPECT_TRUE(read.error().contains(QLatin1String(c.cause))) << read.error().toStdString();
    }
    EXPECT_TRUE(decodeFits(whole).ok()); // the same header, whole, reads
}

} // namespace
} // namespace orvane
