// orvane.ini's reader and writer on arbitrary bytes: every key of the table is
// read by its type without a crash, every sentence told stays short whatever
// the value's length, and a key written with a value made from the input reads
// back as that value while every other key keeps the value it had.

#include "fuzz_check.h"
#include "ini_keys.h"
#include "ini_lines.h"
#include "ini_values.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace orvane;

namespace {

const QString kPath = QStringLiteral("/fuzz/orvane.ini");
constexpr int kLongestSentence = 400; // a sentence naming a 40-character cut of the value and a short path

// The key's name as the table writes it, with a number for "portN".
QString nameOf(const IniKey &key)
{
    return QLatin1String(key.key) == QLatin1String("portN") ? QStringLiteral("port3") : QLatin1String(key.key);
}

void readEveryKey(const QByteArray &text)
{
    QStringList notes;
    IniValues ini(text, kPath, notes);
    for (const IniKey &key : iniKeys()) {
        const QByteArray name = nameOf(key).toLatin1();
        switch (key.type) {
        case IniType::Number:
        case IniType::Whole:
            if (const std::optional<double> v = ini.number(key.group, name, QStringLiteral("0")))
                FUZZ_CHECK(*v >= key.low && *v <= key.high, QStringLiteral("%1 out of its range").arg(*v));
            break;
        case IniType::Switch:
            (void)ini.truth(key.group, name, QStringLiteral("false"));
            break;
        case IniType::Word:
            if (const std::optional<int> w = ini.word(key.group, name, QStringLiteral("the first")))
                FUZZ_CHECK(*w >= 0 && *w < QString::fromLatin1(key.words).split(u'|').size(), "a word beyond the list");
            break;
        case IniType::Text:
            (void)ini.text(key.group, name);
            break;
        }
    }
    for (const QString &note : notes + iniLayoutProblems(text, kPath))
        FUZZ_CHECK(note.startsWith(kPath) && note.size() <= kLongestSentence, QStringLiteral("told: ") + note);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    useCommaLocaleWherePossible("fuzz_ini");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const auto keys = iniKeys();
    const IniKey &changed = keys[input.ConsumeIntegralInRange<size_t>(0, keys.size() - 1)];
    std::string valueBytes = input.ConsumeRandomLengthString(60);
    std::erase_if(valueBytes, [](char c) { return c == '\n' || c == '\r'; }); // a value is one line
    const QString value = QString::fromUtf8(valueBytes.data(), qsizetype(valueBytes.size()));
    const std::string rest = input.ConsumeRemainingBytesAsString();
    const QByteArray text(rest.data(), qsizetype(rest.size()));

    readEveryKey(text);

    const QString group = QLatin1String(changed.group), key = nameOf(changed);
    const QByteArray after = withIniValue(text, group, key, value);
    FUZZ_CHECK(iniValue(after, group, key) == value, QStringLiteral("[%1] %2 does not read back as written").arg(group, key));
    for (const IniKey &other : keys) {
        const QString g = QLatin1String(other.group), k = nameOf(other);
        if (&other != &changed)
            FUZZ_CHECK(iniValue(after, g, k) == iniValue(text, g, k), QStringLiteral("[%1] %2 changed too").arg(g, k));
    }
    FUZZ_CHECK(withIniValue(after, group, key, value) == after, "writing the same value again changed the file");
    readEveryKey(after);
    return 0;
}
