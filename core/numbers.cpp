#include "numbers.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace orvane {

namespace {

bool isSkipped(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// The text with every blank, tab and line break taken out: they are ignored
// wherever they stand ("1 2" reads as 12).
QString withoutBlanks(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (QChar c : text)
        if (!isSkipped(c))
            out.append(c);
    return out;
}

double radixValue(const QString &digits, int radix)
{
    double value = 0;
    for (QChar c : digits) {
        const int digit = c.isDigit() ? c.digitValue()
                        : (radix == 16 && c.toUpper() >= u'A' && c.toUpper() <= u'F')
                              ? c.toUpper().unicode() - u'A' + 10
                              : -1;
        if (digit < 0 || digit >= radix)
            break;
        value = value * radix + digit;
    }
    return value;
}

// The C locale, for reading the collected number: strtod alone follows the
// C library's LC_NUMERIC, which Qt sets from the user's environment, and under
// a locale with a decimal comma it would stop at the "." of "2.5".
locale_t cLocale()
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return c;
}

QString describe(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NaN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("infinity") : QStringLiteral("-infinity");
    return QString::number(value, 'g', 15);
}

template <typename T>
T convert(double value, const char *fieldName)
{
    const double rounded = roundHalfEven(value);
    if (!(rounded >= std::numeric_limits<T>::min() && rounded <= std::numeric_limits<T>::max()))
        throw ConversionError(QStringLiteral("%1 does not fit %2 (%3..%4)")
                                  .arg(describe(value), QLatin1String(fieldName))
                                  .arg(qint64(std::numeric_limits<T>::min()))
                                  .arg(qint64(std::numeric_limits<T>::max()))
                                  .toStdString());
    return static_cast<T>(rounded);
}

} // namespace

double numericValue(const QString &text)
{
    const QString s = withoutBlanks(text);
    if (s.size() >= 2 && s[0] == u'&') {
        const QChar kind = s[1].toUpper();
        if (kind == u'H')
            return radixValue(s.mid(2), 16);
        if (kind == u'O')
            return radixValue(s.mid(2), 8);
    }

    // Collect the longest prefix of the form [sign] digits [. digits] [E|D [sign] digits].
    QByteArray number;
    qsizetype i = 0;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-'))
        number.append(char(s[i++].unicode()));
    bool anyDigit = false;
    while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
        number.append(char(s[i++].unicode()));
        anyDigit = true;
    }
    if (i < s.size() && s[i] == u'.') {
        number.append('.');
        ++i;
        while (i < s.size() && s[i].isDigit() && s[i].unicode() < 128) {
            number.append(char(s[i++].unicode()));
            anyDigit = true;
        }
    }
    if (!anyDigit)
        return 0;
    if (i < s.size() && (s[i].toUpper() == u'E' || s[i].toUpper() == u'D')) {
        qsizetype j = i + 1;
        QByteArray exponent("e");
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-'))
            exponent.append(char(s[j++].unicode()));
        bool expDigit = false;
        while (j < s.size() && s[j].isDigit() && s[j].unicode() < 128) {
            exponent.append(char(s[j++].unicode()));
            expDigit = true;
        }
        if (expDigit)
            number.append(exponent);
    }
    return strtod_l(number.constData(), nullptr, cLocale());
}

double roundHalfEven(double value)
{
    return std::nearbyint(value); // the default rounding mode rounds ties to even
}

uint8_t toByte(double value) { return convert<uint8_t>(value, "a byte"); }
int16_t toInt16(double value) { return convert<int16_t>(value, "a 16-bit number"); }
int32_t toInt32(double value) { return convert<int32_t>(value, "a 32-bit number"); }

QString numberText(int64_t value)
{
    return value >= 0 ? QStringLiteral(" %1").arg(value) : QString::number(value);
}

QString numberText(double value)
{
    if (value == 0)
        return QStringLiteral(" 0"); // also for -0
    const QString digits = QString::number(value, 'g', 7);
    return value >= 0 || std::isnan(value) ? QStringLiteral(" ") + digits : digits;
}

QString hundredthsText(double value)
{
    return numberText(std::round(value * 100) / 100);
}

} // namespace orvane
