#include "user_message.h"

#include <QMessageBox>

namespace orvane {

MessageFunction messageBox()
{
    return [](QWidget *parent, const QString &sentence) {
        auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Orvane"), sentence, QMessageBox::Ok, parent);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    };
}

} // namespace orvane
