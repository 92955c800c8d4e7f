#include "directory_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStorageInfo>

#include <cerrno>

#include <unistd.h>

namespace orvane {

namespace {

// Absolute, without "." and ".." steps and without a trailing separator except "/".
QString absoluteClean(const QString &path)
{
    QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // cleanPath keeps ".." steps above the root ("/../x"); the root is its own parent.
    while (clean == QStringLiteral("/..") || clean.startsWith(QStringLiteral("/../")))
        clean.remove(0, 3);
    return clean.isEmpty() ? QStringLiteral("/") : clean;
}

// The roots of the mounted volumes that hold directories, "/" first.
QStringList volumeRoots()
{
    QStringList roots{QStringLiteral("/")};
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        const QString root = absoluteClean(volume.rootPath());
        if (volume.isValid() && volume.isReady() && QFileInfo(root).isDir() && !roots.contains(root))
            roots.append(root);
    }
    std::sort(roots.begin() + 1, roots.end());
    return roots;
}

} // namespace

DirectoryList::DirectoryList(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setIconSize(QSize(16, 16));
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { (void)openRow(row(item)); });
}

Result DirectoryList::setPath(const QString &path)
{
    const QString target = absoluteClean(path);
    const QFileInfo info(target);
    Result opened = Result::success();
    if (!info.exists())
        opened = Result::failure(QStringLiteral("Cannot open %1: it does not exist.").arg(target));
    else if (!info.isDir())
        opened = Result::failure(QStringLiteral("Cannot open %1: it is not a directory.").arg(target));
    else if (!info.isReadable() || !info.isExecutable())
        opened = Result::failure(QStringLiteral("Cannot open %1: permission denied.").arg(target));
    if (!opened) {
        emit openFailed(opened.error());
        return opened;
    }
    path_ = target;
    refresh();
    emit pathChanged(path_);
    return opened;
}

void DirectoryList::refresh()
{
    clear();
    const QIcon folder = style()->standardIcon(QStyle::SP_DirIcon);
    const QDir dir(path_);
    if (!dir.isRoot()) {
        auto *up = new QListWidgetItem(folder, QStringLiteral(".."), this);
        up->setData(Qt::UserRole, absoluteClean(path_ + QStringLiteral("/..")));
    }
    const QStringList names = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &name : names) {
        auto *item = new QListWidgetItem(folder, name, this);
        item->setData(Qt::UserRole, dir.absoluteFilePath(name));
    }
}

Result DirectoryList::openRow(int row)
{
    const QListWidgetItem *entry = item(row);
    if (!entry)
        return Result::failure(QStringLiteral("There is no directory in row %1.").arg(row));
    return setPath(entry->data(Qt::UserRole).toString());
}

void DirectoryList::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentRow() >= 0) {
        (void)openRow(currentRow());
        return;
    }
    QListWidget::keyPressEvent(event);
}

DirectoryDialog::DirectoryDialog(QString &saveDir, QWidget *parent) : QWidget(parent, Qt::Window), saveDir_(saveDir)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Select directory to save to."));
    setAttribute(Qt::WA_DeleteOnClose);

    Drive1 = new QComboBox(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Drive1->addItems(volumeRoots());
    Drive1->setFixedWidth(150);
    Dir1 = new DirectoryList(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Dir1->setMinimumSize(260, 220);
    pathLabel = new QLabel(this);
    pathLabel->setObjectName(QStringLiteral("pathLabel"));
    pathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    pathLabel->setWordWrap(true);
    problemLabel = new QLabel(this);
    problemLabel->setObjectName(QStringLiteral("problemLabel"));
    problemLabel->setWordWrap(true);
    problemLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
    problemLabel->hide();
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setFixedWidth(150);
    Command1->setDefault(true);

    // Drive list top left, OK below it, the directory list to their right.
    auto *layout = new QGridLayout(this);
    layout->addWidget(Drive1, 0, 0, Qt::AlignTop);
    layout->addWidget(Command1, 1, 0, Qt::AlignTop);
    layout->addWidget(pathLabel, 0, 1);
    layout->addWidget(Dir1, 1, 1, 2, 1);
    layout->addWidget(problemLabel, 3, 0, 1, 2);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(1, 1);

    connect(Command1, &QPushButton::clicked, this, &DirectoryDialog::Command1Click);
    connect(Drive1, &QComboBox::activated, this, &DirectoryDialog::Drive1Change);
    connect(Dir1, &DirectoryList::pathChanged, this, &DirectoryDialog::pathOpened);
    connect(Dir1, &DirectoryList::openFailed, this, &DirectoryDialog::showProblem);

    if (!Dir1->setPath(QDir::currentPath()))
        (void)Dir1->setPath(QDir::rootPath());
}

QString DirectoryDialog::currentPath() const
{
    return Dir1->path();
}

void DirectoryDialog::Command1Click()
{
    saveDir_ = Dir1->path();
    close();
}

void DirectoryDialog::Drive1Change()
{
    if (!Dir1->setPath(Drive1->currentText()))
        selectDriveOf(Dir1->path());
}

QString DirectoryDialog::saveDirectoryProblem(const QString &dir)
{
    const QFileInfo info(dir);
    QString cause;
    if (!info.exists())
        cause = QStringLiteral("it does not exist");
    else if (!info.isDir())
        cause = QStringLiteral("it is not a directory");
    else if (::access(QFile::encodeName(dir).constData(), W_OK | X_OK) != 0)
        // Asked of the kernel, which also knows a read-only file system; no file
        // is made in the user's folder to find out. A full disk shows when a
        // frame fails to save, and that failure is told then.
        cause = errno == EROFS ? QStringLiteral("the file system is read-only") : QStringLiteral("permission denied");
    return cause.isEmpty() ? QString() : QStringLiteral("You cannot save frames in %1: %2.").arg(dir, cause);
}

void DirectoryDialog::showEvent(QShowEvent *event)
{
    // The directory may have changed while the window was hidden.
    Dir1->refresh();
    pathOpened(Dir1->path());
    QWidget::showEvent(event);
}

void DirectoryDialog::pathOpened(const QString &path)
{
    pathLabel->setText(path);
    selectDriveOf(path);
    showProblem(saveDirectoryProblem(path));
}

void DirectoryDialog::showProblem(const QString &sentence)
{
    problemLabel->setText(sentence);
    problemLabel->setVisible(!sentence.isEmpty());
}

void DirectoryDialog::selectDriveOf(const QString &path)
{
    // The volume whose root is the longest leading part of the path.
    int best = 0;
    for (int i = 0; i < Drive1->count(); ++i) {
        const QString root = Drive1->itemText(i);
        const bool holds = root == QStringLiteral("/") || path == root || path.startsWith(root + u'/');
        if (holds && root.size() > Drive1->itemText(best).size())
            best = i;
    }
    const QSignalBlocker blocker(Drive1);
    Drive1->setCurrentIndex(best);
}

} // namespace orvane
