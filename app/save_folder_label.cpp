#include "save_folder_label.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>

namespace orvane {

SaveFolderLabel::SaveFolderLabel(const QString &saveDir, QWidget *parent) : QLabel(parent), saveDir_(saveDir)
{
    setObjectName(QStringLiteral("saveFolder"));
    setTextFormat(Qt::PlainText);
    setMaximumWidth(kMaxWidthPx);
}

void SaveFolderLabel::refresh()
{
    const QString folder = QDir::toNativeSeparators(saveDir_);
    display(QStringLiteral("Saving to "), folder, folder);
}

void SaveFolderLabel::showSaved(const QString &path)
{
    const QFileInfo file(path);
    display(QStringLiteral("Saved %1 in ").arg(file.fileName()), QDir::toNativeSeparators(file.path()),
         QDir::toNativeSeparators(path));
}

void SaveFolderLabel::follow(QWidget *folderWindow)
{
    folderWindow->installEventFilter(this);
    connect(folderWindow, &QObject::destroyed, this, &SaveFolderLabel::refresh);
}

bool SaveFolderLabel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Hide)
        refresh();
    return QLabel::eventFilter(watched, event);
}

void SaveFolderLabel::display(const QString &prefix, const QString &folder, const QString &tooltip)
{
    // The start and the end of a path say the most: cut in the middle.
    const int room = kMaxWidthPx - fontMetrics().horizontalAdvance(prefix);
    setText(prefix + fontMetrics().elidedText(folder, Qt::ElideMiddle, std::max(room, 40)));
    setToolTip(tooltip);
}

} // namespace orvane
