#include "run_program.h"

#include "program.h"
#include "shutdown_signals.h"

#include <QApplication>
#include <QWidget>

#include <iostream>

namespace orvane {

int runProgram(const QString &settingsFolder, const std::function<void(Program &)> &started)
{
    Program *running = nullptr;
    int endedBy = 0;
    // Installed first, so a signal during start-up waits for the event loop
    // instead of killing the program half way.
    ShutdownSignals shutdown([&](int signal) {
        if (endedBy == 0) {
            endedBy = signal;
            std::cerr << "orvane: signal " << signal << " received; ending in order" << std::endl;
        }
        if (running)
            running->window().stopAndClose(); // a running sequence ends first, with its end steps
    });
    Program program(settingsFolder);
    if (!program.start()) {
        // The box saying why stays until the user closes it; the program ends with it.
        if (QWidget *box = QApplication::activeModalWidget()) {
            QObject::connect(box, &QObject::destroyed, qApp, &QCoreApplication::quit);
            QApplication::exec();
        }
        return 1;
    }
    if (endedBy != 0) { // asked to end while starting up
        program.window().close();
        return 128 + endedBy;
    }
    running = &program;
    if (started)
        started(program);
    const int code = QApplication::exec();
    return endedBy != 0 ? 128 + endedBy : code;
}

} // namespace orvane
