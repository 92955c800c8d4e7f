#include "file_rewrite.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace orvane {

namespace {

QString shortWrite(const QFileDevice &file, qint64 written, qint64 wanted)
{
    // A short write (file size limit, full disk) sets no error of its own.
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    return QStringLiteral("only %1 of %2 bytes could be written; the disk may be full")
        .arg(qMax<qint64>(written, 0))
        .arg(wanted);
}

Result replaceByRename(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path); // keeps the permissions of a file it replaces
    if (!file.open(QIODevice::WriteOnly))
        return Result::failure(file.errorString());
    if (const qint64 written = file.write(bytes); written != bytes.size()) {
        const QString cause = shortWrite(file, written, bytes.size());
        file.cancelWriting();
        return Result::failure(cause);
    }
    if (!file.commit())
        return Result::failure(file.errorString());
    return Result::success();
}

// Writes `bytes` from the start of the open file, cuts it there and flushes it
// to the disk; the cause of a failure, or empty.
QString overwrite(QFile &file, const QByteArray &bytes)
{
    if (!file.seek(0))
        return file.errorString();
    if (const qint64 written = file.write(bytes); written != bytes.size())
        return shortWrite(file, written, bytes.size());
    if (!file.flush() || !file.resize(bytes.size()))
        return file.errorString();
    if (::fsync(file.handle()) != 0)
        return QString::fromLocal8Bit(strerror(errno));
    return {};
}

Result writeInPlace(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return Result::failure(file.errorString());
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Result::failure(file.errorString());
    const QString cause = overwrite(file, bytes);
    if (cause.isEmpty())
        return Result::success();
    file.unsetError();
    if (overwrite(file, old).isEmpty())
        return Result::failure(cause + QStringLiteral("; the file holds its old content again"));
    return Result::failure(cause + QStringLiteral("; its old content could not be put back either, so it is cut"));
}

} // namespace

Result writeWholeFile(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    if (!info.exists())
        return replaceByRename(path, bytes);
    if (!info.isFile())
        return Result::failure(QStringLiteral("it is not a plain file, so it was left alone"));

    const QString target = info.canonicalFilePath();
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    struct stat st {};
    const bool inPlace = ::stat(QFile::encodeName(target).constData(), &st) != 0 || st.st_nlink > 1
                         || st.st_uid != ::geteuid() || ::access(folder.constData(), W_OK | X_OK) != 0;
    return inPlace ? writeInPlace(target, bytes) : replaceByRename(target, bytes);
}

} // namespace orvane
