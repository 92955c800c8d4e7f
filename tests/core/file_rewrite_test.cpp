#include "file_rewrite.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace orvane;

namespace {

QByteArray contentOf(const QString &path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll()
                                        : QByteArray("(unreadable)");
}

void writeFile(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

} // namespace

// Old files' inodes are reused for later files of the batch: every name must
// still end with its own new content and mode, a longer old content cut off,
// and nothing of the old contents left beside them.
TEST(FileRewriteBatch,
     ManyRewritesInTwoCommitsLeaveEachFileItsOwnContentAndNothingElse) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString a = dir.filePath("a.bmp"), b = dir.filePath("b.bmp"),
                c = dir.filePath("c.bmp");
  const QString fresh = dir.filePath("new.bmp");
  writeFile(a, QByteArray(5000, 'A'));
  writeFile(b, "old b");
  writeFile(c, "old c");
  ASSERT_EQ(::chmod(QFile::encodeName(b).constData(), 0600), 0);

  {
    FileRewriteBatch batch;
    ASSERT_TRUE(batch.add(a, "new a"));
    ASSERT_TRUE(batch.add(b, QByteArray(3000, 'b')));
    ASSERT_TRUE(batch.commit());
    // The second commit's files are written over the first commit's old
    // contents.
    ASSERT_TRUE(batch.add(c, "new c"));
    ASSERT_TRUE(batch.add(fresh, "made"));
    ASSERT_TRUE(batch.add(a, "newer a"));
    ASSERT_TRUE(batch.commit());
  } // old contents wait under temporary names until the batch ends

  EXPECT_EQ(contentOf(a), "newer a");
  EXPECT_EQ(contentOf(b), QByteArray(3000, 'b'));
  EXPECT_EQ(contentOf(c), "new c");
  EXPECT_EQ(contentOf(fresh), "made");
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(b).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const mode_t mask = ::umask(022);
  ::umask(mask);
  ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
            (QStringList{"a.bmp", "b.bmp", "c.bmp", "new.bmp"}));
}
