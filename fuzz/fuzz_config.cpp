// The settings file reader on arbitrary bytes: it gives a record or throws a
// ConfigError naming the file, nothing else. A record written out and read back
// comes back the same, and so does any record whose texts the file can carry.

#include "config_file.h"
#include "fuzz_check.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDate>
#include <QFile>
#include <QTemporaryDir>

using namespace orvane;

namespace {

const QString kPath = QStringLiteral("/fuzz/orvane.cfg");

Settings readBack(const Settings &settings)
{
    const QByteArray bytes = formatConfig(settings, QDate(2026, 12, 8));
    FUZZ_CHECK(bytes.count("\r\n") == kConfigLines, "a written file has other than 49 lines");
    try {
        return parseConfig(bytes, kPath);
    } catch (const ConfigError &e) {
        FUZZ_CHECK(false, QStringLiteral("a written file does not read back: ") + e.what());
    }
    return {};
}

// A text the file keeps as it is: one it can carry, without a comma (it ends
// the value) or a blank or tab in front (skipped when reading).
bool fileKeeps(const QString &text)
{
    return fileTextProblem(text).isEmpty() && !text.contains(u',')
           && (text.isEmpty() || (text[0] != u' ' && text[0] != u'\t'));
}

bool fileCarries(const Settings &s)
{
    return fileTextProblem(s.DirUp).isEmpty() && fileTextProblem(s.DirDown).isEmpty()
           && fileTextProblem(s.DirLeft).isEmpty() && fileTextProblem(s.DirRight).isEmpty();
}

QString textFrom(FuzzedDataProvider &input)
{
    const std::string bytes = input.ConsumeRandomLengthString(12);
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

// A record made up from the input: every number its field can hold, texts of any Latin-1 bytes.
Settings settingsFrom(FuzzedDataProvider &input)
{
    Settings s;
    s.ExposureState = input.ConsumeIntegral<uint8_t>();
    s.GetImageState = input.ConsumeIntegral<uint8_t>();
    s.GetGuideState = input.ConsumeIntegral<uint8_t>();
    s.ImageDelay = input.ConsumeIntegral<int32_t>();
    s.PrinterPort = input.ConsumeIntegral<int16_t>();
    s.CommPort = input.ConsumeIntegral<int16_t>();
    s.DirUp = textFrom(input);
    s.DirDown = textFrom(input);
    s.DirLeft = textFrom(input);
    s.DirRight = textFrom(input);
    s.PixPerSec = input.ConsumeIntegral<int32_t>();
    s.GuideBoxSize = input.ConsumeIntegral<int16_t>();
    s.IgnoreDrift = input.ConsumeIntegral<int16_t>();
    s.AmpOnState = input.ConsumeIntegral<uint8_t>();
    s.AmpDelay = input.ConsumeIntegral<int32_t>();
    return s;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    useCommaLocaleWherePossible("fuzz_config");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const Settings settings = parseConfig(bytes, kPath);
        FUZZ_CHECK(settings.PortAddress == 0, "the reader set PortAddress");
        FUZZ_CHECK(readBack(settings) == settings, "a record read from a file changes when written and read again");
    } catch (const ConfigError &e) {
        FUZZ_CHECK(QString::fromUtf8(e.what()).startsWith(kPath + u' '), QStringLiteral("message without the file name: ") + e.what());
    }

    FuzzedDataProvider input(data, size);
    const Settings made = settingsFrom(input);
    if (fileKeeps(made.DirUp) && fileKeeps(made.DirDown) && fileKeeps(made.DirLeft) && fileKeeps(made.DirRight))
        FUZZ_CHECK(readBack(made) == made, "a record changes when written and read again");
    if (!fileCarries(made)) {
        // Saving refuses it before writing: the file would not load again.
        static QTemporaryDir scratch;
        const QString path = scratch.filePath(QStringLiteral("orvane.cfg"));
        bool refused = false;
        try {
            SaveConfig(path, made);
        } catch (const ConfigError &) {
            refused = true;
        }
        FUZZ_CHECK(refused && !QFile::exists(path), "settings with a text the file cannot carry were saved");
    }
    return 0;
}
