#pragma once
// The printer-port layer the camera's exposure, read-out and amplifier lines hang
// on. CameraLines keeps the names of the port-I/O calls the program was written for.
// Every byte written is recorded and shown to the listeners (the simulated camera
// watches them); a real port, when one could be opened, gets the byte as well.

#include "clock.h"
#include "result.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace orvane {

struct PortWrite {
    uint16_t address;
    uint8_t value;
    uint32_t atMs; // clock time of the write
};

// A real printer port: one byte at a time into a data register.
class PortDriver {
public:
    virtual ~PortDriver() = default;
    // Claims the port whose data register is at `address`; the sentence says why not.
    virtual Result open(uint16_t address) = 0;
    virtual Result writeData(uint8_t value) = 0;
    virtual void close() = 0;
};

// Creates the real port driver for an address, or nullptr when the machine has none.
using PortDriverFactory = std::function<std::unique_ptr<PortDriver>()>;

class CameraLines {
public:
    // Without a factory the layer is the simulated port alone.
    explicit CameraLines(Clock &clock, PortDriverFactory realPort = {});
    ~CameraLines();

    // Starts the driver. The simulated port always works, so this is true unless
    // the layer is shut down and started again in a broken state.
    bool InitializeWinIo();
    // One write of sizeBytes (always 1) bytes; only the low byte of value is used.
    bool SetPortVal(uint16_t address, uint32_t value, int sizeBytes);
    bool ShutdownWinIo();

    bool initialized() const { return initialized_; }
    // The last writes, oldest first (bounded; the oldest are dropped first).
    const std::deque<PortWrite> &writes() const { return writes_; }
    uint64_t writeCount() const { return writeCount_; }
    void clearRecord() { writes_.clear(); }
    // The byte the port holds now (0 before the first write).
    uint8_t value() const { return value_; }

    using Listener = std::function<void(const PortWrite &)>;
    void addListener(Listener listener) { listeners_.push_back(std::move(listener)); }

    // Why the real port is not in use, for the user (empty when fine or not tried).
    // When the real port cannot be opened or a write to it fails, the layer goes on
    // as the simulated port alone and prints one line on stderr saying so.
    const QString &realPortNote() const { return realPortNote_; }
    // True when the program has a real port driver to try.
    bool hasRealPortDriver() const { return bool(realPortFactory_); }
    // Tries the real port at `address` again, also after it failed; true when it
    // is in use now, else realPortNote says why not.
    bool retryRealPort(uint16_t address);
    // True while a real port gets the bytes (false before the first write).
    bool realPortInUse() const { return realPort_ != nullptr; }
    // Called whenever the real port opens or is dropped.
    std::function<void()> onRealPortChanged;

    static constexpr size_t kRecordLimit = 100000;

private:
    Clock &clock_;
    PortDriverFactory realPortFactory_;
    std::unique_ptr<PortDriver> realPort_;
    uint16_t realPortAddress_ = 0;
    bool initialized_ = false;
    std::deque<PortWrite> writes_;
    uint64_t writeCount_ = 0;
    uint8_t value_ = 0;
    std::vector<Listener> listeners_;
    QString realPortNote_;
    bool realPortGivenUp_ = false; // after a failure, until the next start

    void openRealPort(uint16_t address);
    // Drops the real port, keeps the cause for realPortNote and says so on stderr once.
    void fallBackToSimulatedPort(const QString &cause);
};

} // namespace orvane
