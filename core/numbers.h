#pragma once
// Reading numbers from texts and writing them back, the way every entry field
// and status text of the program does it.

#include <QString>
#include <cstdint>
#include <stdexcept>

namespace orvane {

// The lenient reading used by every entry field: blanks, tabs and line feeds are
// skipped wherever they stand; an optional sign, digits, "." as the one decimal
// point and an optional exponent (E or D) are read; reading stops at the first
// other character. A leading &H or &O reads a hexadecimal or octal whole number.
// A text without a number gives 0.
double numericValue(const QString &text);

// A value that does not fit the field it is stored into. The message names the
// value and the field's range, e.g. "300 does not fit a byte (0..255)".
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Nearest whole number, ties to even; throws ConversionError outside the range.
uint8_t toByte(double value);
int16_t toInt16(double value);
int32_t toInt32(double value);

// Nearest whole number, ties to even, without a range check (for values that are
// checked by the caller or only displayed).
double roundHalfEven(double value);

// Decimal text with one leading blank in place of the sign for zero and positive
// values: 3 -> " 3", -2 -> "-2".
QString numberText(int64_t value);

// As numberText for a real value, with up to seven significant digits:
// 3 -> " 3", -1.5 -> "-1.5".
QString numberText(double value);

// As numberText, to at most two decimals (a sub-pixel drift: 0.123456 -> " 0.12").
QString hundredthsText(double value);

} // namespace orvane
