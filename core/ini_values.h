#pragma once
// Typed reading of orvane.ini keys by the rules of the key table (ini_keys.h).
// A value that cannot be used is told once in `notes`, naming the file, the
// line, the key, the value (cut to 40 characters) and what is used instead:
// "/home/you/.config/orvane/orvane.ini line 12: [mount] swapEW: "TRUE!" is
// neither true nor false; using false." and the caller keeps its default.

#include "ini_keys.h"
#include "ini_lines.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvane {

class IniValues {
public:
    IniValues(QByteArray text, QString path, QStringList &notes);
    // The file at `path` through readIniFile; a file that cannot be read reads as
    // empty (Program tells why at start-up).
    static IniValues read(const QString &path, QStringList &notes);

    // Nothing when the key is absent or its value is refused (and told);
    // `instead` names what the caller uses then ("5", "the default").
    std::optional<double> number(const char *group, const char *key, const QString &instead);
    std::optional<long long> whole(const char *group, const char *key, const QString &instead);
    std::optional<bool> truth(const char *group, const char *key, const QString &instead);
    // The index of the value among the key's words.
    std::optional<int> word(const char *group, const char *key, const QString &instead);
    // The value as written (without blanks around it), unchecked.
    std::optional<QString> text(const char *group, const char *key) const;
    std::optional<IniEntry> entry(const char *group, const char *key) const;

    // Tells that the value of [group] key is `rule` (closing "is ..."); `instead`: what is used.
    void refuse(const char *group, const char *key, const QString &rule, const QString &instead);
    bool has(const char *group, const char *key) const { return entry(group, key).has_value(); }

    const QByteArray &bytes() const { return text_; }
    const QString &path() const { return path_; }

private:
    QByteArray text_;
    QString path_;
    QStringList &notes_;
};

// The sentence refuse() tells.
QString iniRefusal(const QString &path, int line, const QString &group, const QString &key, const QString &value,
                   const QString &rule, const QString &instead);

} // namespace orvane
