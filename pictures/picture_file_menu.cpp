#include "picture_file_menu.h"

namespace orvane {

PictureFileMenu::PictureFileMenu(PictureArea &area, FileChooser &chooser, MessageFunction message)
    : area_(area), chooser_(chooser), message_(std::move(message))
{
}

void PictureFileMenu::choose(QWidget *parent, const std::function<void(const QString &)> &then)
{
    chooser_.chooseOpenFile(parent, kFilter, lastName_, [this, then](const QString &name) {
        if (name.isEmpty())
            return; // cancelled
        lastName_ = name; // remembered whatever becomes of the load or save
        then(name);
    });
}

void PictureFileMenu::load(QWidget *parent)
{
    const auto refusal = [this] {
        return QStringLiteral("A picture cannot be loaded now: the picture area is in use by %1.").arg(area_.holder());
    };
    if (area_.reserved()) {
        message_(parent, refusal());
        return;
    }
    choose(parent, [this, parent, refusal](const QString &name) {
        if (area_.reserved()) { // taken while the dialog was open
            message_(parent, refusal());
            return;
        }
        if (const Result loaded = area_.loadPicture(name); !loaded)
            message_(parent, loaded.error());
    });
}

void PictureFileMenu::save(QWidget *parent)
{
    choose(parent, [this, parent](const QString &name) {
        if (const Result saved = area_.savePicture(name); !saved)
            message_(parent, saved.error());
    });
}

} // namespace orvane
