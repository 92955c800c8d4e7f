#include "user_message.h"

#include "message_box.h"

namespace orvane {

MessageFunction messageBox()
{
    return [](QWidget *parent, const QString &sentence) { openMessageBox(parent, QMessageBox::Warning, sentence); };
}

} // namespace orvane
