#include "ini_values.h"

#include <cmath>

namespace orvane {

QString iniRefusal(const QString &path, int line, const QString &group, const QString &key, const QString &value,
                   const QString &rule, const QString &instead)
{
    const QString place = line > 0 ? QStringLiteral("%1 line %2").arg(path).arg(line) : path;
    return QStringLiteral("%1: [%2] %3: %4 is %5; using %6.").arg(place, group, key, quotedIniValue(value), rule, instead);
}

IniValues::IniValues(QByteArray text, QString path, QStringList &notes)
    : text_(std::move(text)), path_(std::move(path)), notes_(notes)
{
}

IniValues IniValues::read(const QString &path, QStringList &notes)
{
    return IniValues(readIniFile(path).text, path, notes);
}

std::optional<IniEntry> IniValues::entry(const char *group, const char *key) const
{
    return iniEntry(text_, QLatin1String(group), QLatin1String(key));
}

std::optional<QString> IniValues::text(const char *group, const char *key) const
{
    if (const auto e = entry(group, key))
        return e->value;
    return std::nullopt;
}

void IniValues::refuse(const char *group, const char *key, const QString &rule, const QString &instead)
{
    const std::optional<IniEntry> e = entry(group, key);
    notes_ << iniRefusal(path_, e ? e->line : 0, QLatin1String(group), QLatin1String(key), e ? e->value : QString(),
                         rule, instead);
}

std::optional<double> IniValues::number(const char *group, const char *key, const QString &instead)
{
    const IniKey &k = iniKey(group, key);
    const std::optional<QString> t = text(group, key);
    if (!t)
        return std::nullopt;
    bool ok = false;
    const double v = t->toDouble(&ok);
    const bool whole = k.type == IniType::Whole;
    if (ok && std::isfinite(v) && v >= k.low && v <= k.high && !(k.lowOpen && v == k.low) && (!whole || v == std::floor(v)))
        return v;
    refuse(group, key, iniRule(k), instead);
    return std::nullopt;
}

std::optional<long long> IniValues::whole(const char *group, const char *key, const QString &instead)
{
    if (const std::optional<double> v = number(group, key, instead))
        return static_cast<long long>(*v);
    return std::nullopt;
}

std::optional<bool> IniValues::truth(const char *group, const char *key, const QString &instead)
{
    const IniKey &k = iniKey(group, key);
    const std::optional<QString> t = text(group, key);
    if (!t)
        return std::nullopt;
    const QString word = t->toLower();
    if (word == QLatin1String("true") || word == QLatin1String("1"))
        return true;
    if (word == QLatin1String("false") || word == QLatin1String("0"))
        return false;
    refuse(group, key, iniRule(k), instead);
    return std::nullopt;
}

std::optional<int> IniValues::word(const char *group, const char *key, const QString &instead)
{
    const IniKey &k = iniKey(group, key);
    const std::optional<QString> t = text(group, key);
    if (!t)
        return std::nullopt;
    const QStringList words = QString::fromLatin1(k.words).split(u'|');
    for (int i = 0; i < words.size(); ++i)
        if (t->compare(words[i], Qt::CaseInsensitive) == 0)
            return i;
    refuse(group, key, iniRule(k), instead);
    return std::nullopt;
}

} // namespace orvane
