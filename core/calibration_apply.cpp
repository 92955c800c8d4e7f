#include "calibration_apply.h"

#include "config_file.h"
#include "file_rewrite.h"

#include "ini_lines.h"

#include <QFile>

namespace orvane {

Result applyCalibration(Settings &settings, const QString &configPath, const QString &iniPath,
                        const CalibrationSolution &solution, const QString &when)
{
    Settings next = settings;
    next.DirUp = solution.letters.up;
    next.DirDown = solution.letters.down;
    next.DirLeft = solution.letters.left;
    next.DirRight = solution.letters.right;
    next.PixPerSec = solution.pixPerSec();
    CalibrationRecord record = solution.record;
    record.when = when;

    // The ini file first, kept as it was so that a settings file that cannot be
    // written takes the record back out again.
    const bool iniExisted = QFile::exists(iniPath);
    const IniFileText ini = readIniFile(iniPath);
    if (!ini.cause.isEmpty())
        return Result::failure(QStringLiteral("%1 cannot be read: %2.").arg(iniPath, ini.cause));
    const QByteArray &iniBefore = ini.text;
    if (Result written = writeCalibration(iniPath, record); !written)
        return written;
    try {
        SaveConfig(configPath, next);
    } catch (const ConfigError &e) {
        if (iniExisted)
            (void)writeWholeFile(iniPath, iniBefore);
        else
            QFile::remove(iniPath);
        return Result::failure(QString::fromUtf8(e.what()));
    }
    settings = next;
    return Result::success();
}

} // namespace orvane
