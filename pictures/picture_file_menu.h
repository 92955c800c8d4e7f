#pragma once
// File > Load and File > Save of the main window: one open-file dialog for both,
// filtered to "pictures" (BMP and FITS files), opening each time on the name chosen last.

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

    PictureFileMenu(PictureArea &area, FileChooser &chooser, MessageFunction message = messageBox());

    // Puts the chosen picture file into the picture area once the dialog closes.
    // Refused while another holder works on the area; a cancelled dialog does nothing.
    void load(QWidget *parent);
    // Writes the area's current picture (without the marks drawn on it) to the
    // chosen name, as typed, once the dialog closes: a 24-bit BMP at the picture's own size.
    void save(QWidget *parent);

    // The name the dialog opens on next time (empty at first).
    const QString &lastName() const { return lastName_; }

private:
    // Runs `then` with the name chosen; nothing when cancelled.
    void choose(QWidget *parent, const std::function<void(const QString &)> &then);

    PictureArea &area_;
    FileChooser &chooser_;
    MessageFunction message_;
    QString lastName_;
};

} // namespace orvane
