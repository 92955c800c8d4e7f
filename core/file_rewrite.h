#pragma once
// Writing a file's whole new content so that the file is never left half
// written, keeps its permissions, owner and hard links, and can be rewritten
// where its folder cannot be written to.

#include "result.h"

#include <QByteArray>
#include <QString>

namespace orvane {

// Makes `bytes` the whole content of the file at `path` (a symbolic link's
// target). A new file, or one alone under its name in a folder that can be
// written to, is written beside it and renamed over it. A file with other hard
// links, another owner, or in a folder that cannot be written to is written in
// place: the old content is read first, the new one written over it, cut to
// length and flushed to the disk; when that fails the old content is written
// back. The failure's cause is a phrase for the caller's sentence ("only 8 of
// 10 bytes could be written; the disk may be full"). A name taken by anything
// but a plain file is refused and left as it is.
Result writeWholeFile(const QString &path, const QByteArray &bytes);

} // namespace orvane
