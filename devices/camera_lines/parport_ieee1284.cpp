#include "parport_ieee1284.h"

#include <ieee1284.h>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace orvane {

namespace {

constexpr uint16_t kFirstPortBase = 0x378;

QString hex(uint64_t address)
{
    return QStringLiteral("0x%1").arg(address, 0, 16);
}

QString libraryError(int code)
{
    switch (code) {
    case E1284_NOTAVAIL: return QStringLiteral("not available on this system");
    case E1284_NOMEM: return QStringLiteral("out of memory");
    case E1284_INIT: return QStringLiteral("the port could not be initialised");
    case E1284_SYS: return QStringLiteral("the system refused (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
    case E1284_INVALIDPORT: return QStringLiteral("invalid port");
    default: return QStringLiteral("libieee1284 error %1").arg(code);
    }
}

} // namespace

std::optional<size_t> chooseParport(const std::vector<ParportCandidate> &ports, uint16_t address)
{
    for (size_t i = 0; i < ports.size(); ++i)
        if (ports[i].baseAddress == address)
            return i;
    const size_t fallback = address == kFirstPortBase ? 0 : 1;
    if (fallback < ports.size())
        return fallback;
    return std::nullopt;
}

struct Ieee1284Port::Handle {
    parport *port = nullptr;
    bool claimed = false;
};

Ieee1284Port::Ieee1284Port() = default;

Ieee1284Port::~Ieee1284Port()
{
    close();
}

Result Ieee1284Port::open(uint16_t address)
{
    close();
    parport_list list{};
    if (int found = ieee1284_find_ports(&list, 0); found != E1284_OK)
        return Result::failure(QStringLiteral("Cannot list the printer ports: %1.").arg(libraryError(found)));

    std::vector<ParportCandidate> candidates;
    for (int i = 0; i < list.portc; ++i)
        candidates.push_back({QString::fromLocal8Bit(list.portv[i]->name), uint64_t(list.portv[i]->base_addr)});
    const std::optional<size_t> chosen = chooseParport(candidates, address);
    if (!chosen) {
        ieee1284_free_ports(&list);
        return Result::failure(QStringLiteral("No printer port for address %1 on this computer.").arg(hex(address)));
    }
    parport *port = list.portv[*chosen];
    const QString base = hex(candidates[*chosen].baseAddress);
    const QString name = candidates[*chosen].name == base || candidates[*chosen].baseAddress == 0
                             ? candidates[*chosen].name
                             : QStringLiteral("%1 at %2").arg(candidates[*chosen].name, base);
    const QString device = port->filename ? QString::fromLocal8Bit(port->filename) : QString();

    // Only the kernel's ppdev driver: no raw I/O-port access, a normal user in the lp group will do.
    if (!device.startsWith(QLatin1String("/dev/parport"))) {
        ieee1284_free_ports(&list);
        return Result::failure(QStringLiteral("The printer port %1 has no /dev/parport device — is the "
                                              "ppdev kernel module loaded?").arg(name));
    }
    if (::access(port->filename, R_OK | W_OK) != 0) {
        const int cause = errno;
        ieee1284_free_ports(&list);
        if (cause == EACCES || cause == EPERM)
            return Result::failure(QStringLiteral("Permission denied opening %1 — is your user in the lp group?").arg(device));
        return Result::failure(QStringLiteral("Cannot open %1: %2.").arg(device, QString::fromLocal8Bit(std::strerror(cause))));
    }

    int capabilities = 0;
    // Shared access: the port opens while the kernel's lp driver holds it too.
    const int opened = ieee1284_open(port, 0, &capabilities);
    if (opened != E1284_OK) {
        ieee1284_free_ports(&list);
        return Result::failure(QStringLiteral("Cannot open the printer port %1: %2.").arg(device, libraryError(opened)));
    }
    // The open port holds its own reference; the list can go.
    ieee1284_free_ports(&list);
    handle_ = std::make_unique<Handle>();
    handle_->port = port;
    if (const int claimed = ieee1284_claim(port); claimed != E1284_OK) {
        close();
        return Result::failure(QStringLiteral("Cannot claim the printer port %1: %2 — is another program using it?")
                                   .arg(device, libraryError(claimed)));
    }
    handle_->claimed = true;
    return Result::success();
}

Result Ieee1284Port::writeData(uint8_t value)
{
    if (!handle_ || !handle_->claimed)
        return Result::failure(QStringLiteral("The printer port is not open."));
    ieee1284_write_data(handle_->port, value);
    return Result::success();
}

void Ieee1284Port::close()
{
    if (!handle_)
        return;
    if (handle_->claimed)
        ieee1284_release(handle_->port);
    ieee1284_close(handle_->port);
    handle_.reset();
}

std::unique_ptr<PortDriver> makeIeee1284Port()
{
    return std::make_unique<Ieee1284Port>();
}

} // namespace orvane
