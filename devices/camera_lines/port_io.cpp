#include "port_io.h"

namespace orvane {

CameraLines::CameraLines(Clock &clock, PortDriverFactory realPort)
    : clock_(clock), realPortFactory_(std::move(realPort))
{
}

CameraLines::~CameraLines()
{
    if (realPort_)
        realPort_->close();
}

bool CameraLines::InitializeWinIo()
{
    initialized_ = true;
    realPortGivenUp_ = false; // a new start tries the real port again
    return true;
}

bool CameraLines::SetPortVal(uint16_t address, uint32_t value, int sizeBytes)
{
    (void)sizeBytes; // the camera lines take one byte
    const PortWrite write{address, static_cast<uint8_t>(value & 0xFF), clock_.now()};
    value_ = write.value;
    writes_.push_back(write);
    if (writes_.size() > kRecordLimit)
        writes_.pop_front();
    ++writeCount_;
    for (const auto &listener : listeners_)
        listener(write);

    if (!realPortFactory_ || realPortGivenUp_)
        return true; // the simulated port alone
    if (!realPort_ || realPortAddress_ != address) {
        openRealPort(address);
        if (!realPort_)
            return true;
    }
    if (Result written = realPort_->writeData(write.value); !written) {
        fallBackToSimulatedPort(written.error());
        return false; // this byte did not reach the camera
    }
    return true;
}

bool CameraLines::retryRealPort(uint16_t address)
{
    if (!realPortFactory_)
        return false;
    if (realPort_ && realPortAddress_ == address)
        return true;
    realPortGivenUp_ = false;
    openRealPort(address);
    return realPort_ != nullptr;
}

void CameraLines::openRealPort(uint16_t address)
{
    if (realPort_)
        realPort_->close();
    realPort_ = realPortFactory_();
    realPortAddress_ = address;
    if (!realPort_) {
        fallBackToSimulatedPort(QStringLiteral("No printer port driver on this computer."));
        return;
    }
    if (Result opened = realPort_->open(address); !opened) {
        fallBackToSimulatedPort(opened.error());
        return;
    }
    realPortNote_.clear();
    if (onRealPortChanged)
        onRealPortChanged();
}

void CameraLines::fallBackToSimulatedPort(const QString &cause)
{
    if (realPort_)
        realPort_->close();
    realPort_.reset();
    realPortGivenUp_ = true;
    realPortNote_ = cause;
    // The window tells the cause (at start-up, when a write fails, after a retry);
    // the port layer itself prints nothing, so a cause is never told twice.
    if (onRealPortChanged)
        onRealPortChanged();
}

bool CameraLines::ShutdownWinIo()
{
    if (realPort_)
        realPort_->close();
    realPort_.reset();
    initialized_ = false;
    return true;
}

} // namespace orvane
