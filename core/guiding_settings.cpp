#include "guiding_settings.h"

#include "guide_algorithm.h"
#include "ini_lines.h"
#include "ini_values.h"

#include <cmath>

namespace orvane {

namespace {

const QString kGroup = QStringLiteral("guiding");
// Settling was once counted in guide steps; a file may still hold the key.
const QString kOldSettleSteps = QStringLiteral("settleSteps");

struct Key {
    const char *name;
    QString GuidingTexts::*text;
};
constexpr Key kKeys[] = {
    {"algorithm", &GuidingTexts::algorithm},   {"aggressiveness", &GuidingTexts::aggressiveness},
    {"minMovePx", &GuidingTexts::minMovePx},   {"maxMoveMs", &GuidingTexts::maxMoveMs},
    {"pulse", &GuidingTexts::pulse},           {"dither", &GuidingTexts::dither},
    {"ditherPx", &GuidingTexts::ditherPx},     {"ditherScale", &GuidingTexts::ditherScale},
    {"ditherRaOnly", &GuidingTexts::ditherRaOnly}, {"settlePx", &GuidingTexts::settlePx},
    {"settleTimeS", &GuidingTexts::settleTimeS}, {"settleTimeoutS", &GuidingTexts::settleTimeoutS},
    {"calibrationPx", &GuidingTexts::calibrationPx}, {"calibrationLimitS", &GuidingTexts::calibrationLimitS},
    {"guideStars", &GuidingTexts::guideStars},   {"predict", &GuidingTexts::predict},
    {"predictPeriodS", &GuidingTexts::predictPeriodS}, {"decMode", &GuidingTexts::decMode},
    {"decBacklash", &GuidingTexts::decBacklash},
};

QString tick(bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); }

GuidingProblem problem(const char *key, const QString &text)
{
    return {QLatin1String(key), text.trimmed(), iniRule(iniKey("guiding", key))};
}

// A number in the key's range (ini_keys.cpp); nothing when the text is not one.
std::optional<double> number(const QString &text, const IniKey &key)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v > key.high || v < key.low || (key.lowOpen && v == key.low) ||
        (key.type == IniType::Whole && v != std::floor(v)))
        return std::nullopt;
    return v;
}

std::optional<bool> truth(const QString &text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("true"))
        return true;
    if (t == QLatin1String("false"))
        return false;
    return std::nullopt;
}

} // namespace

bool guidingMaySend(const GuidingSettings &settings, const QString &letter)
{
    const QString l = letter.trimmed().toLower();
    if (l == QLatin1String("n"))
        return settings.decMode != QLatin1String("south") && settings.decMode != QLatin1String("off");
    if (l == QLatin1String("s"))
        return settings.decMode != QLatin1String("north") && settings.decMode != QLatin1String("off");
    return true;
}

GuidingTexts guidingTexts(const GuidingSettings &s)
{
    return {s.algorithm,          QString::number(s.aggressiveness), QString::number(s.minMovePx),
            QString::number(s.maxMoveMs), tick(s.pulse),             tick(s.dither),
            QString::number(s.ditherPx),  QString::number(s.ditherScale), tick(s.ditherRaOnly),
            QString::number(s.settlePx),  QString::number(s.settleTimeS), QString::number(s.settleTimeoutS),
            QString::number(s.calibrationPx), QString::number(s.calibrationLimitS),
            QString::number(s.guideStars), tick(s.predict), QString::number(s.predictPeriodS), s.decMode,
            tick(s.decBacklash)};
}

