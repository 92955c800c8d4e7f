// Orvane: long exposures with a modified webcam, guided.
#include "run_program.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    return orvane::runProgram(QCoreApplication::applicationDirPath());
}
