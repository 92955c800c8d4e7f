#pragma once
// The deinterlace tool's working parts without any window: the row fill on the
// picture area's surface, the reading of the dialog's selection, and a batch
// that rewrites each chosen file in place.

#include "event_pump.h"
#include "file_rewrite.h"
#include "fits_file.h"
#include "picture_area.h"
#include "result.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace orvane {

// In each group of four rows from row 1 on (rows 4k+1 .. 4k+4), the first row is
// copied over the second and the fourth over the third: for y = 2, 6, ..., 478
// row y takes row y-1 and row y+1 takes row y+2. Row 0 is never touched; row 479
// keeps its own content, its source row 480 lying below the 480-row surface.
// Whole colours are copied. Works on the surface; the caller refreshes.
void DeinterlaceRows(PictureArea &area);
// The same fill on every plane of a FITS image's own rows (row 0 its top row).
void DeinterlaceFitsRows(FitsImage &image);

// The chosen files as the tool works through them.
struct DeinterlaceSelection {
    // The status line's word for the choice: the full path of a single file,
    // the directory of several, empty when nothing was chosen.
    QString heading;
    // Full paths, each the directory and the name joined by one separator.
    QStringList paths;
};

// Reads the dialog's list of full paths (names with spaces stay whole).
DeinterlaceSelection selectionFromDialog(const QStringList &chosen);

// Who keeps the picture area from a batch now: the holder of a reservation, or
// the imaging sequence while it puts frames there; empty when the area is free.
QString areaUser(const PictureArea &area);

// `directory` and `name` with exactly one "/" between them ("/" + "a.bmp" -> "/a.bmp").
QString joinPath(const QString &directory, const QString &name);

// One press of "Deinterlace" after the dialog: every file in turn is loaded into
// the picture area, filled, made the area's picture and saved back over itself
// as a 24-bit BMP. A FITS file is filled in its own pixels, at its own depth,
// and written back as FITS under its own header. Only BMP and FITS files are
// taken (by their content): anything else stops the batch, named, before it
// is touched. The new files are written beside the
// old ones as the batch goes and made durable together (FileRewriteBatch:
// never half written, keeping permissions and hard links), up to
// kFilesPerCommit at a time.
// The batch yields to the event loop between its steps, never inside the fill.
class DeinterlaceBatch {
public:
    static inline const QString kHolder = QStringLiteral("the deinterlace tool");
    static constexpr size_t kFilesPerCommit = 64; // files written before they are made durable together

    using StatusFunction = std::function<void(const QString &)>;
    DeinterlaceBatch(PictureArea &area, EventPump &pump, StatusFunction setStatus);

    // Stops at the first file that cannot be read or written and returns the
    // sentence naming it and the cause; files before it stay rewritten, later
    // ones are not touched. Holds the picture area for the whole batch, and is
    // refused (touching nothing) while someone else holds it or a sequence runs.
    Result run(const DeinterlaceSelection &selection);

private:
    Result processOne(const QString &path, bool single, FileRewriteBatch &rewrites);
    Result processFits(const QString &path, const QByteArray &bytes, bool single, FileRewriteBatch &rewrites);
    Result commitRewrites(FileRewriteBatch &rewrites, const QString &current);
    // The whole content of a plain file of a picture's size, or empty.
    static QByteArray readWhole(const QString &path);

    PictureArea &area_;
    EventPump &pump_;
    StatusFunction setStatus_;
};

} // namespace orvane
