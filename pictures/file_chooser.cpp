#include "file_chooser.h"

#include "message_box.h"

#include <QFileDialog>
#include <QFileInfo>

namespace orvane {

namespace {

QFileDialog *newDialog(QWidget *parent, QFileDialog::FileMode mode, const QString &filter,
                       std::function<void(const QStringList &)> finished)
{
    auto *dialog = new QFileDialog(parent);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(mode);
    dialog->setNameFilter(filter);
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, finished](int result) {
        finished(result == QDialog::Accepted ? dialog->selectedFiles() : QStringList());
    });
    return dialog;
}

} // namespace

void QtFileChooser::chooseOpenFile(QWidget *parent, const QString &filter, const QString &initialName,
                                   ChosenFile chosen)
{
    // AnyFile: a new name may be typed.
    QFileDialog *dialog = newDialog(parent, QFileDialog::AnyFile, filter,
                                    [chosen](const QStringList &files) { chosen(files.value(0)); });
    if (!initialName.isEmpty()) {
        const QFileInfo info(initialName);
        dialog->setDirectory(info.absolutePath());
        dialog->selectFile(info.fileName());
    }
    openDialog(dialog);
}

void QtFileChooser::chooseOpenFiles(QWidget *parent, const QString &filter, ChosenFiles chosen)
{
    openDialog(newDialog(parent, QFileDialog::ExistingFiles, filter, std::move(chosen)));
}

} // namespace orvane
