#include "port_io.h"

namespace orvane {

WinIo::WinIo(Clock &clock, PortDriverFactory realPort)
    : clock_(clock), realPortFactory_(std::move(realPort))
{
}

WinIo::~WinIo()
{
    if (realPort_)
        realPort_->close();
}

bool WinIo::InitializeWinIo()
{
    initialized_ = true;
    return true;
}

bool WinIo::SetPortVal(uint16_t address, uint32_t value, int sizeBytes)
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

    if (!realPortFactory_)
        return true;
    if (!realPort_ || realPortAddress_ != address) {
        if (realPort_)
            realPort_->close();
        realPort_ = realPortFactory_();
        realPortAddress_ = address;
        if (realPort_) {
            if (Result opened = realPort_->open(address); !opened) {
                realPortNote_ = opened.error();
                realPort_.reset();
            }
        }
        if (!realPort_)
            realPortFactory_ = {}; // the simulated port carries on alone
        if (!realPort_)
            return true;
    }
    return realPort_->writeData(write.value).ok();
}

bool WinIo::ShutdownWinIo()
{
    if (realPort_)
        realPort_->close();
    realPort_.reset();
    initialized_ = false;
    return true;
}

} // namespace orvane
