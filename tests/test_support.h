#pragma once
// Small helpers shared by the test programs.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace orvane::test {

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace orvane::test
