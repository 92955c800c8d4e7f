#include "ini_lines.h"

#include <QList>

namespace orvane {

namespace {

// One line of the text with its own line end ("\n", "\r\n" or none at the end).
struct Line {
    QByteArray body;
    QByteArray end;
};

QList<Line> splitKeepingEnds(const QByteArray &text)
{
    QList<Line> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        const qsizetype newline = text.indexOf('\n', start);
        const qsizetype stop = newline < 0 ? text.size() : newline;
        Line line{text.mid(start, stop - start), newline < 0 ? QByteArray() : QByteArray("\n")};
        if (!line.end.isEmpty() && line.body.endsWith('\r')) {
            line.body.chop(1);
            line.end = "\r\n";
        }
        lines.append(line);
        start = stop + 1;
    }
    return lines;
}

// "[name]" -> name; nothing when the line is no group header.
std::optional<QString> groupOf(const QByteArray &body)
{
    const QByteArray t = body.trimmed();
    if (!t.startsWith('[') || !t.endsWith(']'))
        return std::nullopt;
    return QString::fromUtf8(t.mid(1, t.size() - 2)).trimmed();
}

bool isComment(const QByteArray &trimmed) { return trimmed.startsWith(';') || trimmed.startsWith('#'); }

// The key of a "key = value" line; nothing for blank, comment and header lines.
std::optional<QString> keyOf(const QByteArray &body)
{
    const QByteArray t = body.trimmed();
    const qsizetype equals = t.indexOf('=');
    if (t.isEmpty() || isComment(t) || t.startsWith('[') || equals < 0)
        return std::nullopt;
    return QString::fromUtf8(t.left(equals)).trimmed();
}

// Where a comment starts after the "=" of a key line (";" outside quotes), or
// the line's length.
qsizetype commentStart(const QByteArray &body)
{
    bool quoted = false;
    for (qsizetype i = body.indexOf('=') + 1; i < body.size(); ++i) {
        if (body[i] == '\\' && quoted)
            ++i;
        else if (body[i] == '"')
            quoted = !quoted;
        else if (body[i] == ';' && !quoted)
            return i;
    }
    return body.size();
}

QString unquoted(const QString &value)
{
    if (value.size() < 2 || !value.startsWith(u'"') || !value.endsWith(u'"'))
        return value;
    QString out;
    const QString inner = value.mid(1, value.size() - 2);
    for (qsizetype i = 0; i < inner.size(); ++i) {
        if (inner[i] == u'\\' && i + 1 < inner.size())
            ++i;
        out += inner[i];
    }
    return out;
}

// Plain when nothing in it would be read otherwise, else quoted and escaped.
QByteArray quotedIfNeeded(const QString &value)
{
    bool plain = !value.isEmpty() && value == value.trimmed();
    for (const QChar c : value)
        if (c == u'"' || c == u'\\' || c == u';' || c == u',' || c == u'#' || c.unicode() < 0x20)
            plain = false;
    if (plain)
        return value.toUtf8();
    QString escaped = value;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return '"' + escaped.toUtf8() + '"';
}

} // namespace

std::optional<QString> iniValue(const QByteArray &text, const QString &group, const QString &key)
{
    std::optional<QString> found;
    QString current;
    for (const Line &line : splitKeepingEnds(text)) {
        if (const auto g = groupOf(line.body)) {
            current = *g;
            continue;
        }
        if (current == group && keyOf(line.body) == key) {
            const QByteArray &b = line.body;
            const qsizetype from = b.indexOf('=') + 1;
            found = unquoted(QString::fromUtf8(b.mid(from, commentStart(b) - from)).trimmed());
        }
    }
    return found;
}

QByteArray withIniValue(const QByteArray &text, const QString &group, const QString &key,
                        const std::optional<QString> &value)
{
    QList<Line> lines = splitKeepingEnds(text);
    // New lines follow the file's own line ends.
    const QByteArray newline = text.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    const QByteArray keyLine = value ? key.toUtf8() + '=' + quotedIfNeeded(*value) : QByteArray();

    QString current;
    qsizetype lastInGroup = -1; // the group's header or its last key line
    bool changed = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const auto g = groupOf(lines[i].body)) {
            current = *g;
            if (current == group)
                lastInGroup = i;
            continue;
        }
        if (current != group || !keyOf(lines[i].body))
            continue;
        if (keyOf(lines[i].body) != key) {
            lastInGroup = i;
            continue;
        }
        if (!value || changed) { // removed, or a repeat of a key already set
            lines.removeAt(i--);
            continue;
        }
        // A comment after the value stays, with the blanks in front of it.
        const QByteArray &old = lines[i].body;
        qsizetype comment = commentStart(old);
        while (comment < old.size() && comment > 0 && (old[comment - 1] == ' ' || old[comment - 1] == '\t'))
            --comment;
        lines[i].body = keyLine + old.mid(comment);
        lastInGroup = i;
        changed = true;
    }
    if (value && !changed) {
        if (!lines.isEmpty() && lines.last().end.isEmpty())
            lines.last().end = newline;
        if (lastInGroup >= 0) {
            lines.insert(lastInGroup + 1, Line{keyLine, newline});
        } else {
            if (!lines.isEmpty() && !lines.last().body.trimmed().isEmpty())
                lines.append(Line{{}, newline});
            lines.append(Line{'[' + group.toUtf8() + ']', newline});
            lines.append(Line{keyLine, newline});
        }
    }
    QByteArray out;
    for (const Line &line : lines)
        out += line.body + line.end;
    return out;
}

} // namespace orvane
