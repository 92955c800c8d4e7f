#include "fits_file.h"

#include <fitsio.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvane {

namespace {

constexpr qsizetype kBlockBytes = 2880; // FITS files come in blocks of this size
constexpr qsizetype kCardBytes = 80;
constexpr qsizetype kLargestHeader = qsizetype(1) << 20; // bytes; a frame's header is one or two blocks
constexpr int64_t kLargestSide = 32767;                  // pixels, as for BMP pictures

qsizetype paddedSize(qsizetype bytes) { return (bytes + kBlockBytes - 1) / kBlockBytes * kBlockBytes; }

QString cfitsioError(int status)
{
    char text[FLEN_STATUS] = {};
    fits_get_errstatus(status, text);
    fits_clear_errmsg();
    return QStringLiteral("cfitsio error %1 (%2)").arg(status).arg(QString::fromLatin1(text));
}

// The mandatory keywords of the primary header, read by position as the
// standard places them, so that the sizes are known before cfitsio sees the file.
struct PrimaryLayout {
    int bitpix = 0;
    int naxis = 0;
    int64_t naxes[3] = {1, 1, 1};
    qsizetype headerBytes = 0;
};

QByteArray cardName(const QByteArray &card) { return card.left(8).trimmed(); }

// The value text of a "NAME    = value / comment" card, without blanks.
QByteArray valueText(const QByteArray &card)
{
    QByteArray value = card.mid(10);
    if (const qsizetype slash = value.indexOf('/'); slash >= 0)
        value.truncate(slash);
    return value.trimmed();
}

// The value of a "NAME    = value / comment" card as an integer, or nothing.
std::optional<int64_t> integerValue(const QByteArray &card)
{
    if (card.mid(8, 2) != "= ")
        return std::nullopt;
    bool ok = false;
    const qlonglong number = valueText(card).toLongLong(&ok);
    return ok ? std::optional<int64_t>(number) : std::nullopt;
}

// Empty when the layout could be read; else the cause.
QString readLayout(const QByteArray &file, PrimaryLayout &layout)
{
    const auto card = [&file](qsizetype i) { return file.mid(i * kCardBytes, kCardBytes); };
    if (file.size() < kBlockBytes)
        return QStringLiteral("the file is shorter than one FITS block (%1 of 2880 bytes)").arg(file.size());
    if (cardName(card(0)) != "SIMPLE" || card(0).mid(8, 2) != "= ")
        return QStringLiteral("it does not begin with SIMPLE =, so it is no FITS file");
    if (valueText(card(0)) != "T")
        return QStringLiteral("SIMPLE is not T: the file does not follow the FITS standard");

    const auto mandatory = [&](qsizetype i, const QByteArray &name) -> std::optional<int64_t> {
        return cardName(card(i)) == name ? integerValue(card(i)) : std::nullopt;
    };
    const std::optional<int64_t> bitpix = mandatory(1, "BITPIX");
    const std::optional<int64_t> naxis = mandatory(2, "NAXIS");
    if (!bitpix || !naxis)
        return QStringLiteral("its header does not give BITPIX and NAXIS as the second and third keywords");
    if (*bitpix != 8 && *bitpix != 16)
        return QStringLiteral("its pixels have BITPIX = %1; only 8- and 16-bit images can be read").arg(*bitpix);
    if (*naxis != 2 && *naxis != 3)
        return QStringLiteral("its image has NAXIS = %1; only pictures of 2 axes, or 3 with 1 or 3 planes, can be read")
            .arg(*naxis);
    layout.bitpix = int(*bitpix);
    layout.naxis = int(*naxis);
    for (int axis = 0; axis < layout.naxis; ++axis) {
        const QByteArray name = "NAXIS" + QByteArray::number(axis + 1);
        const std::optional<int64_t> length = mandatory(3 + axis, name);
        if (!length)
            return QStringLiteral("its header does not give %1 where the standard puts it").arg(QLatin1String(name));
        if (*length < 1 || *length > kLargestSide)
            return QStringLiteral("%1 = %2 lies outside 1 to %3").arg(QLatin1String(name)).arg(*length).arg(kLargestSide);
        layout.naxes[axis] = *length;
    }
    if (layout.naxes[2] != 1 && layout.naxes[2] != 3)
        return QStringLiteral("its image has %1 planes; only 1 (grey) or 3 (red, green, blue) can be read")
            .arg(layout.naxes[2]);

    const qsizetype limit = std::min(file.size(), kLargestHeader);
    for (qsizetype i = 3 + layout.naxis; (i + 1) * kCardBytes <= limit; ++i)
        if (cardName(card(i)) == "END" && card(i).mid(3).trimmed().isEmpty()) {
            layout.headerBytes = paddedSize((i + 1) * kCardBytes);
            break;
        }
    if (layout.headerBytes == 0)
        return file.size() < kLargestHeader ? QStringLiteral("its header has no END card; the file is cut short")
                                            : QStringLiteral("its header has no END card in its first MiB");
    const qsizetype dataBytes =
        qsizetype(layout.bitpix / 8) * layout.naxes[0] * layout.naxes[1] * layout.naxes[2];
    if (layout.headerBytes + dataBytes > file.size())
        return QStringLiteral("the file is cut short: its header promises %1 bytes of pixels, %2 are there")
            .arg(dataBytes)
            .arg(std::max<qsizetype>(file.size() - layout.headerBytes, 0));
    return {};
}

// A cfitsio file on bytes in memory that the caller owns; closed on every path.
class MemoryFits {
public:
    // Opens `bytes` for reading (they must outlive the file).
    int openForReading(QByteArray &bytes)
    {
        buffer_ = bytes.data();
        size_ = size_t(bytes.size());
        ffomem(&file_, "frame.fits", READONLY, &buffer_, &size_, 0, nullptr, &status_);
        return status_;
    }
    // A new file written straight into `target`, which must have room for all
    // of it: a frame's megabyte is neither grown block by block nor copied after.
    int create(QByteArray &target)
    {
        buffer_ = target.data();
        size_ = size_t(target.size());
        ffimem(&file_, &buffer_, &size_, 0, nullptr, &status_);
        return status_;
    }
    // Closes a created file; its length in bytes, or nothing after an error (status()).
    std::optional<qsizetype> finish()
    {
        LONGLONG headStart = 0, dataStart = 0, dataEnd = 0;
        ffghadll(file_, &headStart, &dataStart, &dataEnd, &status_);
        ffclos(file_, &status_);
        file_ = nullptr;
        const qsizetype length = paddedSize(qsizetype(dataEnd));
        if (status_ != 0 || size_t(length) > size_)
            return std::nullopt;
        return length;
    }
    ~MemoryFits()
    {
        if (file_) {
            int ignored = 0;
            ffclos(file_, &ignored);
        }
        fits_clear_errmsg();
    }

