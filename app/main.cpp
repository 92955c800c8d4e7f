// Orvane: long exposures with a modified webcam, guided.
#include "run_program.h"
#include "settings_location.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>

#include <iostream>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    QApplication::setDesktopFileName(QStringLiteral("org.orvane.Orvane"));
    const orvane::SettingsLocation where = orvane::chooseSettingsLocation(QCoreApplication::applicationDirPath());
    if (!where.problem.isEmpty())
        std::cerr << "orvane: " << where.problem.toStdString() << std::endl;
    // New save-directory windows open at the working directory.
    QDir::setCurrent(orvane::startFolder(where.perUser, QDir::currentPath(), QDir::homePath(),
                                         QStandardPaths::writableLocation(QStandardPaths::PicturesLocation)));
    return orvane::runProgram(where.folder);
}
