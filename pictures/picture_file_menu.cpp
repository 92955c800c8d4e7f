#include "picture_file_menu.h"

#include <QFileInfo>

namespace orvane {

PictureFileMenu::PictureFileMenu(PictureArea &area, FileChooser &chooser, MessageFunction message, YesNoFunction ask)
    : area_(area), chooser_(chooser), message_(std::move(message)), ask_(std::move(ask))
{
}

FileChooser::ChosenFile PictureFileMenu::remembering(std::function<void(const QString &)> then)
{
    return [this, then = std::move(then)](const QString &name) {
        if (name.isEmpty())
            return; // cancelled
        lastName_ = name; // remembered whatever becomes of the load or save
        then(name);
    };
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
    chooser_.chooseOpenFile(parent, kFilter, lastName_, remembering([this, parent, refusal](const QString &name) {
        if (area_.reserved()) { // taken while the dialog was open
            message_(parent, refusal());
            return;
        }
        if (const Result loaded = area_.loadPicture(name); !loaded)
            message_(parent, loaded.error());
    }));
}

PictureFileMenu::SaveForm PictureFileMenu::formOfName(const QString &name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == QLatin1String("bmp"))
        return SaveForm::Bmp;
    if (suffix == QLatin1String("fits") || suffix == QLatin1String("fit") || suffix == QLatin1String("fts"))
        return SaveForm::Fits;
    return SaveForm::None;
}

void PictureFileMenu::save(QWidget *parent)
{
    chooser_.chooseSaveFile(parent, kFilter, lastName_, remembering([this, parent](const QString &name) {
        if (formOfName(name) == SaveForm::None) {
            message_(parent, QStringLiteral("%1 was not saved: a picture is saved as BMP under a name ending in .bmp, "
                                            "or as FITS under a name ending in .fits, .fit or .fts.")
                                 .arg(name));
            return;
        }
        if (!QFileInfo::exists(name)) {
            write(parent, name);
            return;
        }
        ask_(parent, QStringLiteral("%1 exists already. Replace it?").arg(name), [this, parent, name](bool yes) {
            if (yes)
                write(parent, name);
        });
    }));
}

void PictureFileMenu::write(QWidget *parent, const QString &name)
{
    const Result saved = formOfName(name) == SaveForm::Fits ? area_.savePictureAsFits(name) : area_.savePicture(name);
    if (!saved)
        message_(parent, saved.error());
}

} // namespace orvane
