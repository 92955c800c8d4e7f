#include "settings_fields.h"

#include "numbers.h"

#include <limits>
#include <stdexcept>
#include <type_traits>

namespace orvane {

namespace {

template <typename T>
constexpr bool kIsText = std::is_same_v<std::decay_t<T>, QString>;

} // namespace

const SettingsField &fieldInBox(int box)
{
    for (const SettingsField &field : kSettingsFields)
        if (field.box == box)
            return field;
    throw std::logic_error("fieldInBox: no settings field has this box");
}

bool isText(const SettingsField &field)
{
    return std::holds_alternative<QString Settings::*>(field.member);
}

QString fieldText(const Settings &settings, const SettingsField &field)
{
    return std::visit(
        [&settings](auto member) -> QString {
            const auto &value = settings.*member;
            if constexpr (kIsText<decltype(value)>)
                return value;
            else
                return numberText(int64_t(value));
        },
        field.member);
}

void storeText(Settings &settings, const SettingsField &field, const QString &text)
{
    settings.*std::get<QString Settings::*>(field.member) = text;
}

void storeNumber(Settings &settings, const SettingsField &field, double value)
{
    std::visit(
        [&settings, value](auto member) {
            using T = std::decay_t<decltype(settings.*member)>;
            if constexpr (std::is_same_v<T, uint8_t>)
                settings.*member = toByte(value);
            else if constexpr (std::is_same_v<T, int16_t>)
                settings.*member = toInt16(value);
            else if constexpr (std::is_same_v<T, int32_t>)
                settings.*member = toInt32(value);
            else
                throw std::logic_error("storeNumber: a text field");
        },
        field.member);
}

QString allowedRange(const SettingsField &field)
{
    return std::visit(
        [](auto member) -> QString {
            using T = std::decay_t<decltype(Settings().*member)>;
            if constexpr (kIsText<T>)
                return {};
            else
                return QStringLiteral("a whole number from %1 to %2")
                    .arg(qint64(std::numeric_limits<T>::min()))
                    .arg(qint64(std::numeric_limits<T>::max()));
        },
        field.member);
}

} // namespace orvane
