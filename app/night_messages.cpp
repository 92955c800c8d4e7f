#include "night_messages.h"

#include <QDateTime>

namespace orvane {

void NightMessages::add(int64_t utcMs, const QString &sentence)
{
    if (sentence.isEmpty())
        return;
    entries_.push_back({utcMs, sentence});
    if (entries_.size() > kKept)
        entries_.pop_front();
    if (added)
        added(entries_.back());
}

QString NightMessages::lineOf(const Entry &entry)
{
    const QString time = QDateTime::fromMSecsSinceEpoch(entry.utcMs).toLocalTime().toString(QStringLiteral("HH:mm:ss"));
    return time + QStringLiteral("  ") + entry.sentence;
}

QString NightMessages::allLines() const
{
    QString text;
    for (const Entry &entry : entries_)
        text += lineOf(entry) + QLatin1Char('\n');
    return text;
}

} // namespace orvane
