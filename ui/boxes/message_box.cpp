#include "message_box.h"

#include <QAbstractButton>

namespace orvane {

QMessageBox *openMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &text,
                            QMessageBox::StandardButtons buttons, MessageBoxAnswer answered)
{
    auto *box = new QMessageBox(icon, QStringLiteral("Orvane"), text, buttons, parent);
    if (answered)
        QObject::connect(box, &QDialog::finished, box, [box, answered](int) {
            answered(box->standardButton(box->clickedButton()));
        });
    openDialog(box);
    return box;
}

void openDialog(QDialog *dialog)
{
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open(); // window-modal, returns at once
}

} // namespace orvane
