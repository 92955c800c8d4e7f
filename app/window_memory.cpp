#include "window_memory.h"

#include "file_rewrite.h"
#include "ini_lines.h"


namespace orvane {

namespace {

const QString kGroup = QStringLiteral("window");

struct TextKey {
    const char *key;
    QString WindowMemory::*value;
};
struct TickKey {
    const char *key;
    bool WindowMemory::*value;
};

constexpr TextKey kTextKeys[] = {
    {"exposureS", &WindowMemory::exposureS}, {"frameCount", &WindowMemory::frameCount},
    {"guideS", &WindowMemory::guideS},       {"fileName", &WindowMemory::fileName},
    {"index", &WindowMemory::index},         {"saveFolder", &WindowMemory::saveFolder},
};
constexpr TickKey kTickKeys[] = {
    {"guide", &WindowMemory::guide}, {"save", &WindowMemory::save}, {"lineDoubling", &WindowMemory::lineDoubling}};

} // namespace

void readWindowMemory(const QString &iniPath, WindowMemory &values)
{
    const QByteArray text = readIniFile(iniPath).text;
    for (const TextKey &k : kTextKeys)
        if (const auto stored = iniValue(text, kGroup, QLatin1String(k.key)))
            values.*k.value = *stored;
    for (const TickKey &k : kTickKeys) {
        const QString stored = iniValue(text, kGroup, QLatin1String(k.key)).value_or(QString()).trimmed().toLower();
        if (stored == QLatin1String("true") || stored == QLatin1String("false"))
            values.*k.value = stored == QLatin1String("true");
    }
}

Result writeWindowMemory(const QString &iniPath, const WindowMemory &values)
{
    const IniFileText existing = readIniFile(iniPath);
    if (!existing.problem.isEmpty())
        return Result::failure(QStringLiteral("%1 cannot be read: %2.").arg(iniPath, existing.cause));
    const QByteArray &before = existing.text;
    QByteArray after = before;
    for (const TextKey &k : kTextKeys)
        after = withIniValue(after, kGroup, QLatin1String(k.key), values.*k.value);
    for (const TickKey &k : kTickKeys)
        after = withIniValue(after, kGroup, QLatin1String(k.key),
                             values.*k.value ? QStringLiteral("true") : QStringLiteral("false"));
    if (after == before)
        return Result::success();
    return writeWholeFile(iniPath, after);
}

} // namespace orvane
