#include "file_chooser.h"

#include "message_box.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>

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
    // `finished` comes while the dialog still handles the key or the click that
    // closed it (its completer's event filter is on the stack). The choice is
    // taken now and handed on once that event has returned: what the caller does
    // with it (a batch that pumps events, in which the closed dialog is deleted)
    // then never pulls the dialog away under Qt's own handling.
    QObject *context = parent ? static_cast<QObject *>(parent) : QCoreApplication::instance();
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, context, finished](int result) {
        const QStringList files = result == QDialog::Accepted ? dialog->selectedFiles() : QStringList();
        QTimer::singleShot(0, context, [finished, files] { finished(files); });
    });
    return dialog;
}

void startAt(QFileDialog *dialog, const QString &initialName)
{
    if (!initialName.isEmpty()) {
        const QFileInfo info(initialName);
        dialog->setDirectory(info.absolutePath());
        dialog->selectFile(info.fileName());
    }
}

} // namespace

void QtFileChooser::chooseOpenFile(QWidget *parent, const QString &filter, const QString &initialName,
                                   ChosenFile chosen)
{
    // AnyFile: a new name may be typed.
    QFileDialog *dialog = newDialog(parent, QFileDialog::AnyFile, filter,
                                    [chosen](const QStringList &files) { chosen(files.value(0)); });
    startAt(dialog, initialName);
    openDialog(dialog);
}

void QtFileChooser::chooseSaveFile(QWidget *parent, const QString &filter, const QString &initialName,
                                   ChosenFile chosen)
{
    QFileDialog *dialog = newDialog(parent, QFileDialog::AnyFile, filter,
                                    [chosen](const QStringList &files) { chosen(files.value(0)); });
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setWindowTitle(QStringLiteral("Save picture"));
    dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Save"));
    // Qt's own question would run a nested event loop; the caller asks instead.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    startAt(dialog, initialName);
    openDialog(dialog);
}

void QtFileChooser::chooseOpenFiles(QWidget *parent, const QString &filter, ChosenFiles chosen)
{
    openDialog(newDialog(parent, QFileDialog::ExistingFiles, filter, std::move(chosen)));
}

} // namespace orvane
