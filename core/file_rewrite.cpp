#include "file_rewrite.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane {

namespace {

// Flushes waiting on the disk at once in a commit.
constexpr size_t kFlushersAtOnce = 16;

QString systemCause(int error) { return QString::fromLocal8Bit(strerror(error)); }

QString shortWrite(qint64 written, qint64 wanted)
{
    return QStringLiteral("only %1 of %2 bytes could be written; the disk may be full").arg(qMax<qint64>(written, 0)).arg(wanted);
}

// Writes all of `bytes` at the descriptor's offset; the cause of a failure, or empty.
QString writeAllTo(int fd, const QByteArray &bytes)
{
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno == ENOSPC || errno == EFBIG || errno == EDQUOT ? shortWrite(done, bytes.size()) : systemCause(errno);
        if (n == 0)
            return shortWrite(done, bytes.size());
        done += n;
    }
    return {};
}

// Writes `bytes` from the start of the file, cuts it there and flushes it to
// the disk; the cause of a failure, or empty.
QString overwrite(int fd, const QByteArray &bytes)
{
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return systemCause(errno);
    if (QString cause = writeAllTo(fd, bytes); !cause.isEmpty())
        return cause;
    if (::ftruncate(fd, bytes.size()) != 0 || ::fsync(fd) != 0)
        return systemCause(errno);
    return {};
}

Result writeInPlace(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return Result::failure(file.errorString());
    const QByteArray old = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Result::failure(file.errorString());
    file.close();
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return Result::failure(systemCause(errno));
    const QString cause = overwrite(fd, bytes);
    Result result = Result::success();
    if (!cause.isEmpty())
        result = Result::failure(cause + (overwrite(fd, old).isEmpty()
                                              ? QStringLiteral("; the file holds its old content again")
                                              : QStringLiteral("; its old content could not be put back either, so it is cut")));
    ::close(fd);
    return result;
}

QByteArray tempNameBeside(const QString &path)
{
    static std::atomic<unsigned> counter{0};
    const QFileInfo info(path);
    return QFile::encodeName(info.absolutePath() + QStringLiteral("/.%1.%2-%3.new")
                                                        .arg(info.fileName())
                                                        .arg(::getpid())
                                                        .arg(counter.fetch_add(1)));
}

mode_t currentUmask()
{
    static const mode_t mask = [] {
        const mode_t m = ::umask(022);
        ::umask(m);
        return m;
    }();
    return mask;
}

bool syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL; // some file systems cannot flush a folder
    ::close(fd);
    return ok;
}

} // namespace

FileRewriteBatch::~FileRewriteBatch() { discard(); }

void FileRewriteBatch::discard()
{
    for (const Staged &s : staged_) {
        if (s.fd >= 0)
            ::close(s.fd);
        ::unlink(s.temp.constData());
    }
    staged_.clear();
    for (const Spare &spare : spares_)
        ::unlink(spare.temp.constData());
    spares_.clear();
}

int FileRewriteBatch::openTemp(const QByteArray &folder, QByteArray &temp)
{
    for (auto spare = spares_.begin(); spare != spares_.end(); ++spare) {
        if (spare->folder != folder)
            continue;
        temp = spare->temp;
        spares_.erase(spare);
        // Written over in place and cut to length after: dropping its pages first
        // would cost more than the write.
        const int fd = ::open(temp.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd >= 0)
            return fd;
        ::unlink(temp.constData());
        break;
    }
    return -1;
}

void FileRewriteBatch::putInPlace(const Staged &s, QByteArray &folder, int &cause)
{
    const QByteArray name = QFile::encodeName(s.path);
    folder = QFile::encodeName(QFileInfo(s.path).absolutePath());
    if (exchangeWorks_) {
        if (::renameat2(AT_FDCWD, s.temp.constData(), AT_FDCWD, name.constData(), RENAME_EXCHANGE) == 0) {
            spares_.push_back({folder, s.temp}); // the old content, written over by a later file
            cause = 0;
            return;
        }
        if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
            exchangeWorks_ = false; // a file system without exchanges: plain renames
        else if (errno != ENOENT) {
            cause = errno;
            return;
        }
    }
    cause = ::rename(s.temp.constData(), name.constData()) == 0 ? 0 : errno;
}