std::optional<GuidingProblem> parseGuidingTexts(const GuidingTexts &t, GuidingSettings &out)
{
    GuidingSettings s = out;
    const GuideAlgorithm *way = findGuideAlgorithm(t.algorithm.trimmed());
    if (!way)
        return problem("algorithm", t.algorithm);
    s.algorithm = QLatin1String(way->name);
    struct Range {
        const char *key;
        const QString &text;
        double &value;
    };
    double maxMove = 0, stars = 0;
    const Range ranges[] = {
        {"aggressiveness", t.aggressiveness, s.aggressiveness}, {"minMovePx", t.minMovePx, s.minMovePx},
        {"maxMoveMs", t.maxMoveMs, maxMove},                    {"ditherPx", t.ditherPx, s.ditherPx},
        {"ditherScale", t.ditherScale, s.ditherScale},          {"settlePx", t.settlePx, s.settlePx},
        {"settleTimeS", t.settleTimeS, s.settleTimeS},
        {"settleTimeoutS", t.settleTimeoutS, s.settleTimeoutS}, {"calibrationPx", t.calibrationPx, s.calibrationPx},
        {"calibrationLimitS", t.calibrationLimitS, s.calibrationLimitS},
        {"guideStars", t.guideStars, stars},                    {"predictPeriodS", t.predictPeriodS, s.predictPeriodS},
    };
    // The ranges are the key table's, so the window and the file agree.
    for (const Range &r : ranges) {
        const std::optional<double> v = number(r.text, iniKey("guiding", r.key));
        if (!v)
            return problem(r.key, r.text);
        r.value = *v;
    }
    s.maxMoveMs = int32_t(maxMove);
    s.guideStars = int32_t(stars);
    const IniKey &decMode = iniKey("guiding", "decMode");
    const QString mode = t.decMode.trimmed().toLower();
    if (!QString::fromLatin1(decMode.words).split(u'|').contains(mode))
        return problem("decMode", t.decMode);
    s.decMode = mode;
    const std::optional<bool> pulse = truth(t.pulse), dither = truth(t.dither), raOnly = truth(t.ditherRaOnly);
    if (!pulse)
        return problem("pulse", t.pulse);
    if (!dither)
        return problem("dither", t.dither);
    if (!raOnly)
        return problem("ditherRaOnly", t.ditherRaOnly);
    const std::optional<bool> predict = truth(t.predict), decBacklash = truth(t.decBacklash);
    if (!predict)
        return problem("predict", t.predict);
    if (!decBacklash)
        return problem("decBacklash", t.decBacklash);
    s.pulse = *pulse;
    s.dither = *dither;
    s.ditherRaOnly = *raOnly;
    s.predict = *predict;
    s.decBacklash = *decBacklash;
    out = s;
    return std::nullopt;
}

GuidingSettings guidingSettingsFromIni(const QByteArray &iniText, const QString &iniPath, QStringList &notes)
{
    const GuidingSettings defaults;
    GuidingSettings s;
    // Each key alone: one bad value costs only itself.
    for (const Key &k : kKeys) {
        const std::optional<IniEntry> stored = iniEntry(iniText, kGroup, QLatin1String(k.name));
        if (!stored)
            continue;
        GuidingTexts texts = guidingTexts(s);
        texts.*k.text = stored->value;
        if (const std::optional<GuidingProblem> bad = parseGuidingTexts(texts, s))
            notes.append(iniRefusal(iniPath, stored->line, kGroup, bad->key, stored->value, bad->rule,
                                    guidingTexts(defaults).*k.text));
    }
    if (const std::optional<IniEntry> old = iniEntry(iniText, kGroup, kOldSettleSteps))
        notes.append(QStringLiteral("%1 line %2: [guiding] settleSteps is no longer read: settling now lasts a time, "
                                    "settleTimeS (%3 s is used). The line goes when the guiding settings are next stored.")
                         .arg(iniPath)
                         .arg(old->line)
                         .arg(s.settleTimeS));
    return s;
}

QByteArray withGuidingSettings(const QByteArray &iniText, const GuidingSettings &settings)
{
    const GuidingTexts texts = guidingTexts(settings);
    QByteArray out = iniText;
    for (const Key &k : kKeys)
        out = withIniValue(out, kGroup, QLatin1String(k.name), texts.*k.text);
    return withIniValue(out, kGroup, kOldSettleSteps, std::nullopt);
}

} // namespace orvane
