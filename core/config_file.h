#pragma once
// orvane.cfg: 49 CR LF lines of label and value pairs at fixed positions. Reading
// goes by line position alone; labels, header and date are never compared.
// Lines ended by LF alone read the same; a CR anywhere else refuses the file.

#include "settings.h"
#include "settings_fields.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <stdexcept>

namespace orvane {

inline constexpr const char *kConfigFileName = "orvane.cfg";
inline constexpr int kConfigLines = kSettingsFields.back().valueLine;

// A file that cannot be read or a value that cannot be stored. what() names the
// file and, where one is at fault, the line: "/opt/orvane/orvane.cfg line 13: 300
// does not fit a byte (0..255)".
class ConfigError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The settings in the file's text. PortAddress is not read; the caller derives it.
Settings parseConfig(const QByteArray &bytes, const QString &pathForMessages);
// The file's bytes for these settings, dated `date`.
QByteArray formatConfig(const Settings &settings, const QDate &date);

// Why `text` cannot be a text value of the file, or empty when it can: a
// control character (line breaks included; reading refuses a file holding one
// as damaged), a character outside the file's 8-bit character set, or one the
// mount link cannot take (mountTextProblem; reading refuses it too).
QString fileTextProblem(const QString &text);

// Why a direction text would change the command it is sent in (":Mg" + text +
// "#"), or empty: "holds \"#\"" for "#" and ":", which end and start a command,
// and for any character outside printable ASCII.
QString mountTextProblem(const QString &text);
// The rule behind it, to close a sentence naming the field.
inline constexpr const char *kMountTextRule =
    "A direction text cannot hold \"#\", \":\" or a character outside printable ASCII, since the mount would "
    "read it as another command.";

// Reads the file at `path` and derives PortAddress. Throws ConfigError.
Settings LoadConfig(const QString &path);
// Replaces the file at `path` with these settings dated today, through
// writeWholeFile: a failure leaves the old file as it was, the file keeps its
// permissions and hard links, and a folder that cannot be written to does not
// stop it; a missing file is simply created. Settings with a text the
// file cannot carry (fileTextProblem) are refused before anything is written,
// since the file would not load again. Throws ConfigError.
void SaveConfig(const QString &path, const Settings &settings);

} // namespace orvane
