#pragma once
// How image frames are saved (orvane.ini [save]) and the observing details a
// FITS frame carries when the user gives them (orvane.ini [fits]).

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace orvane {

enum class SaveFormat { Bmp, Fits, Both };
enum class SavePlanes { Colour, Mono }; // Mono: one plane of luminance

struct FitsSite {
    QString object;   // OBJECT
    QString observer; // OBSERVER
    std::optional<double> latitudeDeg;  // SITELAT, degrees north (-90..90)
    std::optional<double> longitudeDeg; // SITELONG, degrees east (-180..180)
};

struct FrameFormat {
    SaveFormat format = SaveFormat::Bmp;
    SavePlanes planes = SavePlanes::Colour;
    FitsSite site;
    bool nightFolders = false; // [save] nightFolders: one folder a night in the save folder

    bool writesBmp() const { return format != SaveFormat::Fits; }
    bool writesFits() const { return format != SaveFormat::Bmp; }
};

// With `nightFolders` the folder of the night `local` falls in, "<saveDir>/2024-03-09"
// (named by the date of the noon it began after); else `saveDir` itself.
QString nightFolder(const QString &saveDir, bool nightFolders, const QDateTime &local);

// The words orvane.ini uses: bmp, fits, both; colour, mono.
QString formatWord(SaveFormat format);
QString planesWord(SavePlanes planes);

// The format read from orvane.ini's text. A value that cannot be read keeps its
// default and adds a sentence naming the file, the key and the cause.
FrameFormat frameFormatFromIni(const QByteArray &iniText, const QString &iniPath, QStringList &problems);

// `iniText` with [save] format= and planes= set from `format`; all else stays.
QByteArray withSaveFormat(const QByteArray &iniText, const FrameFormat &format);

} // namespace orvane
