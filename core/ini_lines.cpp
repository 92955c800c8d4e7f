#include "ini_lines.h"

#include <QFile>
#include <QHash>
#include <QList>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane {

namespace {

const QByteArray kByteOrderMark("\xEF\xBB\xBF");
constexpr qint64 kLargestIniBytes = 16 * 1024 * 1024;

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

// The text without its byte-order mark, which is put back in front when written.
QByteArray withoutMark(const QByteArray &text)
{
    return text.startsWith(kByteOrderMark) ? text.mid(kByteOrderMark.size()) : text;
}

bool isComment(const QByteArray &trimmed) { return trimmed.startsWith(';') || trimmed.startsWith('#'); }

// "[name]", also with a comment after it -> name; nothing when the line is no group header.
std::optional<QString> groupOf(const QByteArray &body)
{
    const QByteArray t = body.trimmed();
    const qsizetype close = t.indexOf(']');
    if (!t.startsWith('[') || close < 0)
        return std::nullopt;
    const QByteArray rest = t.mid(close + 1).trimmed();
    if (!rest.isEmpty() && !isComment(rest))
        return std::nullopt;
    return QString::fromUtf8(t.mid(1, close - 1)).trimmed();
}

// The key of a "key = value" line; nothing for blank, comment and header lines.
std::optional<QString> keyOf(const QByteArray &body)
{
    const QByteArray t = body.trimmed();
    const qsizetype equals = t.indexOf('=');
    if (t.isEmpty() || isComment(t) || t.startsWith('[') || equals < 0)
        return std::nullopt;
    return QString::fromUtf8(t.left(equals)).trimmed();
}

// Where a comment starts after the "=" of a key line, or the line's length: a
// ";" outside quotes, or a "#" outside quotes after a blank or right after "=".
qsizetype commentStart(const QByteArray &body)
{
    bool quoted = false;
    const qsizetype from = body.indexOf('=') + 1;
    for (qsizetype i = from; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '\\' && quoted)
            ++i;
        else if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == ';' || (c == '#' && (i == from || body[i - 1] == ' ' || body[i - 1] == '\t'))))
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

QString valueOf(const QByteArray &body)
{
    const qsizetype from = body.indexOf('=') + 1;
    return unquoted(QString::fromUtf8(body.mid(from, commentStart(body) - from)).trimmed());
}

// Plain when nothing in it would be read otherwise, else quoted and escaped.
QByteArray quotedIfNeeded(const QString &value)
{
    bool plain = !value.isEmpty() && value == value.trimmed() && !value.startsWith(u'"');
    for (const QChar c : value)
        if (c == u'"' || c == u'\\' || c == u';' || c == u',' || c == u'#' || c.unicode() < 0x20)
            plain = false;
    if (plain)
        return value.toUtf8();
    QString escaped = value;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return '"' + escaped.toUtf8() + '"';
}

QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

} // namespace

std::optional<IniEntry> iniEntry(const QByteArray &text, const QString &group, const QString &key)
{
    std::optional<IniEntry> found;
    QString current;
    int number = 0;
    for (const Line &line : splitKeepingEnds(withoutMark(text))) {
        ++number;
        if (const auto g = groupOf(line.body)) {
            current = *g;
            continue;
        }
        if (current == group && keyOf(line.body) == key)
            found = IniEntry{valueOf(line.body), number};
    }
    return found;
}

std::optional<QString> iniValue(const QByteArray &text, const QString &group, const QString &key)
{
    if (const std::optional<IniEntry> entry = iniEntry(text, group, key))
        return entry->value;
    return std::nullopt;
}

