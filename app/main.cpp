// Orvane: long exposures with a modified webcam, guided.
#include "program.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane"));
    orvane::Program program(QCoreApplication::applicationDirPath());
    if (!program.start())
        return 1;
    return QApplication::exec();
}