    fitsfile *file() { return file_; }
    int &status() { return status_; }

private:
    fitsfile *file_ = nullptr;
    void *buffer_ = nullptr;
    size_t size_ = 0;
    int status_ = 0;
};

// Header text must be printable ASCII; a string value holds at most 68 characters.
QByteArray headerText(const QString &text, qsizetype most)
{
    QByteArray out = text.left(most).toLatin1();
    for (char &c : out)
        if (uchar(c) < 32 || uchar(c) > 126)
            c = '?';
    return out;
}

void writeKeyword(fitsfile *file, const FitsKeyword &k, int &status)
{
    const QByteArray comment = headerText(k.comment, 72);
    if (const auto *b = std::get_if<bool>(&k.value))
        ffpkyl(file, k.name.constData(), *b ? 1 : 0, comment.constData(), &status);
    else if (const auto *i = std::get_if<int64_t>(&k.value))
        ffpkyj(file, k.name.constData(), LONGLONG(*i), comment.constData(), &status);
    else if (const auto *d = std::get_if<double>(&k.value))
        ffpkyg(file, k.name.constData(), *d, k.decimals, comment.constData(), &status);
    else
        ffpkys(file, k.name.constData(), headerText(std::get<QString>(k.value), 68).constData(), comment.constData(),
               &status);
}

} // namespace

bool looksLikeFits(const QByteArray &start) { return start.startsWith("SIMPLE  ="); }

