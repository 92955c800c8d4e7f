#pragma once
// Reading and changing single keys of an ini file's text line by line, so that
// everything the user wrote around them (comments, blank lines, other groups,
// the order of keys, the line ends) stays exactly as it was.

#include <QByteArray>
#include <QString>

#include <optional>

namespace orvane {

// The value of `key` in `[group]`, or nothing when the key is not there. A
// value in double quotes loses them and its backslash escapes; otherwise the
// text after "=" is taken without its surrounding blanks, up to a ";" comment.
std::optional<QString> iniValue(const QByteArray &text, const QString &group, const QString &key);

// `text` with `key` in `[group]` set to `value`, or removed when `value` is
// nothing. Only the key's own line changes; a new key goes after the group's
// last key, a new group at the end of the text.
QByteArray withIniValue(const QByteArray &text, const QString &group, const QString &key,
                        const std::optional<QString> &value);

} // namespace orvane
