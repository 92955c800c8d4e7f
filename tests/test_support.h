#pragma once
// Small helpers shared by the test programs.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Runs `work` with an ordinary user's rights, which root's do not show:
// directly when the tests run as such a user, else in a child process that
// becomes "nobody" first. True when `work` returned true there.
inline bool asOrdinaryUser(const std::function<bool()> &work)
{
    if (::geteuid() != 0)
        return work();
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(2);
        ::_exit(work() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What must stay of a file rewritten: the same inode, its link count, its permission bits.
struct FileIdentity {
    ino_t inode = 0;
    nlink_t links = 0;
    mode_t mode = 0;
    bool operator==(const FileIdentity &) const = default;
};

inline FileIdentity identityOf(const QString &path)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {st.st_ino, st.st_nlink, mode_t(st.st_mode & 07777)};
}

inline bool setMode(const QString &path, mode_t mode) { return ::chmod(QFile::encodeName(path).constData(), mode) == 0; }
inline bool hardLink(const QString &from, const QString &to)
{
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace orvane::test