ResultOf<FitsImage> decodeFits(const QByteArray &file)
{
    PrimaryLayout layout;
    if (const QString cause = readLayout(file, layout); !cause.isEmpty())
        return ResultOf<FitsImage>::failure(cause);

    FitsImage image;
    image.bitpix = layout.bitpix;
    image.width = int(layout.naxes[0]);
    image.height = int(layout.naxes[1]);
    image.planes = int(layout.naxes[2]);
    image.file = file;
    // cfitsio reads whole blocks: a file whose last block lacks its padding is padded here.
    QByteArray padded = file;
    padded.resize(std::max(paddedSize(file.size()), kBlockBytes), '\0');

    MemoryFits fits;
    int &status = fits.status();
    if (fits.openForReading(padded) != 0)
        return ResultOf<FitsImage>::failure(cfitsioError(status));
    int bitpix = 0, naxis = 0;
    LONGLONG naxes[3] = {1, 1, 1};
    ffgiprll(fits.file(), 3, &bitpix, &naxis, naxes, &status);
    if (status != 0)
        return ResultOf<FitsImage>::failure(cfitsioError(status));
    if (bitpix != image.bitpix || naxes[0] != image.width || naxes[1] != image.height || naxes[2] != image.planes)
        return ResultOf<FitsImage>::failure(QStringLiteral("its header gives the image's size twice, differently"));

    const auto optionalDouble = [&](const char *name, double fallback) {
        double value = fallback;
        if (ffgkyd(fits.file(), name, &value, nullptr, &status) == KEY_NO_EXIST) {
            status = 0;
            value = fallback;
        }
        return value;
    };
    image.bscale = optionalDouble("BSCALE", 1.0);
    image.bzero = optionalDouble("BZERO", 0.0);
    char order[FLEN_VALUE] = {};
    if (ffgkys(fits.file(), "ROWORDER", order, nullptr, &status) == KEY_NO_EXIST)
        status = 0;
    image.topDown = QByteArray(order).trimmed().toUpper() == "TOP-DOWN";
    if (status != 0 || !std::isfinite(image.bscale) || !std::isfinite(image.bzero))
        return ResultOf<FitsImage>::failure(status != 0 ? cfitsioError(status)
                                                        : QStringLiteral("its BSCALE or BZERO is not a number"));

    // Stored values as they are: the scaling is applied for display only.
    ffpscl(fits.file(), 1.0, 0.0, &status);
    image.stored.resize(size_t(image.width) * size_t(image.height) * size_t(image.planes));
    int anyNull = 0;
    ffgpv(fits.file(), TINT, 1, LONGLONG(image.stored.size()), nullptr, image.stored.data(), &anyNull, &status);
    if (status != 0)
        return ResultOf<FitsImage>::failure(cfitsioError(status));
    return image;
}

QImage fitsDisplayImage(const FitsImage &image)
{
    QImage out(image.width, image.height, QImage::Format_RGB32);
    if (out.isNull())
        return out;
    const bool asStored = image.bitpix == 8 && image.bscale == 1.0 && image.bzero == 0.0;
    int32_t least = 0, greatest = 0;
    if (!image.stored.empty()) {
        const auto [lo, hi] = std::minmax_element(image.stored.begin(), image.stored.end());
        least = *lo;
        greatest = *hi;
    }
    double low = 0, high = 255;
    if (!asStored && !image.stored.empty()) { // a negative BSCALE swaps them
        low = std::min(image.bzero + image.bscale * least, image.bzero + image.bscale * greatest);
        high = std::max(image.bzero + image.bscale * least, image.bzero + image.bscale * greatest);
    }
    const double gain = high > low ? 255.0 / (high - low) : 0.0;
    const auto greyOf = [&](int32_t stored) {
        return asStored ? std::clamp(stored, 0, 255) : int(std::lround((image.bzero + image.bscale * stored - low) * gain));
    };
    // 8- and 16-bit frames hold at most 65536 values: one table is cheaper than
    // working out each of a million pixels.
    std::vector<uint8_t> table;
    if (int64_t(greatest) - least < (int64_t(1) << 17))
        for (int64_t v = least; v <= greatest; ++v)
            table.push_back(uint8_t(greyOf(int32_t(v))));
    const auto shown = [&](int32_t stored) { return table.empty() ? greyOf(stored) : int(table[size_t(stored - least)]); };

    for (int y = 0; y < image.height; ++y) {
        auto *row = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < image.width; ++x) {
            const int r = shown(image.at(0, x, y));
            row[x] = image.planes == 3 ? qRgb(r, shown(image.at(1, x, y)), shown(image.at(2, x, y))) : qRgb(r, r, r);
        }
    }
    return out;
}

