#include "shutdown_signals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace orvane {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The write end of the pipe, for the handler; -1 while no ShutdownSignals lives.
volatile sig_atomic_t writeEnd = -1;

extern "C" void onShutdownSignal(int signal)
{
    const int savedErrno = errno; // write() may change it under the interrupted code
    const unsigned char number = static_cast<unsigned char>(signal);
    if (writeEnd >= 0)
        (void)::write(writeEnd, &number, 1);
    errno = savedErrno;
}

} // namespace

ShutdownSignals::ShutdownSignals(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal))
{
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        std::perror("orvane: no pipe for SIGTERM/SIGINT/SIGHUP; they will end the program at once");
        return;
    }
    writeEnd = pipe_[1];
    notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { readSignals(); });

    struct sigaction action = {};
    action.sa_handler = onShutdownSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // system calls the signal interrupts go on
    for (int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
}

ShutdownSignals::~ShutdownSignals()
{
    for (int signal : kSignals)
        std::signal(signal, SIG_DFL);
    writeEnd = -1;
    notifier_.reset();
    for (int fd : pipe_)
        if (fd >= 0)
            ::close(fd);
}

void ShutdownSignals::readSignals()
{
    unsigned char numbers[16];
    for (;;) {
        const ssize_t n = ::read(pipe_[0], numbers, sizeof numbers);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        for (ssize_t i = 0; i < n; ++i)
            onSignal_(numbers[i]);
    }
}

} // namespace orvane
