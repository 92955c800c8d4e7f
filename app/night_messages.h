#pragma once
// What the program told the user tonight, in the order it was told: the status line
// shows one sentence at a time, clipped at the window's width, so every sentence is
// kept here with its time for the Messages window.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>

namespace orvane {

class NightMessages {
public:
    struct Entry {
        int64_t utcMs; // when it was told, ms since 1970 (UTC)
        QString sentence;
    };
    // A whole night of notices is a few hundred; a flood keeps the newest.
    static constexpr std::size_t kKept = 5000;

    void add(int64_t utcMs, const QString &sentence);
    const std::deque<Entry> &entries() const { return entries_; }
    // "21:04:05  The sentence", the time in local time.
    static QString lineOf(const Entry &entry);
    // Every kept line, one per line, as the Copy button puts them on the clipboard.
    QString allLines() const;

    // Called after each add, with the entry just kept.
    std::function<void(const Entry &)> added;

private:
    std::deque<Entry> entries_;
};

} // namespace orvane
