#include "frame_format.h"

#include "ini_lines.h"

#include <cmath>

namespace orvane {

namespace {

const QString kSave = QStringLiteral("save");
const QString kFits = QStringLiteral("fits");

// A word from `words` (index = enum value), or the default with a problem told.
template <typename E, size_t N>
E chosenWord(const QByteArray &text, const QString &group, const QString &key, const QString (&words)[N], E fallback,
             const QString &iniPath, QStringList &problems)
{
    const std::optional<QString> value = iniValue(text, group, key);
    if (!value)
        return fallback;
    for (size_t i = 0; i < N; ++i)
        if (value->trimmed().compare(words[i], Qt::CaseInsensitive) == 0)
            return E(i);
    QStringList allowed(std::begin(words), std::end(words));
    problems.append(QStringLiteral("%1 [%2] %3: \"%4\" is not one of %5; frames are saved as %6.")
                        .arg(iniPath, group, key, *value, allowed.join(QStringLiteral(", ")), words[size_t(fallback)]));
    return fallback;
}

std::optional<double> degrees(const QByteArray &text, const QString &key, double limit, const QString &iniPath,
                              QStringList &problems)
{
    const std::optional<QString> value = iniValue(text, kFits, key);
    if (!value || value->trimmed().isEmpty())
        return std::nullopt;
    bool ok = false;
    const double deg = value->trimmed().toDouble(&ok);
    if (ok && std::isfinite(deg) && std::abs(deg) <= limit)
        return deg;
    problems.append(QStringLiteral("%1 [fits] %2: \"%3\" is not a number of degrees between -%4 and %4; "
                                   "FITS frames leave it out.")
                        .arg(iniPath, key, *value)
                        .arg(limit));
    return std::nullopt;
}

const QString kFormatWords[] = {QStringLiteral("bmp"), QStringLiteral("fits"), QStringLiteral("both")};
const QString kPlanesWords[] = {QStringLiteral("colour"), QStringLiteral("mono")};

} // namespace

QString formatWord(SaveFormat format) { return kFormatWords[int(format)]; }
QString planesWord(SavePlanes planes) { return kPlanesWords[int(planes)]; }

FrameFormat frameFormatFromIni(const QByteArray &iniText, const QString &iniPath, QStringList &problems)
{
    FrameFormat f;
    f.format = chosenWord(iniText, kSave, QStringLiteral("format"), kFormatWords, SaveFormat::Bmp, iniPath, problems);
    f.planes = chosenWord(iniText, kSave, QStringLiteral("planes"), kPlanesWords, SavePlanes::Colour, iniPath, problems);
    f.site.object = iniValue(iniText, kFits, QStringLiteral("object")).value_or(QString()).trimmed();
    f.site.observer = iniValue(iniText, kFits, QStringLiteral("observer")).value_or(QString()).trimmed();
    f.site.latitudeDeg = degrees(iniText, QStringLiteral("siteLat"), 90, iniPath, problems);
    f.site.longitudeDeg = degrees(iniText, QStringLiteral("siteLong"), 180, iniPath, problems);
    return f;
}

QByteArray withSaveFormat(const QByteArray &iniText, const FrameFormat &format)
{
    const QByteArray text = withIniValue(iniText, kSave, QStringLiteral("format"), formatWord(format.format));
    return withIniValue(text, kSave, QStringLiteral("planes"), planesWord(format.planes));
}

} // namespace orvane
