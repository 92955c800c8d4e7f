#include "user_message.h"

#include "message_box.h"

namespace orvane {

MessageFunction messageBox()
{
    return [](QWidget *parent, const QString &sentence) { openMessageBox(parent, QMessageBox::Warning, sentence); };
}

YesNoFunction yesNoBox()
{
    return [](QWidget *parent, const QString &question, std::function<void(bool)> answered) {
        openMessageBox(parent, QMessageBox::Question, question, QMessageBox::Yes | QMessageBox::No,
                       [answered](QMessageBox::StandardButton button) { answered(button == QMessageBox::Yes); });
    };
}

} // namespace orvane
