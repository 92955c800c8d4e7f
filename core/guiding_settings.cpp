#include "guiding_settings.h"

#include "guide_algorithm.h"
#include "ini_lines.h"

#include <cmath>

namespace orvane {

namespace {

const QString kGroup = QStringLiteral("guiding");

struct Key {
    const char *name;
    QString GuidingTexts::*text;
};
constexpr Key kKeys[] = {
    {"algorithm", &GuidingTexts::algorithm},   {"aggressiveness", &GuidingTexts::aggressiveness},
    {"minMovePx", &GuidingTexts::minMovePx},   {"maxMoveMs", &GuidingTexts::maxMoveMs},
    {"pulse", &GuidingTexts::pulse},           {"dither", &GuidingTexts::dither},
    {"ditherPx", &GuidingTexts::ditherPx},     {"settlePx", &GuidingTexts::settlePx},
    {"settleSteps", &GuidingTexts::settleSteps}, {"settleTimeoutS", &GuidingTexts::settleTimeoutS},
    {"calibrationPx", &GuidingTexts::calibrationPx}, {"calibrationLimitS", &GuidingTexts::calibrationLimitS},
};

QString tick(bool on) { return on ? QStringLiteral("true") : QStringLiteral("false"); }

GuidingProblem problem(const char *key, const QString &text, const QString &rule)
{
    return {QLatin1String(key), text.trimmed(), rule};
}

// A number in (low, high] (lowOpen) or [low, high]; nothing when the text is not one.
std::optional<double> number(const QString &text, double low, double high, bool lowOpen)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v) || v > high || v < low || (lowOpen && v == low))
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

GuidingTexts guidingTexts(const GuidingSettings &s)
{
    return {s.algorithm,          QString::number(s.aggressiveness), QString::number(s.minMovePx),
            QString::number(s.maxMoveMs), tick(s.pulse),             tick(s.dither),
            QString::number(s.ditherPx),  QString::number(s.settlePx), QString::number(s.settleSteps),
            QString::number(s.settleTimeoutS), QString::number(s.calibrationPx), QString::number(s.calibrationLimitS)};
}

std::optional<GuidingProblem> parseGuidingTexts(const GuidingTexts &t, GuidingSettings &out)
{
    GuidingSettings s = out;
    const GuideAlgorithm *way = findGuideAlgorithm(t.algorithm.trimmed());
    if (!way)
        return problem("algorithm", t.algorithm, QStringLiteral("not box or centroid"));
    s.algorithm = QLatin1String(way->name);
    struct Range {
        const char *key;
        const QString &text;
        double &value;
        double low, high;
        bool lowOpen;
        const char *rule;
    };
    double maxMove = 0, steps = 0;
    const Range ranges[] = {
        {"aggressiveness", t.aggressiveness, s.aggressiveness, 0, 1, true, "not a number above 0 up to 1"},
        {"minMovePx", t.minMovePx, s.minMovePx, 0, 100, false, "not a number of pixels from 0 to 100"},
        {"maxMoveMs", t.maxMoveMs, maxMove, 1, 99999, false, "not a whole number of ms from 1 to 99999"},
        {"ditherPx", t.ditherPx, s.ditherPx, 0, 50, true, "not a number of pixels above 0 up to 50"},
        {"settlePx", t.settlePx, s.settlePx, 0, 50, true, "not a number of pixels above 0 up to 50"},
        {"settleSteps", t.settleSteps, steps, 1, 1000, false, "not a whole number of steps from 1 to 1000"},
        {"settleTimeoutS", t.settleTimeoutS, s.settleTimeoutS, 0, 3600, true, "not a number of seconds above 0 up to 3600"},
        {"calibrationPx", t.calibrationPx, s.calibrationPx, 2, 100, false, "not a number of pixels from 2 to 100"},
        {"calibrationLimitS", t.calibrationLimitS, s.calibrationLimitS, 1, 3600, false, "not a number of seconds from 1 to 3600"},
    };
    for (const Range &r : ranges) {
        const std::optional<double> v = number(r.text, r.low, r.high, r.lowOpen);
        const bool whole = &r.value == &maxMove || &r.value == &steps;
        if (!v || (whole && *v != std::floor(*v)))
            return problem(r.key, r.text, QLatin1String(r.rule));
        r.value = *v;
    }
    s.maxMoveMs = int32_t(maxMove);
    s.settleSteps = int32_t(steps);
    const std::optional<bool> pulse = truth(t.pulse), dither = truth(t.dither);
    if (!pulse)
        return problem("pulse", t.pulse, QStringLiteral("not true or false"));
    if (!dither)
        return problem("dither", t.dither, QStringLiteral("not true or false"));
    s.pulse = *pulse;
    s.dither = *dither;
    out = s;
    return std::nullopt;
}

GuidingSettings guidingSettingsFromIni(const QByteArray &iniText, const QString &iniPath, QStringList &notes)
{
    const GuidingSettings defaults;
    GuidingSettings s;
    // Each key alone: one bad value costs only itself.
    for (const Key &k : kKeys) {
        const std::optional<QString> stored = iniValue(iniText, kGroup, QLatin1String(k.name));
        if (!stored)
            continue;
        GuidingTexts texts = guidingTexts(s);
        texts.*k.text = *stored;
        if (const std::optional<GuidingProblem> bad = parseGuidingTexts(texts, s))
            notes.append(QStringLiteral("%1 [guiding] %2: \"%3\" is %4; guiding keeps %5.")
                             .arg(iniPath, bad->key, bad->text, bad->rule, guidingTexts(defaults).*k.text));
    }
    return s;
}

QByteArray withGuidingSettings(const QByteArray &iniText, const GuidingSettings &settings)
{
    const GuidingTexts texts = guidingTexts(settings);
    QByteArray out = iniText;
    for (const Key &k : kKeys)
        out = withIniValue(out, kGroup, QLatin1String(k.name), texts.*k.text);
    return out;
}

} // namespace orvane
