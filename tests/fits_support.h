#pragma once
// Looking into FITS files from the tests: every header keyword as cfitsio reads
// it, the pixels of the primary image, and what fitsverify says of the file.

#include <fitsio.h>

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <vector>

namespace orvane::test {

struct FitsContent {
    QMap<QString, QString> values; // keyword -> value as written (strings without their quotes)
    int bitpix = 0;
    std::vector<long> axes;
    std::vector<int> pixels; // as stored, plane by plane, the first stored row first
    int status = 0;          // cfitsio's status; 0 when all was read
};

inline FitsContent readFitsFile(const QString &path)
{
    FitsContent c;
    fitsfile *f = nullptr;
    int &status = c.status;
    if (ffopen(&f, QFile::encodeName(path).constData(), READONLY, &status) != 0)
        return c;
    int count = 0;
    ffghsp(f, &count, nullptr, &status);
    for (int i = 1; i <= count && status == 0; ++i) {
        char name[FLEN_KEYWORD] = {}, value[FLEN_VALUE] = {}, comment[FLEN_COMMENT] = {};
        ffgkyn(f, i, name, value, comment, &status);
        QString text = QString::fromLatin1(value).trimmed();
        if (text.startsWith(u'\'')) // a string: its quotes off, its trailing blanks too
            text = text.mid(1, text.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'")).trimmed();
        c.values.insert(QString::fromLatin1(name), text);
    }
    int naxis = 0;
    long axes[3] = {1, 1, 1};
    ffgipr(f, 3, &c.bitpix, &naxis, axes, &status);
    c.axes.assign(axes, axes + naxis);
    c.pixels.resize(size_t(axes[0] * axes[1] * axes[2]));
    ffpscl(f, 1.0, 0.0, &status);
    int anyNull = 0;
    ffgpv(f, TINT, 1, LONGLONG(c.pixels.size()), nullptr, c.pixels.data(), &anyNull, &status);
    int closing = 0;
    ffclos(f, &closing);
    return c;
}

// fitsverify's summary line ("... found 0 warning(s) and 0 error(s). ****"),
// or why there is none.
inline QString fitsverifySummary(const QString &path)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("fitsverify"));
    if (tool.isEmpty())
        return QStringLiteral("fitsverify is not installed");
    QProcess run;
    run.start(tool, {path});
    run.waitForFinished(60000);
    const QString out = QString::fromLocal8Bit(run.readAllStandardOutput());
    for (const QString &line : out.split(u'\n'))
        if (line.contains(QStringLiteral("Verification found")))
            return line.trimmed();
    return out;
}

inline const QString kFitsverifyClean = QStringLiteral("**** Verification found 0 warning(s) and 0 error(s). ****");

} // namespace orvane::test