QByteArray withIniValue(const QByteArray &text, const QString &group, const QString &key,
                        const std::optional<QString> &value)
{
    const bool marked = text.startsWith(kByteOrderMark);
    QList<Line> lines = splitKeepingEnds(withoutMark(text));
    // New lines follow the file's own line ends.
    const QByteArray newline = text.contains("\r\n") ? QByteArray("\r\n") : QByteArray("\n");
    const QByteArray keyLine = value ? key.toUtf8() + '=' + quotedIfNeeded(*value) : QByteArray();

    QString current;
    qsizetype lastInGroup = -1; // the group's header or its last key line
    qsizetype changedAt = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const auto g = groupOf(lines[i].body)) {
            current = *g;
            if (current == group)
                lastInGroup = i;
            continue;
        }
        if (current != group || !keyOf(lines[i].body))
            continue;
        lastInGroup = i;
        if (keyOf(lines[i].body) != key)
            continue;
        // The later of two lines of one key is the one read: it is the one changed.
        changedAt = i;
    }
    if (changedAt >= 0 && !value) {
        lines.removeAt(changedAt);
    } else if (changedAt >= 0) {
        const QByteArray &old = lines[changedAt].body;
        if (valueOf(old) != *value) {
            // The blanks around "=" and a comment after the value stay.
            const qsizetype equals = old.indexOf('=');
            qsizetype valueFrom = equals + 1;
            while (valueFrom < old.size() && (old[valueFrom] == ' ' || old[valueFrom] == '\t'))
                ++valueFrom;
            qsizetype comment = commentStart(old);
            while (comment > valueFrom && (old[comment - 1] == ' ' || old[comment - 1] == '\t'))
                --comment;
            QByteArray rest = old.mid(comment);
            if (!rest.isEmpty() && rest[0] != ' ' && rest[0] != '\t')
                rest.prepend(' '); // "key=#note": the comment stays one after the new value
            lines[changedAt].body = old.left(valueFrom) + quotedIfNeeded(*value) + rest;
        }
    } else if (value) {
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
    QByteArray out = marked ? kByteOrderMark : QByteArray();
    for (const Line &line : lines)
        out += line.body + line.end;
    return out;
}

QStringList iniLayoutProblems(const QByteArray &text, const QString &path)
{
    QStringList problems;
    QHash<QString, int> groupLines;           // group -> its first header's line
    QHash<QString, int> keyLines;             // "group\nkey" -> its first line
    QString current;
    int number = 0;
    for (const Line &line : splitKeepingEnds(withoutMark(text))) {
        ++number;
        if (const auto g = groupOf(line.body)) {
            current = *g;
            if (const auto first = groupLines.constFind(current); first != groupLines.cend())
                problems << QStringLiteral("%1 line %2: [%3] appears a second time (first at line %4); its keys are "
                                           "read as if they stood in the first.")
                                .arg(path).arg(number).arg(current.left(40)).arg(*first);
            else
                groupLines.insert(current, number);
            continue;
        }
        const std::optional<QString> key = keyOf(line.body);
        if (!key)
            continue;
        const QString id = current + u'\n' + *key;
        if (const auto first = keyLines.constFind(id); first != keyLines.cend())
            problems << QStringLiteral("%1 line %2: [%3] %4 appears a second time (first at line %5); the value on "
                                       "line %2 is used.")
                            .arg(path).arg(number).arg(current.left(40), key->left(40)).arg(*first);
        else
            keyLines.insert(id, number);
    }
    return problems;
}

IniFileText readIniFile(const QString &path)
{
    IniFileText out;
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking: a FIFO opens at once (and is refused below) instead of waiting for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno != ENOENT) {
            out.cause = errnoText(errno);
            out.problem = QStringLiteral("%1 cannot be read: %2; every orvane.ini key keeps its default.")
                              .arg(path, out.cause);
        }
        return out;
    }
    struct stat facts {};
    QString cause;
    if (::fstat(fd, &facts) != 0)
        cause = errnoText(errno);
    else if (S_ISDIR(facts.st_mode))
        cause = QStringLiteral("it is a folder");
    else if (!S_ISREG(facts.st_mode))
        cause = QStringLiteral("it is not a plain file");
    else if (facts.st_size > kLargestIniBytes)
        cause = QStringLiteral("it holds %1 bytes, more than a settings file can").arg(qint64(facts.st_size));
    char buffer[65536];
    while (cause.isEmpty()) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            cause = errnoText(errno);
        else if (got == 0)
            break;
        else if (out.text.size() + got > kLargestIniBytes)
            cause = QStringLiteral("it holds more bytes than a settings file can");
        else
            out.text.append(buffer, got);
    }
    ::close(fd);
    if (!cause.isEmpty()) {
        out.text.clear();
        out.cause = cause;
        out.problem = QStringLiteral("%1 cannot be read: %2; every orvane.ini key keeps its default.").arg(path, cause);
    }
    return out;
}

QString quotedIniValue(const QString &value, int most)
{
    if (value.size() <= most)
        return u'"' + value + u'"';
    return u'"' + value.left(most) + QStringLiteral("…\"");
}

} // namespace orvane