Result FileRewriteBatch::add(const QString &path, const QByteArray &bytes)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    QString target = path;
    bool replacing = false;
    if (::lstat(name.constData(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            if (links_ == FileLinks::Refuse)
                return Result::failure(QStringLiteral("it is a symbolic link, so it was left alone"));
            const QFileInfo info(path);
            if (info.exists() && !info.isFile())
                return Result::failure(QStringLiteral("it is not a plain file, so it was left alone"));
            if (info.exists()) {
                target = info.canonicalFilePath();
                if (::stat(QFile::encodeName(target).constData(), &st) != 0)
                    return Result::failure(systemCause(errno));
                replacing = true;
            } else {
                target = info.symLinkTarget(); // a dangling link chosen by the user: its target is made
            }
        } else if (!S_ISREG(st.st_mode)) {
            return Result::failure(QStringLiteral("it is not a plain file, so it was left alone"));
        } else {
            replacing = true;
        }
    }
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    if (replacing && (st.st_nlink > 1 || st.st_uid != ::geteuid() || ::access(folder.constData(), W_OK | X_OK) != 0))
        return writeInPlace(target, bytes);

    Staged staged{target, {}, openTemp(folder, staged.temp)};
    if (staged.fd < 0) {
        staged.temp = tempNameBeside(target);
        staged.fd = ::open(staged.temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    }
    if (staged.fd < 0)
        return Result::failure(systemCause(errno));
    QString cause = writeAllTo(staged.fd, bytes);
    if (cause.isEmpty() && ::ftruncate(staged.fd, bytes.size()) != 0)
        cause = systemCause(errno);
    // A new name gets the mode a new file gets; a spare keeps its old one otherwise.
    const mode_t mode = replacing ? st.st_mode & 07777 : 0666 & ~currentUmask();
    if (cause.isEmpty() && ::fchmod(staged.fd, mode) != 0)
        cause = systemCause(errno);
    if (!cause.isEmpty()) {
        ::close(staged.fd);
        ::unlink(staged.temp.constData());
        return Result::failure(cause);
    }
    // The disk starts on this file now, while the next ones are made; commit()
    // then mostly waits for writes already under way.
    (void)::sync_file_range(staged.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    staged_.push_back(std::move(staged));
    return Result::success();
}

Result FileRewriteBatch::commit()
{
    const auto failed = [this](const Staged &s, const QString &cause) {
        const QString sentence = QStringLiteral("%1: %2").arg(s.path, cause);
        discard();
        return Result::failure(sentence);
    };
    // Every file's data on the disk first, so that no rename can stand for a
    // file whose bytes are not there yet. The files are new, so their data and
    // length are all there is to flush (fdatasync); their names are made
    // durable by the one flush of each folder after the renames. The flushes
    // run side by side: the file system then commits them in few journal
    // transactions instead of one disk round trip each.
    std::vector<int> causes(staged_.size(), 0);
    std::atomic<size_t> next{0};
    const auto flushSome = [&] {
        for (size_t i = next.fetch_add(1); i < staged_.size(); i = next.fetch_add(1))
            causes[i] = ::fdatasync(staged_[i].fd) == 0 ? 0 : errno;
    };
    {
        std::vector<std::jthread> flushers;
        const size_t helpers = std::min<size_t>(kFlushersAtOnce, staged_.size()) - (staged_.empty() ? 0 : 1);
        for (size_t t = 0; t < helpers; ++t)
            flushers.emplace_back(flushSome);
        flushSome();
    }
    for (size_t i = 0; i < staged_.size(); ++i)
        if (causes[i] != 0)
            return failed(staged_[i], systemCause(causes[i]));
    for (Staged &s : staged_) {
        ::close(s.fd);
        s.fd = -1;
    }
    std::set<QByteArray> folders;
    for (size_t i = 0; i < staged_.size(); ++i) {
        const Staged &s = staged_[i];
        QByteArray folder;
        int cause = 0;
        putInPlace(s, folder, cause);
        if (cause != 0) {
            staged_.erase(staged_.begin(), staged_.begin() + qsizetype(i)); // those are in place already
            return failed(s, systemCause(cause));
        }
        folders.insert(folder);
    }
    staged_.clear();
    for (const QByteArray &folder : folders)
        if (!syncFolder(folder))
            return Result::failure(QStringLiteral("%1: the folder could not be flushed to the disk (%2)")
                                       .arg(QFile::decodeName(folder), systemCause(errno)));
    return Result::success();
}

Result writeWholeFile(const QString &path, const QByteArray &bytes, FileLinks links)
{
    FileRewriteBatch batch(links);
    if (Result added = batch.add(path, bytes); !added)
        return added;
    if (Result committed = batch.commit(); !committed) {
        // The cause alone: the caller's sentence names the file.
        const QString prefix = path + QStringLiteral(": ");
        QString cause = committed.error();
        for (const QString &name : {prefix, QFileInfo(path).canonicalFilePath() + QStringLiteral(": ")})
            if (cause.startsWith(name))
                cause = cause.mid(name.size());
        return Result::failure(cause);
    }
    return Result::success();
}

ResultOf<int> openPlainFile(const QString &path, int flags)
{
    // Looked at first, so that a pipe without a reader is named for what it is;
    // the open itself then neither follows a link nor waits.
    struct stat seen {};
    if (::lstat(QFile::encodeName(path).constData(), &seen) == 0) {
        if (S_ISLNK(seen.st_mode))
            return ResultOf<int>::failure(QStringLiteral("it is a symbolic link, so it was left alone"));
        if (!S_ISREG(seen.st_mode))
            return ResultOf<int>::failure(QStringLiteral("it is not a plain file, so it was left alone"));
    }
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == ELOOP)
            return ResultOf<int>::failure(QStringLiteral("it is a symbolic link, so it was left alone"));
        return ResultOf<int>::failure(systemCause(errno));
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return ResultOf<int>::failure(QStringLiteral("it is not a plain file, so it was left alone"));
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace orvane