ResultOf<QByteArray> encodeFits(const QImage &picture, bool mono, const std::vector<FitsKeyword> &keywords)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const int width = rgb.width(), height = rgb.height(), planes = mono ? 1 : 3;
    // The mandatory cards, cfitsio's two COMMENT cards, ours and END, with a block to spare.
    const qsizetype headerBytes = paddedSize((qsizetype(keywords.size()) + 12) * kCardBytes) + kBlockBytes;
    QByteArray file(headerBytes + paddedSize(qsizetype(width) * height * planes), Qt::Uninitialized); // outlives `fits`

    MemoryFits fits;
    int &status = fits.status();
    LONGLONG naxes[3] = {width, height, planes};
    if (fits.create(file) == 0)
        ffcrimll(fits.file(), BYTE_IMG, mono ? 2 : 3, naxes, &status);
    for (const FitsKeyword &k : keywords)
        writeKeyword(fits.file(), k, status);
    // Plane by plane, the bottom row first.
    std::vector<uint8_t> row(size_t(std::max(width, 1)));
    LONGLONG first = 1;
    for (int plane = 0; plane < planes && status == 0; ++plane)
        for (int y = height - 1; y >= 0; --y, first += width) {
            const auto *in = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
            const int shift = 16 - 8 * plane; // red, green, blue in a QRgb
            for (int x = 0; x < width; ++x)
                row[size_t(x)] = uint8_t(mono ? luminance(in[x]) : in[x] >> shift);
            ffppr(fits.file(), TBYTE, first, width, row.data(), &status);
        }
    if (status != 0)
        return ResultOf<QByteArray>::failure(cfitsioError(status));
    const std::optional<qsizetype> length = fits.finish();
    if (!length)
        return ResultOf<QByteArray>::failure(cfitsioError(status));
    file.truncate(*length);
    return file;
}

ResultOf<QByteArray> encodeFitsKeepingHeader(const FitsImage &image, const QStringList &history)
{
    QByteArray padded = image.file;
    padded.resize(std::max(paddedSize(padded.size()), kBlockBytes), '\0');
    // The old file's size, a block for the history, and room for the checksum cards.
    // Made before the files on it, so that it outlives their closing.
    QByteArray file(padded.size() + paddedSize(qsizetype(history.size()) * kCardBytes) + 2 * kBlockBytes,
                    Qt::Uninitialized);
    MemoryFits in, out;
    int &status = out.status();
    if (in.openForReading(padded) != 0)
        return ResultOf<QByteArray>::failure(cfitsioError(in.status()));
    char value[FLEN_VALUE] = {};
    int checksumStatus = 0;
    const bool hadChecksum = ffgkey(in.file(), "CHECKSUM", value, nullptr, &checksumStatus) == 0;
    // What follows the primary image (extension tables and images of other
    // programs) is carried over byte for byte.
    LONGLONG headStart = 0, dataStart = 0, dataEnd = 0;
    int placeStatus = 0;
    ffghadll(in.file(), &headStart, &dataStart, &dataEnd, &placeStatus);
    const QByteArray extensions =
        placeStatus == 0 && dataEnd < image.file.size() ? image.file.mid(qsizetype(dataEnd)) : QByteArray();
    if (out.create(file) == 0)
        ffcphd(in.file(), out.file(), &status);
    for (const QString &line : history)
        ffphis(out.file(), headerText(line, 70).constData(), &status);
    ffpscl(out.file(), 1.0, 0.0, &status);
    std::vector<int32_t> stored = image.stored;
    ffppr(out.file(), TINT, 1, LONGLONG(stored.size()), stored.data(), &status);
    if (hadChecksum)
        ffpcks(out.file(), &status);
    if (status != 0)
        return ResultOf<QByteArray>::failure(cfitsioError(status));
    const std::optional<qsizetype> length = out.finish();
    if (!length)
        return ResultOf<QByteArray>::failure(cfitsioError(status));
    file.truncate(*length);
    file += extensions;
    // A header cfitsio reads but copies into one it cannot read again (a card
    // with control characters in its name) must not replace a file that reads.
    const ResultOf<FitsImage> again = decodeFits(file);
    if (!again || again.value().stored != image.stored)
        return ResultOf<QByteArray>::failure(
            QStringLiteral("its header does not read back once copied (%1)")
                .arg(again ? QStringLiteral("other pixels") : again.error()));
    return file;
}

} // namespace orvane
