#pragma once
// Writing a file's whole new content so that the file is never left half
// written, keeps its permissions, owner and hard links, and can be rewritten
// where its folder cannot be written to; and opening the files the program
// appends to without following links or blocking on a pipe.

#include "result.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace orvane {

// Whether a symbolic link at the name is followed to its target (a file the
// user chose) or refused and left alone (a name the program makes itself in
// the save or guide-log folder).
enum class FileLinks { Follow, Refuse };

// Several whole-file rewrites made durable together. Each file added is written
// beside its name in full at once; commit() then flushes every such file to the
// disk, renames each over its name and flushes each folder once, so a crash
// leaves every file whole, old or new. A file with other hard links, another
// owner, or in a folder that cannot be written to is written in place as it is
// added: the old content is read first, the new one written over it, cut to
// length and flushed; when that fails the old content is written back. A name
// taken by anything but a plain file (and, with FileLinks::Refuse, a symbolic
// link) is refused and left as it is. What is not committed is removed.
// A replaced file's old inode is not deleted at once: the new file takes its
// name by an atomic exchange, and the old one, under a temporary name, is
// written over as the next file's new content (the file system then allocates
// and frees far fewer inodes). Every old content left is removed at the end.
class FileRewriteBatch {
public:
    explicit FileRewriteBatch(FileLinks links = FileLinks::Follow) : links_(links) {}
    ~FileRewriteBatch();
    FileRewriteBatch(const FileRewriteBatch &) = delete;
    FileRewriteBatch &operator=(const FileRewriteBatch &) = delete;

    // The failure's cause is a phrase for the caller's sentence ("only 8 of 10
    // bytes could be written; the disk may be full").
    Result add(const QString &path, const QByteArray &bytes);
    // Files added and not yet committed.
    size_t pending() const { return staged_.size(); }
    // On a failure no file still waiting is replaced; the cause names the file.
    Result commit();

private:
    struct Staged {
        QString path;     // the name it replaces (a link's target when followed)
        QByteArray temp;  // the file written beside it
        int fd = -1;
    };
    // A replaced file's old content under a temporary name, after the exchange
    // that put the new content under its name.
    struct Spare {
        QByteArray folder;
        QByteArray temp;
    };
    void discard();
    int openTemp(const QByteArray &folder, QByteArray &temp);
    void putInPlace(const Staged &s, QByteArray &folder, int &cause);

    FileLinks links_;
    std::vector<Staged> staged_;
    std::vector<Spare> spares_;
    bool exchangeWorks_ = true;
};

// Makes `bytes` the whole content of the file at `path`, as a batch of one.
Result writeWholeFile(const QString &path, const QByteArray &bytes, FileLinks links = FileLinks::Follow);

// Opens `path` with `flags` (O_WRONLY | O_APPEND | O_CREAT, say; a new file
// gets mode 0666 less the umask) when it is a plain file: a symbolic link is
// not followed and a pipe or device is never waited on. The descriptor, or the
// cause ("it is a symbolic link, so it was left alone").
ResultOf<int> openPlainFile(const QString &path, int flags);

} // namespace orvane
