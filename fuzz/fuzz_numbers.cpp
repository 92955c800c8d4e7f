// The lenient number reading on arbitrary text, then the conversions into the
// record's fields: each either throws ConversionError or gives the nearest whole
// number (ties to even), exactly when that number fits the field. The number
// texts never fail and read back as the number they show.

#include "fuzz_check.h"
#include "numbers.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

using namespace orvane;

namespace {

// Nearest whole number, ties to even, worked out without the rounding mode.
double nearestEven(double value)
{
    if (!std::isfinite(value))
        return value;
    const double below = std::floor(value);
    const double fraction = value - below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2) != 0))
        return below + 1;
    return below;
}

template <typename T>
void checkConversion(double value, T (*convert)(double), const char *field)
{
    const double rounded = nearestEven(value);
    const bool fits = !std::isnan(rounded) && rounded >= double(std::numeric_limits<T>::min())
                      && rounded <= double(std::numeric_limits<T>::max());
    try {
        const T result = convert(value);
        FUZZ_CHECK(fits, QStringLiteral("%1 was stored into %2 as %3").arg(value, 0, 'g', 17).arg(field).arg(qint64(result)));
        FUZZ_CHECK(double(result) == rounded,
                   QStringLiteral("%1 stored into %2 as %3, not %4").arg(value, 0, 'g', 17).arg(field).arg(qint64(result)).arg(rounded));
    } catch (const ConversionError &e) {
        FUZZ_CHECK(!fits, QStringLiteral("%1 refused by %2: %3").arg(value, 0, 'g', 17).arg(field).arg(e.what()));
        FUZZ_CHECK(std::strstr(e.what(), "does not fit") != nullptr, QStringLiteral("unclear message: ") + e.what());
    }
}

void checkValue(double value)
{
    checkConversion<uint8_t>(value, toByte, "a byte");
    checkConversion<int16_t>(value, toInt16, "a 16-bit number");
    checkConversion<int32_t>(value, toInt32, "a 32-bit number");
    FUZZ_CHECK(roundHalfEven(value) == nearestEven(value) || std::isnan(value), "roundHalfEven rounds otherwise");

    const QString shown = numberText(value);
    FUZZ_CHECK(!shown.isEmpty(), "empty number text");
    if (std::isfinite(value) && std::fabs(value) >= DBL_MIN) {
        // Seven significant digits: the text reads back within a rounding of the seventh.
        const double back = numericValue(shown);
        FUZZ_CHECK(std::fabs(back - value) <= 5.1e-7 * std::fabs(value),
                   QStringLiteral("%1 shown as \"%2\" reads back as %3").arg(value, 0, 'g', 17).arg(shown).arg(back, 0, 'g', 17));
    }
    if (std::isfinite(value) && std::fabs(value) <= 9e15) {
        const auto whole = int64_t(value);
        const QString wholeText = numberText(whole);
        FUZZ_CHECK(numericValue(wholeText) == double(whole),
                   QStringLiteral("%1 shown as \"%2\" does not read back").arg(whole).arg(wholeText));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    useCommaLocaleWherePossible("fuzz_numbers");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto *chars = reinterpret_cast<const char *>(data);
    checkValue(numericValue(QString::fromUtf8(chars, qsizetype(size))));
    checkValue(numericValue(QString::fromLatin1(chars, qsizetype(size))));
    // The same bytes as a value in memory reach NaNs, infinities and subnormals too.
    if (size >= sizeof(double)) {
        double raw;
        std::memcpy(&raw, data, sizeof raw);
        checkValue(raw);
        int64_t whole;
        std::memcpy(&whole, data, sizeof whole);
        const QString wholeText = numberText(whole);
        FUZZ_CHECK(numericValue(wholeText) == double(whole),
                   QStringLiteral("%1 shown as \"%2\" does not read back").arg(whole).arg(wholeText));
    }
    return 0;
}
