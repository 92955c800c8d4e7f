#pragma once
// The real printer port: the data register of a parallel port reached through
// libieee1284 over the kernel's ppdev driver (/dev/parportN), so the program
// runs as a normal user in the lp group and never touches raw I/O ports.

#include "port_io.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace orvane {

struct ParportCandidate {
    QString name;         // as the library lists it, e.g. "parport0"
    uint64_t baseAddress; // I/O base address of its data register, 0 when unknown
};

// Which of the listed ports serves a data-register address: the port at that
// base address; else 0x378 takes the first port and any other address the
// second. Empty when there is no such port.
std::optional<size_t> chooseParport(const std::vector<ParportCandidate> &ports, uint16_t address);

// A PortDriver over libieee1284. open() claims the chosen port for the program.
class Ieee1284Port : public PortDriver {
public:
    Ieee1284Port();
    ~Ieee1284Port() override;
    Ieee1284Port(const Ieee1284Port &) = delete;
    Ieee1284Port &operator=(const Ieee1284Port &) = delete;

    Result open(uint16_t address) override;
    Result writeData(uint8_t value) override;
    void close() override;

private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
};

// The factory CameraLines takes for the running program.
std::unique_ptr<PortDriver> makeIeee1284Port();

} // namespace orvane
