#pragma once
// File > Load and File > Save of the main window: an open dialog for Load and a
// save dialog for Save, both filtered to "pictures" (BMP and FITS files) and opening
// on the name chosen last by either. Save asks before it replaces a file.

#include "file_chooser.h"
#include "user_message.h"

#include "picture_area.h"

#include <QString>

#include <functional>

class QWidget;

namespace orvane {

class PictureFileMenu {
public:
    static inline const QString kFilter = QStringLiteral("pictures (*.bmp *.fits *.fit *.fts)");

    PictureFileMenu(PictureArea &area, FileChooser &chooser, MessageFunction message = messageBox(),
                    YesNoFunction ask = yesNoBox());

    // Puts the chosen picture file into the picture area once the dialog closes.
    // Refused while another holder works on the area; a cancelled dialog does nothing.
    void load(QWidget *parent);
    // Writes the area's current picture (without the marks drawn on it) to the
    // chosen name, as typed, once the dialog closes, in the form its ending
    // names: .bmp a 24-bit BMP at the picture's own size, .fits, .fit or .fts a
    // FITS file (a FITS file still shown as loaded keeps its own pixels and
    // header). Any other name is refused with a message naming the forms. A file
    // of that name is replaced only when the user says Yes.
    void save(QWidget *parent);

    // The name the dialog opens on next time (empty at first).
    const QString &lastName() const { return lastName_; }

    enum class SaveForm { None, Bmp, Fits };
    // The form a name's ending asks for (any case).
    static SaveForm formOfName(const QString &name);

private:
    // The name chosen in a dialog, or empty when cancelled; it is remembered.
    FileChooser::ChosenFile remembering(std::function<void(const QString &)> then);
    void write(QWidget *parent, const QString &name);

    PictureArea &area_;
    FileChooser &chooser_;
    MessageFunction message_;
    YesNoFunction ask_;
    QString lastName_;
};

} // namespace orvane
