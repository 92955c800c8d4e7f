#include "frame_format.h"

#include "ini_lines.h"
#include "ini_values.h"

#include <QDir>

#include <cmath>

namespace orvane {

namespace {

const QString kSave = QStringLiteral("save");

const QString kFormatWords[] = {QStringLiteral("bmp"), QStringLiteral("fits"), QStringLiteral("both")};
const QString kPlanesWords[] = {QStringLiteral("colour"), QStringLiteral("mono")};

} // namespace

QString nightFolder(const QString &saveDir, bool nightFolders, const QDateTime &local)
{
    if (!nightFolders)
        return saveDir;
    const QString night = local.addSecs(-12 * 3600).date().toString(QStringLiteral("yyyy-MM-dd"));
    return QDir::cleanPath(QDir(saveDir).filePath(night));
}

QString formatWord(SaveFormat format) { return kFormatWords[int(format)]; }
QString planesWord(SavePlanes planes) { return kPlanesWords[int(planes)]; }

FrameFormat frameFormatFromIni(const QByteArray &iniText, const QString &iniPath, QStringList &problems)
{
    IniValues ini(iniText, iniPath, problems);
    FrameFormat f;
    f.format = SaveFormat(ini.word("save", "format", QStringLiteral("bmp")).value_or(int(SaveFormat::Bmp)));
    f.planes = SavePlanes(ini.word("save", "planes", QStringLiteral("colour")).value_or(int(SavePlanes::Colour)));
    f.nightFolders = ini.truth("save", "nightFolders", QStringLiteral("false (frames in the save folder)")).value_or(false);
    f.site.object = ini.text("fits", "object").value_or(QString());
    f.site.observer = ini.text("fits", "observer").value_or(QString());
    // Empty: left out of the header.
    const QString leftOut = QStringLiteral("none (FITS frames leave it out)");
    if (!ini.text("fits", "siteLat").value_or(QString()).isEmpty())
        f.site.latitudeDeg = ini.number("fits", "siteLat", leftOut);
    if (!ini.text("fits", "siteLong").value_or(QString()).isEmpty())
        f.site.longitudeDeg = ini.number("fits", "siteLong", leftOut);
    return f;
}

QByteArray withSaveFormat(const QByteArray &iniText, const FrameFormat &format)
{
    const QByteArray text = withIniValue(iniText, kSave, QStringLiteral("format"), formatWord(format.format));
    return withIniValue(text, kSave, QStringLiteral("planes"), planesWord(format.planes));
}

} // namespace orvane
