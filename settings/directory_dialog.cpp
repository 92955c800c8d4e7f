#include "directory_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStorageInfo>

#include "message_box.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
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

// Why ::mkdir failed, in plain words.
QString mkdirCause(int error)
{
    switch (error) {
    case EEXIST:
        return QStringLiteral("it exists already");
    case EACCES:
    case EPERM:
        return QStringLiteral("permission denied");
    case EROFS:
        return QStringLiteral("the file system is read-only");
    case ENOSPC:
        return QStringLiteral("the disk is full");
    case ENOENT:
        return QStringLiteral("the directory it would go in is gone");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
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
    pathLabel->setToolTip(QStringLiteral("The folder OK takes."));
    auto *pathCaption = new QLabel(QStringLiteral("Save to:"), this);
    pathEdit = new QLineEdit(this);
    pathEdit->setObjectName(QStringLiteral("pathEdit"));
    pathEdit->setPlaceholderText(QStringLiteral("Or type a folder and press Enter"));
    problemLabel = new QLabel(this);
    problemLabel->setObjectName(QStringLiteral("problemLabel"));
    problemLabel->setWordWrap(true);
    problemLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
    problemLabel->hide();
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setFixedWidth(150);
    Command1->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setFixedWidth(150);
    newFolderButton = new QPushButton(QStringLiteral("New folder"), this);
    newFolderButton->setObjectName(QStringLiteral("newFolderButton"));
    newFolderButton->setFixedWidth(150);

    Drive1->setAccessibleName(QStringLiteral("Drive"));
    Dir1->setAccessibleName(QStringLiteral("Folders"));
    pathEdit->setAccessibleName(QStringLiteral("Folder to save to"));

    // Drive list top left, OK below it, the directory list to their right; the
    // path OK takes above the list, a typed path below it.
    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(pathCaption);
    pathRow->addWidget(pathLabel, 1);
    auto *layout = new QGridLayout(this);
    layout->addWidget(Drive1, 0, 0, Qt::AlignTop);
    layout->addWidget(Command1, 1, 0, Qt::AlignTop);
    layout->addWidget(cancelButton, 2, 0, Qt::AlignTop);
    layout->addWidget(newFolderButton, 3, 0, Qt::AlignTop);
    layout->addLayout(pathRow, 0, 1);
    layout->addWidget(Dir1, 1, 1, 4, 1);
    layout->addWidget(pathEdit, 5, 1);
    layout->addWidget(problemLabel, 6, 0, 1, 2);
    layout->setRowStretch(4, 1);
    layout->setColumnStretch(1, 1);

    connect(Command1, &QPushButton::clicked, this, &DirectoryDialog::Command1Click);
    connect(cancelButton, &QPushButton::clicked, this, &QWidget::close);
    connect(newFolderButton, &QPushButton::clicked, this, &DirectoryDialog::askNewFolderName);
    connect(Drive1, &QComboBox::activated, this, &DirectoryDialog::Drive1Change);
    connect(Dir1, &DirectoryList::pathChanged, this, &DirectoryDialog::pathOpened);
    connect(Dir1, &DirectoryList::openFailed, this, &DirectoryDialog::showProblem);
    connect(Dir1, &QListWidget::itemSelectionChanged, this, [this] {
        if (!Dir1->selectedItems().isEmpty())
            pathEdit->clear(); // a highlight replaces what was typed
        choiceChanged();
    });
    connect(pathEdit, &QLineEdit::textEdited, this, &DirectoryDialog::choiceChanged);
    connect(pathEdit, &QLineEdit::returnPressed, this, &DirectoryDialog::Command1Click);

    if (!Dir1->setPath(QDir::currentPath()))
        (void)Dir1->setPath(QDir::rootPath());
}

QString DirectoryDialog::currentPath() const
{
    return Dir1->path();
}

QString DirectoryDialog::chosenPath() const
{
    QString typed = pathEdit->text().trimmed();
    if (!typed.isEmpty()) {
        if (typed == u'~' || typed.startsWith(QStringLiteral("~/")))
            typed.replace(0, 1, QDir::homePath());
        return absoluteClean(QDir(Dir1->path()).absoluteFilePath(typed));
    }
    if (const QListWidgetItem *highlighted = Dir1->currentItem(); highlighted && highlighted->isSelected())
        return highlighted->data(Qt::UserRole).toString();
    return Dir1->path();
}

void DirectoryDialog::Command1Click()
{
    const QString chosen = chosenPath();
    const QFileInfo info(chosen);
    if (!info.exists() || !info.isDir()) {
        showProblem(info.exists() ? QStringLiteral("%1 is not a folder; choose another.").arg(chosen)
                                  : QStringLiteral("The folder %1 does not exist; choose or make another.").arg(chosen));
        return;
    }
    saveDir_ = chosen;
    emit saveFolderChosen(chosen);
    close();
}

Result DirectoryDialog::makeFolder(const QString &name)
{
    const QString trimmed = name.trimmed();
    Result made = Result::success();
    const QString path = absoluteClean(Dir1->path() + u'/' + trimmed);
    if (trimmed.isEmpty())
        made = Result::failure(QStringLiteral("A new folder needs a name."));
    else if (trimmed.contains(u'/') || trimmed == u'.' || trimmed == QStringLiteral(".."))
        made = Result::failure(
            QStringLiteral("Cannot make the folder \"%1\": a name cannot be \".\" or \"..\" or hold \"/\".").arg(trimmed));
    else if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0)
        made = Result::failure(QStringLiteral("Cannot make the folder %1: %2.").arg(path, mkdirCause(errno)));
    if (!made) {
        showProblem(made.error());
        return made;
    }
    Dir1->refresh();
    const auto found = Dir1->findItems(trimmed, Qt::MatchExactly);
    if (!found.isEmpty())
        Dir1->setCurrentItem(found.first()); // highlighted: OK takes it
    choiceChanged();
    return made;
}

void DirectoryDialog::askNewFolderName()
{
    auto *ask = new QInputDialog(this);
    ask->setObjectName(QStringLiteral("newFolderName"));
    ask->setWindowTitle(QStringLiteral("New folder"));
    ask->setLabelText(QStringLiteral("Name of the new folder in %1:").arg(Dir1->path()));
    connect(ask, &QInputDialog::textValueSelected, this, [this](const QString &name) { (void)makeFolder(name); });
    openDialog(ask);
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

void DirectoryDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close(); // like Cancel
        return;
    }
    QWidget::keyPressEvent(event);
}

void DirectoryDialog::pathOpened(const QString &path)
{
    pathEdit->clear();
    selectDriveOf(path);
    choiceChanged();
}

void DirectoryDialog::choiceChanged()
{
    const QString chosen = chosenPath();
    pathLabel->setText(chosen);
    showProblem(saveDirectoryProblem(chosen));
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
