// The settings file reader on arbitrary bytes: it gives a record or throws a
// ConfigError naming the file, nothing else. A record written out and read back
// comes back the same, and so does any record whose texts the file can carry.

#include "config_file.h"
#include "fuzz_check.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QDate>
#include <QFile>
#include <QTemporaryDir>

#include <type_traits>

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

// Whether every text of the record passes `keeps`.
template <typename Check>
bool everyText(const Settings &s, Check keeps)
{
    for (const SettingsField &field : kSettingsFields)
        if (isText(field) && !keeps(fieldText(s, field)))
            return false;
    return true;
}

bool fileCarries(const QString &text) { return fileTextProblem(text).isEmpty(); }

QString textFrom(FuzzedDataProvider &input)
{
    const std::string bytes = input.ConsumeRandomLengthString(12);
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

// A record made up from the input: every number its field can hold, texts of any Latin-1 bytes.
Settings settingsFrom(FuzzedDataProvider &input)
{
    Settings s;
    for (const SettingsField &field : kSettingsFields)
        std::visit(
            [&](auto member) {
                using T = std::decay_t<decltype(s.*member)>;
                if constexpr (std::is_same_v<T, QString>)
                    s.*member = textFrom(input);
                else
                    s.*member = input.ConsumeIntegral<T>();
            },
            field.member);
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
    if (everyText(made, fileKeeps))
        FUZZ_CHECK(readBack(made) == made, "a record changes when written and read again");
    if (!everyText(made, fileCarries)) {
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
