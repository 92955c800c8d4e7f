#pragma once
// A pseudo-terminal pair for serial tests: the program opens the slave path as
// its serial device, the test reads and writes the master side as the far end
// of the cable. Both sides are raw (cfmakeraw), so bytes pass untranslated.

#include <QByteArray>
#include <QString>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace orvane::test {

class PtyPair {
public:
    PtyPair()
    {
        char name[256] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            master_ = slave_ = -1;
            return;
        }
        slavePath_ = QString::fromLocal8Bit(name);
        for (int fd : {master_, slave_}) {
            termios tio{};
            ::tcgetattr(fd, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair()
    {
        closeMaster();
        if (slave_ >= 0)
            ::close(slave_);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool ok() const { return master_ >= 0; }
    const QString &slavePath() const { return slavePath_; }
    int masterFd() const { return master_; } // for poll(): readable when the program wrote

    // Everything the program has written so far (never blocks).
    QByteArray readMaster()
    {
        QByteArray bytes;
        char buffer[512];
        for (;;) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n > 0)
                bytes.append(buffer, n);
            else if (n < 0 && errno == EINTR)
                continue;
            else
                break;
        }
        return bytes;
    }
    bool writeMaster(const QByteArray &bytes)
    {
        return master_ >= 0 && ::write(master_, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // The far end goes away, as when a USB adapter is pulled out.
    void closeMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }
    // Drops the test's own slave descriptor, so only the program holds the line.
    void closeSlave()
    {
        if (slave_ >= 0)
            ::close(slave_);
        slave_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
};

} // namespace orvane::test
