#include "file_chooser.h"

#include <QFileDialog>
#include <QFileInfo>

namespace orvane {

QString QtFileChooser::chooseOpenFile(QWidget *parent, const QString &filter, const QString &initialName)
{
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile); // a new name may be typed
    dialog.setNameFilter(filter);
    if (!initialName.isEmpty()) {
        const QFileInfo info(initialName);
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

QStringList QtFileChooser::chooseOpenFiles(QWidget *parent, const QString &filter)
{
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(filter);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

} // namespace orvane
