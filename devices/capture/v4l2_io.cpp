#include "v4l2_io.h"

#include <QCollator>
#include <QDir>
#include <QFile>

#include <libv4l2.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

namespace orvane {

namespace {

class LibV4l2Io : public V4l2Io {
public:
    QStringList videoNodes() override
    {
        QStringList names = QDir(QStringLiteral("/dev")).entryList({QStringLiteral("video*")}, QDir::System | QDir::Files);
        QCollator byNumber;
        byNumber.setNumericMode(true);
        std::sort(names.begin(), names.end(), [&](const QString &a, const QString &b) { return byNumber.compare(a, b) < 0; });
        QStringList paths;
        for (const QString &name : names)
            paths << QStringLiteral("/dev/") + name;
        return paths;
    }

    int open(const QString &path) override
    {
        const int raw = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (raw < 0)
            return -errno;
        // libv4l2 takes over the descriptor; its own conversion stays off.
        const int fd = v4l2_fd_open(raw, V4L2_DISABLE_CONVERSION);
        if (fd < 0) {
            const int error = errno;
            ::close(raw);
            return -error;
        }
        return fd;
    }

    void close(int fd) override { v4l2_close(fd); }

    int ioctl(int fd, unsigned long request, void *arg) override
    {
        int r;
        do {
            r = v4l2_ioctl(fd, request, arg);
        } while (r < 0 && errno == EINTR);
        return r < 0 ? -errno : 0;
    }

    void *mmap(int fd, size_t length, int64_t offset, int &error) override
    {
        void *p = v4l2_mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
        if (p == MAP_FAILED) {
            error = -errno;
            return nullptr;
        }
        error = 0;
        return p;
    }

    void munmap(void *address, size_t length) override { v4l2_munmap(address, length); }

    int waitReadable(int fd, int timeoutMs) override
    {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, timeoutMs);
        return r < 0 ? -errno : r;
    }
};

} // namespace

std::shared_ptr<V4l2Io> realV4l2Io()
{
    static const std::shared_ptr<V4l2Io> io = std::make_shared<LibV4l2Io>();
    return io;
}

QString errnoText(int errnoValue)
{
    return QString::fromLocal8Bit(std::strerror(errnoValue < 0 ? -errnoValue : errnoValue));
}

bool isDeviceLost(int errnoValue)
{
    const int e = errnoValue < 0 ? -errnoValue : errnoValue;
    return e == ENODEV || e == ENXIO || e == EBADF;
}

} // namespace orvane
