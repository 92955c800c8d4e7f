#pragma once
// orvane.ini's one reader and writer: single keys of an ini file's text read
// and changed line by line, so that everything the user wrote around them
// (comments, blank lines, other groups, the order of keys, the line ends, a
// byte-order mark) stays exactly as it was.
//
// What is read: "[group]" headers, "key = value" lines (blanks around "=" and
// the value are dropped), comments in lines of their own and after a header or
// a value (";" anywhere outside double quotes, "#" after a blank), lines ended
// by LF or CR LF, a UTF-8 byte-order mark at the start. A group that appears
// twice is read as one; of a key that appears twice in its group the later
// value counts.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvane {

// The value of `key` in `[group]`, or nothing when the key is not there. A
// value in double quotes loses them and its backslash escapes; otherwise the
// text after "=" is taken without its surrounding blanks, up to a comment.
std::optional<QString> iniValue(const QByteArray &text, const QString &group, const QString &key);

// As iniValue, with the line (counted from 1) the value stands on.
struct IniEntry {
    QString value;
    int line = 0;
};
std::optional<IniEntry> iniEntry(const QByteArray &text, const QString &group, const QString &key);

// `text` with `key` in `[group]` set to `value`, or removed when `value` is
// nothing. Only the key's own line changes (a comment after the value stays);
// a new key goes after the group's last key, a new group at the end of the text.
QByteArray withIniValue(const QByteArray &text, const QString &group, const QString &key,
                        const std::optional<QString> &value);

// A sentence for each group and each key that appears twice in `text`, naming
// the file, both lines and what is read: "<path> line 9: [serial] appears a
// second time (first at line 1); its keys are read as if they stood in the first."
QStringList iniLayoutProblems(const QByteArray &text, const QString &path);

// The bytes of the ini file at `path`. Only a plain file is read, and opening
// never waits (a FIFO in its place is refused at once). A missing file is an
// empty text without a problem; any other failure leaves `problem` saying why
// ("<path> cannot be read: it is a folder; ...").
struct IniFileText {
    QByteArray text;
    QString problem; // the sentence, or empty
    QString cause;   // the problem's cause alone ("it is a folder")
};
IniFileText readIniFile(const QString &path);

// "\"value\"", cut to at most `most` characters with "…" after it, so that a
// value of any length can be named in a sentence.
QString quotedIniValue(const QString &value, int most = 40);

} // namespace orvane
