#include "settings_location.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace orvane {

namespace {

const QString kConfigName = QStringLiteral("orvane.cfg");

bool usableInPlace(const QString &programDir)
{
    // A save writes a new file beside orvane.cfg and renames it over, so the
    // folder must take new files as well.
    const QFileInfo config(QDir(programDir).filePath(kConfigName));
    return config.isFile() && config.isWritable() && QFileInfo(programDir).isWritable();
}

// Copies the default settings whole or not at all.
QString seed(const QString &defaultConfig, const QString &target)
{
    QFile source(defaultConfig);
    if (!source.open(QIODevice::ReadOnly))
        return QStringLiteral("The default settings %1 cannot be read: %2.").arg(defaultConfig, source.errorString());
    const QByteArray bytes = source.readAll();
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        return QStringLiteral("%1 cannot be written: %2.").arg(target, out.errorString());
    return {};
}

} // namespace

SettingsLocation chooseSettingsLocation(const QString &programDir, const QString &userFolder,
                                        const QString &defaultConfig)
{
    if (usableInPlace(programDir))
        return {programDir, false, {}};
    SettingsLocation where{userFolder, true, {}};
    if (!QDir().mkpath(userFolder)) {
        where.problem = QStringLiteral("The settings folder %1 cannot be created.").arg(userFolder);
        return where;
    }
    const QString config = QDir(userFolder).filePath(kConfigName);
    if (!QFileInfo::exists(config))
        where.problem = seed(defaultConfig, config);
    return where;
}

SettingsLocation chooseSettingsLocation(const QString &programDir)
{
    const QString userFolder =
        QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)).filePath(QStringLiteral("orvane"));
    QString defaultConfig = QDir(programDir).filePath(QStringLiteral("../share/orvane/") + kConfigName);
    if (!QFileInfo::exists(defaultConfig)) // a read-only copy of a build folder
        defaultConfig = QDir(programDir).filePath(kConfigName);
    return chooseSettingsLocation(programDir, userFolder, QDir::cleanPath(defaultConfig));
}

QString startFolder(bool perUser, const QString &workingDir, const QString &homeDir, const QString &picturesDir)
{
    const QString here = QDir::cleanPath(workingDir);
    const bool fromMenu = here == QDir::rootPath() || here == QDir::cleanPath(homeDir);
    if (perUser && fromMenu && !picturesDir.isEmpty() && QFileInfo(picturesDir).isDir())
        return picturesDir;
    return workingDir;
}

} // namespace orvane
