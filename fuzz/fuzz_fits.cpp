// FITS reading on arbitrary bytes: a header that lies about the image's size, a
// cut file or absurd axes give a sentence, never a crash or an allocation
// larger than the file promises and holds. What is read shows at its own size
// and is written back, under its own header, to a file that reads the same.

#include "fits_file.h"
#include "fuzz_check.h"

using namespace orvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    const ResultOf<FitsImage> read = decodeFits(file);
    if (!read.ok()) {
        FUZZ_CHECK(!read.error().isEmpty(), "a refusal without its cause");
        return 0;
    }
    const FitsImage &image = read.value();
    const size_t pixels = size_t(image.width) * size_t(image.height) * size_t(image.planes);
    FUZZ_CHECK(image.stored.size() == pixels, "the pixels read are not the image's");
    FUZZ_CHECK(pixels * size_t(image.bitpix / 8) <= size, "more pixels than the file holds");

    const QImage shown = fitsDisplayImage(image);
    FUZZ_CHECK(shown.width() == image.width && shown.height() == image.height, "the picture shown has another size");

    const ResultOf<QByteArray> again = encodeFitsKeepingHeader(image, {QStringLiteral("fuzz")});
    if (again.ok()) {
        const ResultOf<FitsImage> reread = decodeFits(again.value());
        FUZZ_CHECK(reread.ok(), QStringLiteral("a rewritten file does not read: ") + reread.error());
        FUZZ_CHECK(reread.value().stored == image.stored, "a rewritten file holds other pixels");
    }
    return 0;
}
