#include "config_file.h"

#include "file_rewrite.h"
#include "numbers.h"
#include "settings_fields.h"

#include <QFile>

namespace orvane {

namespace {

// The file's lines without their CR LF or LF ends; a last line without one
// counts too (a CR at the very end is a cut CR LF).
QList<QByteArray> splitLines(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        QByteArray line = bytes.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        start = end + 1;
    }
    return lines;
}

// The first byte of a line that no text editor writes into a settings file
// (control characters other than tab), or -1. The line's own CR LF or LF end
// is gone by now: a carriage return left in it is a damaged line end.
int controlByteIn(const QByteArray &line)
{
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && byte != '\t') || byte == 0x7F)
            return byte;
    }
    return -1;
}

ConfigError badByte(const QString &path, int lineNumber, int byte)
{
    if (byte == '\r')
        return ConfigError(QStringLiteral("%1 line %2: a carriage return (CR) stands inside the line; the file's "
                                          "line ends must be CR LF or LF alone, not CR alone.")
                               .arg(path).arg(lineNumber)
                               .toStdString());
    return ConfigError(QStringLiteral("%1 line %2: the byte 0x%3 is not text; the file is damaged or "
                                      "is not a settings file.")
                           .arg(path).arg(lineNumber)
                           .arg(byte, 2, 16, QLatin1Char('0'))
                           .toStdString());
}

// Bytes of the system's 8-bit character set <-> text.
QString fromFileText(const QByteArray &bytes) { return QString::fromLatin1(bytes); }
QByteArray toFileText(const QString &text) { return text.toLatin1(); }

} // namespace

Settings parseConfig(const QByteArray &bytes, const QString &pathForMessages)
{
    const QList<QByteArray> lines = splitLines(bytes);
    Settings settings;
    int checkedLines = 0; // lines looked over for binary bytes so far
    for (const SettingsField &field : kSettingsFields) {
        const int lineNumber = field.valueLine;
        if (lines.size() < lineNumber) {
            // Lines ended by CR alone run together, and too few seem to be there.
            for (qsizetype n = checkedLines; n < lines.size(); ++n)
                if (lines[n].contains('\r'))
                    throw badByte(pathForMessages, int(n) + 1, '\r');
            throw ConfigError(QStringLiteral("%1 line %2: the file ends after %3 lines; it needs %4.")
                                  .arg(pathForMessages).arg(lineNumber).arg(lines.size()).arg(kConfigLines)
                                  .toStdString());
        }
        // A damaged file (zeros after a crash, another file's bytes) would
        // otherwise read as numbers 0 and odd texts, and run the rig on them.
        for (; checkedLines < lineNumber; ++checkedLines)
            if (const int byte = controlByteIn(lines[checkedLines]); byte >= 0)
                throw badByte(pathForMessages, checkedLines + 1, byte);
        const QString line = fromFileText(lines[lineNumber - 1]);
        if (isText(field)) {
            // Leading blanks skipped; the text ends at a comma.
            QString text = line;
            qsizetype first = 0;
            while (first < text.size() && (text[first] == u' ' || text[first] == u'\t'))
                ++first;
            text = text.mid(first);
            const qsizetype comma = text.indexOf(u',');
            text = comma < 0 ? text : text.left(comma);
            if (const QString problem = mountTextProblem(text); !problem.isEmpty())
                throw ConfigError(QStringLiteral("%1 line %2: the text of \"%3\" %4. %5")
                                      .arg(pathForMessages).arg(lineNumber)
                                      .arg(QLatin1String(field.fileLabel), problem, QLatin1String(kMountTextRule))
                                      .toStdString());
            storeText(settings, field, text);
            continue;
        }
        const double value = numericValue(line);
        try {
            storeNumber(settings, field, value);
        } catch (const ConversionError &e) {
            throw ConfigError(QStringLiteral("%1 line %2: %3 (the value of \"%4\").")
                                  .arg(pathForMessages).arg(lineNumber)
                                  .arg(QString::fromUtf8(e.what()), QLatin1String(field.fileLabel))
                                  .toStdString());
        }
    }
    // The fields past line 49 are ignored; lines 1-6 and the labels are never compared.
    return settings;
}

QByteArray formatConfig(const Settings &settings, const QDate &date)
{
    QByteArray out;
    auto line = [&out](const QByteArray &text) { out += text + "\r\n"; };
    line("Orvane Config file");
    line(" ");
    line("Date");
    line(date.toString(QStringLiteral("MM-dd-yyyy")).toLatin1());
    line(" ");
    for (const SettingsField &field : kSettingsFields) {
        line(field.fileLabel);
        // Numbers end with a blank, as " 3 ".
        line(toFileText(fieldText(settings, field)) + (isText(field) ? "" : " "));
        if (&field != &kSettingsFields.back())
            line(" ");
    }
    return out;
}

Settings LoadConfig(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        throw ConfigError(QStringLiteral("The settings file %1 is missing.").arg(path).toStdString());
    if (!file.open(QIODevice::ReadOnly))
        throw ConfigError(QStringLiteral("The settings file %1 cannot be read: %2.")
                              .arg(path, file.errorString()).toStdString());
    // A real settings file is about 400 bytes; reading a bounded amount keeps a
    // huge or endless file from taking the memory.
    constexpr qint64 kMaxBytes = 1 << 20;
    const QByteArray bytes = file.read(kMaxBytes);
    // Cut there, the settings' lines must all be in: otherwise the cut would
    // pass for the end of the file, or the tail of a value for the whole of it.
    if (bytes.size() == kMaxBytes && !file.atEnd() && bytes.count('\n') < kConfigLines)
        throw ConfigError(QStringLiteral("%1 line %2: the line does not end within the first %3 bytes of the file; "
                                         "the file is damaged or is not a settings file.")
                              .arg(path).arg(bytes.count('\n') + 1).arg(kMaxBytes)
                              .toStdString());
    Settings settings = parseConfig(bytes, path);
    settings.PortAddress = portAddressFor(settings.PrinterPort);
    return settings;
}

QString mountTextProblem(const QString &text)
{
    for (const QChar c : text) {
        if (c == u'#' || c == u':')
            return QStringLiteral("holds \"%1\"").arg(c);
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return QStringLiteral("holds the character 0x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
    return {};
}

QString fileTextProblem(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            return QStringLiteral("holds the character \"%1\", which the settings file cannot store").arg(c);
        if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F)
            return QStringLiteral("holds the control character 0x%1, which the settings file cannot store")
                .arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
    if (const QString problem = mountTextProblem(text); !problem.isEmpty())
        return problem + QStringLiteral(", which the mount would read as another command");
    return {};
}

void SaveConfig(const QString &path, const Settings &settings)
{
    for (const SettingsField &field : kSettingsFields)
        if (isText(field))
            if (const QString problem = fileTextProblem(fieldText(settings, field)); !problem.isEmpty())
                throw ConfigError(QStringLiteral("The settings file %1 was not written: the text of \"%2\" %3.")
                                      .arg(path, QLatin1String(field.fileLabel), problem)
                                      .toStdString());

    if (const Result written = writeWholeFile(path, formatConfig(settings, QDate::currentDate())); !written)
        throw ConfigError(QStringLiteral("The settings file %1 cannot be written: %2.")
                              .arg(path, written.error()).toStdString());
}

} // namespace orvane
